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

namespace {

// The value's type and data, whatever its size; false when it cannot be read.
bool ReadValue(HKEY key, const std::string& valueName, DWORD& type, std::vector<char>& data) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = 0;
        if (RegQueryValueExA(key, valueName.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS)
            return false;
        data.assign(static_cast<size_t>(size), '\0');
        DWORD got = size;
        const LONG rc = RegQueryValueExA(key, valueName.c_str(), nullptr, &type,
                                         reinterpret_cast<BYTE*>(data.data()), &got);
        // A value that grew in between is asked for again.
        if (rc == ERROR_MORE_DATA)
            continue;
        if (rc != ERROR_SUCCESS)
            return false;
        data.resize(std::min(got, size));
        return true;
    }
    return false;
}

void SplitInto(std::vector<std::string>& out, const char* text, size_t length,
               const char* separators) {
    std::string piece;
    for (size_t i = 0; i <= length; ++i) {
        if (i == length || std::strchr(separators, text[i]) != nullptr) {
            if (!piece.empty())
                out.push_back(piece);
            piece.clear();
        } else {
            piece += text[i];
        }
    }
}

} // namespace

std::optional<std::vector<std::string>> RegQueryValueList(HKEY key, const std::string& valueName) {
    DWORD type = 0;
    std::vector<char> data;
    if (!ReadValue(key, valueName, type, data))
        return std::nullopt;
    std::vector<std::string> list;
    if (type == REG_MULTI_SZ) {
        // Strings end at their NUL; data stored without the final ones still ends at its size.
        size_t start = 0;
        for (size_t i = 0; i <= data.size(); ++i) {
            if (i == data.size() || data[i] == '\0') {
                if (i > start)
                    list.emplace_back(data.data() + start, i - start);
                start = i + 1;
            }
        }
        return list;
    }
    if (type == REG_SZ) {
        SplitInto(list, data.data(), strnlen(data.data(), data.size()), ", ");
        return list;
    }
    return std::nullopt;
}

std::optional<DWORD> RegQueryValueDword(HKEY key, const std::string& valueName) {
    DWORD type = 0;
    std::vector<char> data;
    if (!ReadValue(key, valueName, type, data) || type != REG_DWORD || data.size() < 4)
        return std::nullopt;
    DWORD value = 0;
    std::memcpy(&value, data.data(), sizeof(value));
    return value;
}
