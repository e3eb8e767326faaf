#pragma once
// Reading single registry values as text; a missing key or value, or an unsupported type,
// reads as the empty text.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// Opens root\path, reads one value and closes the key again.
std::string RegReadString(HKEY root, const std::string& path, const std::string& valueName);

// One value of an open key: REG_SZ up to its first NUL (all of it when it has none);
// REG_DWORD and REG_BINARY as the signed 16-bit number in their first two bytes, little-endian
// (binary data of any length is read whole, then cut); every other type as the empty text.
std::string RegQueryValueText(HKEY key, const std::string& valueName);

// A list of addresses as Windows stores it: REG_MULTI_SZ as its strings, REG_SZ split at commas
// and blanks (older versions keep some lists that way); empty pieces are dropped. nullopt when the
// value is missing or of another type.
std::optional<std::vector<std::string>> RegQueryValueList(HKEY key, const std::string& valueName);

// A REG_DWORD value; nullopt when it is missing or of another type.
std::optional<DWORD> RegQueryValueDword(HKEY key, const std::string& valueName);
