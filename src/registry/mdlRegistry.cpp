#include "registry/mdlRegistry.h"

#include "base/handle.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

std::string RegReadString(HKEY root, const std::string& path, const std::string& valueName) {
    base::unique_hkey key;
    if (RegOpenKeyA(root, path.c_str(), key.put()) != ERROR_SUCCESS)
        return {};
    // An empty path hands back the root itself, which is not ours to close.
    if (key.get() == root) {
        key.release();
        return RegQueryValueText(root, valueName);
    }
    return RegQueryValueText(key.get(), valueName);
}

std::string RegQueryValueText(HKEY key, const std::string& valueName) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key, valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return {};

    if (type == REG_SZ) {
        // One spare NUL, so that data stored without a terminator still ends inside the buffer.
        std::vector<char> text(static_cast<size_t>(size) + 1, '\0');
        DWORD got = size;
        DWORD type2 = 0;
        // A value that grew since the first query fails here with ERROR_MORE_DATA.
        if (RegQueryValueExA(key, valueName.c_str(), nullptr, &type2,
                             reinterpret_cast<BYTE*>(text.data()), &got) != ERROR_SUCCESS)
            return {};
        got = std::min(got, size);
        return std::string(text.data(), strnlen(text.data(), got));
    }

    if (type == REG_DWORD || type == REG_BINARY) {
        // Binary data may be longer than a DWORD: give it room for all of it, never less
        // than four zeroed bytes, and look at the first two only.
        std::vector<BYTE> data(std::max<size_t>(size, 4), 0);
        DWORD got = size;
        DWORD type2 = 0;
        if (RegQueryValueExA(key, valueName.c_str(), nullptr, &type2, data.data(), &got) !=
            ERROR_SUCCESS)
            return {};
        const auto low = static_cast<std::int16_t>(data[0] | (data[1] << 8));
        return std::to_string(low);
    }

    return {};
}
