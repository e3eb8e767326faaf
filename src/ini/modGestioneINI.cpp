#include "ini/modGestioneINI.h"

#include <windows.h>

#include <cstring>

namespace {

// The sentinel as the platform hands it back: in the ANSI code page.
const std::string& AnsiSentinel() {
    static const std::string ansi = [] {
        const int wideLength = static_cast<int>(std::wcslen(kIniSentinel));
        const int size =
            WideCharToMultiByte(CP_ACP, 0, kIniSentinel, wideLength, nullptr, 0, nullptr, nullptr);
        std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
        if (size > 0)
            WideCharToMultiByte(CP_ACP, 0, kIniSentinel, wideLength, out.data(), size, nullptr,
                                nullptr);
        return out;
    }();
    return ansi;
}

std::string IntText(std::int16_t value) {
    return std::to_string(static_cast<int>(value));
}

} // namespace

std::string IniReadString(const std::string& section, const std::string& key,
                          const std::string& defaultValue, const std::string& file) {
    char buffer[1024] = {};
    GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(), buffer,
                             sizeof(buffer), file.c_str());
    return buffer;
}

std::int16_t IniReadInt(const std::string& section, const std::string& key,
                        std::int16_t defaultValue, const std::string& file) {
    // The platform hands back a 32-bit value; negative numbers arrive in two's complement.
    const auto value = static_cast<std::int32_t>(
        GetPrivateProfileIntA(section.c_str(), key.c_str(), defaultValue, file.c_str()));
    if (value < INT16_MIN || value > INT16_MAX)
        return defaultValue;
    return static_cast<std::int16_t>(value);
}

bool IniKeyExists(const std::string& section, const std::string& key, const std::string& file) {
    const std::string& sentinel = AnsiSentinel();
    char buffer[256] = {};
    GetPrivateProfileStringA(section.c_str(), key.c_str(), sentinel.c_str(), buffer, sizeof(buffer),
                             file.c_str());
    return std::strncmp(buffer, sentinel.c_str(), sentinel.size()) != 0;
}

std::int16_t IniWriteString(const std::string& section, const std::string& key,
                            const std::string& value, const std::string& file) {
    return static_cast<std::int16_t>(WritePrivateProfileStringA(section.c_str(), key.c_str(),
                                                                value.c_str(),
                                                                file.c_str()) != FALSE);
}

std::string IniGetString(const std::string& section, const std::string& key,
                         const std::string& defaultValue, const std::string& file) {
    if (IniKeyExists(section, key, file))
        return IniReadString(section, key, defaultValue, file);
    IniWriteString(section, key, defaultValue, file);
    return defaultValue;
}

std::int16_t IniGetInt(const std::string& section, const std::string& key,
                       std::int16_t defaultValue, const std::string& file, std::int16_t min,
                       std::int16_t max) {
    if (!IniKeyExists(section, key, file)) {
        IniWriteString(section, key, IntText(defaultValue), file);
        return defaultValue;
    }
    const std::int16_t value = IniReadInt(section, key, defaultValue, file);
    if (min == 0 && max == 0)
        return value;
    if (value < min || value > max) {
        IniWriteString(section, key, IntText(defaultValue), file);
        return defaultValue;
    }
    return value;
}
