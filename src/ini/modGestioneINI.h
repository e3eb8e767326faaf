#pragma once
// Access to the profile file through the platform's private-profile calls. Reading a missing key
// through IniGetString or IniGetInt writes its default, so every load completes the file.
#include <cstdint>
#include <string>

// A default no real value starts with: when it comes back, the key is missing. Every character
// lies in the Western-European ANSI code page.
inline constexpr wchar_t kIniSentinel[] =
    L"!12\u00A33$4%5&6/7(8)9=0?'^\u00EC*+\u00E9\u00E8\u00E7\u00F2\u00B0\u00E0\u00A7\u00F9"
    L"_-:.;,><|\\LlKkMm[]@";
// The sentinel as the platform hands it back: in the ANSI code page.
const std::string& IniAnsiSentinel();

// The value of a key, cut to 1023 characters; the default when it is missing.
std::string IniReadString(const std::string& section, const std::string& key,
                          const std::string& defaultValue, const std::string& file);
// The value as the platform's integer reader converts it; the default when it is missing or
// does not fit in 16 bits.
std::int16_t IniReadInt(const std::string& section, const std::string& key,
                        std::int16_t defaultValue, const std::string& file);
// True when the key is present, also with an empty value.
bool IniKeyExists(const std::string& section, const std::string& key, const std::string& file);
// Nonzero on success.
std::int16_t IniWriteString(const std::string& section, const std::string& key,
                            const std::string& value, const std::string& file);
// Reads the key; a missing key is written with the default, which is returned.
std::string IniGetString(const std::string& section, const std::string& key,
                         const std::string& defaultValue, const std::string& file);
// Reads the key; a missing key, or a value outside min..max, is written with the default, which
// is returned. Bounds 0 and 0 mean no range.
std::int16_t IniGetInt(const std::string& section, const std::string& key,
                       std::int16_t defaultValue, const std::string& file, std::int16_t min,
                       std::int16_t max);
