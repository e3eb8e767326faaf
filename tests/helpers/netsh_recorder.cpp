// Stands in for netsh: every call appends its argument text, as UTF-8, as one line of netsh.log
// beside this program, and succeeds. The wide command line keeps every character as it arrived.
#include <windows.h>

#include "../../src/base/handle.h"

#include <cstdlib>
#include <string>

namespace {

// The command line after the program token (quoted or not) and the blanks that follow it.
std::wstring ArgumentText(const std::wstring& line) {
    size_t i = line.find_first_not_of(L" \t");
    if (i == std::wstring::npos)
        return {};
    if (line[i] == L'"') {
        size_t close = line.find(L'"', i + 1);
        i = close == std::wstring::npos ? line.size() : close + 1;
    } else {
        i = line.find_first_of(L" \t", i);
        if (i == std::wstring::npos)
            i = line.size();
    }
    i = line.find_first_not_of(L" \t", i);
    return i == std::wstring::npos ? std::wstring() : line.substr(i);
}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty())
        return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::wstring LogPath() {
    std::wstring exe(32768, L'\0');
    DWORD n = GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size()));
    exe.resize(n);
    return exe.substr(0, exe.find_last_of(L'\\') + 1) + L"netsh.log";
}

} // namespace

int main() {
    // Tests that watch an apply in progress make every call take a while.
    char delay[16] = {};
    if (GetEnvironmentVariableA("IPSHIFTER_NETSH_DELAY_MS", delay, sizeof(delay)) > 0)
        Sleep(static_cast<DWORD>(atoi(delay)));
    const std::string line = ToUtf8(ArgumentText(GetCommandLineW())) + "\r\n";
    base::unique_file log(CreateFileW(LogPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!log)
        return 1;
    DWORD written = 0;
    if (!WriteFile(log.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
        written != line.size())
        return 1;
    return 0;
}
