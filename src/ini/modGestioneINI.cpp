#include "ini/modGestioneINI.h"

#include "base/platform.h"

#include <windows.h>

#include <climits>
#include <cstring>

const std::string& IniAnsiSentinel() {
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

namespace {

std::string IntText(std::int16_t value) {
    return std::to_string(static_cast<int>(value));
}

// The presence test. Its answer is the value itself whenever that fits the test's buffer.
struct ProbeResult {
    bool present;
    bool complete;
    std::string value;
};

ProbeResult Probe(const std::string& section, const std::string& key, const std::string& file) {
    const std::string& sentinel = IniAnsiSentinel();
    char buffer[256] = {};
    const DWORD got = platform::Current().GetPrivateProfileStringA(
        section.c_str(), key.c_str(), sentinel.c_str(), buffer, sizeof(buffer), file.c_str());
    if (std::strncmp(buffer, sentinel.c_str(), sentinel.size()) == 0)
        return {false, false, {}};
    // A value cut to the buffer comes back as the buffer's size less one.
    return {true, got + 1 < sizeof(buffer), buffer};
}

// The platform's 32-bit result as a 16-bit value; the default when it does not fit. Negative
// numbers arrive in two's complement.
std::int16_t Narrowed(UINT result, std::int16_t defaultValue) {
    const auto value = static_cast<std::int32_t>(result);
    if (value < INT16_MIN || value > INT16_MAX)
        return defaultValue;
    return static_cast<std::int16_t>(value);
}

// A default outside the 16-bit range: when it comes back, the key is missing, its value did not
// convert, or it read as exactly this.
constexpr INT kNoNumber = INT_MIN;

} // namespace

std::string IniReadString(const std::string& section, const std::string& key,
                          const std::string& defaultValue, const std::string& file) {
    char buffer[1024] = {};
    platform::Current().GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(),
                                                 buffer, sizeof(buffer), file.c_str());
    return buffer;
}

std::int16_t IniReadInt(const std::string& section, const std::string& key,
                        std::int16_t defaultValue, const std::string& file) {
    return Narrowed(platform::Current().GetPrivateProfileIntA(section.c_str(), key.c_str(),
                                                              defaultValue, file.c_str()),
                    defaultValue);
}

bool IniKeyExists(const std::string& section, const std::string& key, const std::string& file) {
    return Probe(section, key, file).present;
}

std::int16_t IniWriteString(const std::string& section, const std::string& key,
                            const std::string& value, const std::string& file) {
    return static_cast<std::int16_t>(WritePrivateProfileStringA(section.c_str(), key.c_str(),
                                                                value.c_str(),
                                                                file.c_str()) != FALSE);
}

std::string IniGetString(const std::string& section, const std::string& key,
                         const std::string& defaultValue, const std::string& file) {
    // Each platform call opens and reads the file: a value the presence test brought back whole
    // is not read a second time.
    const ProbeResult probe = Probe(section, key, file);
    if (probe.present)
        return probe.complete ? probe.value : IniReadString(section, key, defaultValue, file);
    IniWriteString(section, key, defaultValue, file);
    return defaultValue;
}

std::int16_t IniGetInt(const std::string& section, const std::string& key,
                       std::int16_t defaultValue, const std::string& file, std::int16_t min,
                       std::int16_t max) {
    // One call answers for a key whose value converts to a number other than 0; in every other
    // case the presence test and the read decide, as they would have from the start. (A value
    // that begins with the sentinel counts as missing and converts to 0.)
    const auto converted = static_cast<std::int32_t>(platform::Current().GetPrivateProfileIntA(
        section.c_str(), key.c_str(), kNoNumber, file.c_str()));
    std::int16_t value = defaultValue;
    if (converted != kNoNumber && converted != 0) {
        value = Narrowed(static_cast<UINT>(converted), defaultValue);
    } else if (!IniKeyExists(section, key, file)) {
        IniWriteString(section, key, IntText(defaultValue), file);
        return defaultValue;
    } else {
        value = IniReadInt(section, key, defaultValue, file);
    }
    if (min == 0 && max == 0)
        return value;
    if (value < min || value > max) {
        IniWriteString(section, key, IntText(defaultValue), file);
        return defaultValue;
    }
    return value;
}
