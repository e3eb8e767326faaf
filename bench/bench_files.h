// Whole-file reads and writes for the benchmarks, and the age a profile file has when a user
// starts the program.
#pragma once

#include "base/handle.h"

#include <windows.h>

#include <string>

namespace bench {

inline std::string ReadAll(const std::string& path) {
    base::unique_file file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
    std::string out;
    if (!file)
        return out;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0)
        out.append(buffer, got);
    return out;
}

inline bool WriteAll(const std::string& path, const std::string& bytes) {
    base::unique_file file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file &&
           WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

// Wine parses an INI file again on every profile call while its last write is under two seconds
// old; a user's profile file is older than that when the program starts. Dates the file a minute
// back so that a timing right after writing it sees what the user's start sees.
inline bool AgeFile(const std::string& path) {
    base::unique_file file(CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return false;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t;
    t.LowPart = now.dwLowDateTime;
    t.HighPart = now.dwHighDateTime;
    t.QuadPart -= 60ULL * 10000000ULL;
    FILETIME minuteAgo;
    minuteAgo.dwLowDateTime = t.LowPart;
    minuteAgo.dwHighDateTime = t.HighPart;
    return SetFileTime(file.get(), nullptr, nullptr, &minuteAgo) != FALSE;
}

} // namespace bench
