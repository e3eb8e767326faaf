#include "functions/profiles.h"

#include "globals/mdlGVars.h"
#include "ini/modGestioneINI.h"
#include "toolkit/handle.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kListSection[] = "PROFILES";
const char kDefaultName[] = "Windows Default (DHCP)";

std::string ProfileKey(std::size_t number) {
    return "PROFILE" + std::to_string(number);
}

// The 8-bit fields take 0..255 as stored; anything else from a hand-edited file is read as "on".
std::uint8_t ByteField(std::int16_t value) {
    if (value >= 0 && value <= 255)
        return static_cast<std::uint8_t>(value);
    return 1;
}

// Each missing key costs a write that rewrites the whole file, so a count far beyond what the
// file holds (32767, say) would take hours. A count is followed while at most this many of its
// numbers have no trace in the file; it ends before the number that would be one more, and the
// shorter count is written back so that the next load finds the same table.
constexpr std::int16_t kUntracedLimit = 32;

// The names of the file's sections (no section given) or of one section's keys.
std::vector<std::string> IniNames(const std::string* section) {
    std::vector<char> buffer(64 * 1024);
    DWORD got = 0;
    for (;;) {
        const auto size = static_cast<DWORD>(buffer.size());
        got = section ? GetPrivateProfileStringA(section->c_str(), nullptr, "", buffer.data(), size,
                                                 IniPath.c_str())
                      : GetPrivateProfileSectionNamesA(buffer.data(), size, IniPath.c_str());
        // A full buffer comes back as its size less two.
        if (got + 2 < size || size >= 64 * 1024 * 1024)
            break;
        buffer.resize(buffer.size() * 4);
    }
    std::vector<std::string> names;
    for (size_t i = 0; i < got; i += names.back().size() + 1)
        names.emplace_back(buffer.data() + i, strnlen(buffer.data() + i, got - i));
    return names;
}

// A name "<prefix>n" (letters in any case, as the platform matches them) is the trace of n.
std::int16_t TracedCount(std::int16_t count, const std::vector<std::string>& names,
                         const std::string& prefix) {
    std::vector<bool> traced(static_cast<size_t>(count) + 1);
    for (const auto& name : names) {
        const std::string digits = name.substr(std::min(prefix.size(), name.size()));
        if (lstrcmpiA(name.substr(0, prefix.size()).c_str(), prefix.c_str()) == 0 &&
            !digits.empty() && digits.size() <= 5 && digits[0] != '0' &&
            digits.find_first_not_of("0123456789") == std::string::npos &&
            std::stoul(digits) <= static_cast<unsigned long>(count))
            traced[std::stoul(digits)] = true;
    }
    int untraced = 0;
    for (int k = 1; k <= count; ++k) {
        if (!traced[static_cast<size_t>(k)] && ++untraced > kUntracedLimit)
            return static_cast<std::int16_t>(k - 1);
    }
    return count;
}

// The numbered values of one list; a count below 1 gives the single empty element that means
// "none".
std::vector<std::string> LoadList(const std::string& section, const char* countKey,
                                  const char* itemKey) {
    std::int16_t count = IniGetInt(section, countKey, 1, IniPath, 0, 0);
    if (count > kUntracedLimit) {
        const std::int16_t traced = TracedCount(count, IniNames(&section), itemKey);
        if (traced != count)
            IniWriteString(section, countKey, std::to_string(traced), IniPath);
        count = traced;
    }
    std::vector<std::string> list;
    for (std::int16_t j = 0; j < count; ++j)
        list.push_back(IniGetString(section, itemKey + std::to_string(j + 1), "", IniPath));
    if (list.empty())
        list.emplace_back();
    return list;
}

// Documented way to make the platform drop what it caches of a profile file.
void FlushProfileCache(const std::string& file) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
}

bool RemoveFile(const std::string& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
    return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

// Key by key, as the file has always been written; stops at the first failed write.
bool WriteTable(const std::string& file) {
    bool ok = true;
    auto put = [&](const std::string& section, const std::string& key, const std::string& value) {
        if (ok && IniWriteString(section, key, value, file) == 0)
            ok = false;
    };
    // A record without addresses or DNS servers is stored as one empty element, which is how
    // it loads.
    auto putList = [&](const std::string& section, const char* countKey, const char* itemKey,
                       const std::vector<std::string>& list) {
        put(section, countKey, std::to_string(list.empty() ? 1 : list.size()));
        if (list.empty())
            put(section, itemKey + std::string("1"), "");
        for (std::size_t j = 0; j < list.size(); ++j)
            put(section, itemKey + std::to_string(j + 1), list[j]);
    };

    put(kListSection, "COUNT", std::to_string(Profiles.size()));
    for (std::size_t i = 0; i < Profiles.size(); ++i)
        put(kListSection, ProfileKey(i + 1), Profiles[i].NAME);
    for (std::size_t i = 0; i < Profiles.size(); ++i) {
        const ProfileRecord& p = Profiles[i];
        const std::string section = ProfileKey(i + 1);
        put(section, "INTERFACE", p.INTERFACE);
        put(section, "DHCP", std::to_string(p.DHCP));
        putList(section, "IPCOUNT", "IP", p.IP);
        put(section, "SUBNET", p.SUBNET);
        put(section, "GATEWAY", p.GATEWAY);
        put(section, "METRIC", std::to_string(p.METRIC));
        putList(section, "DNSCOUNT", "DNS", p.DNS);
        put(section, "SELECTED", std::to_string(p.SELECTED));
    }
    return ok;
}

// Pushes the file's data to the disk before it takes the old file's place.
void FlushToDisk(const std::string& path) {
    tk::unique_file file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file)
        FlushFileBuffers(file.get());
}

} // namespace

void LoadProfiles() {
    // A count below 1 (never written by the program) still gives the first profile.
    std::int16_t count = IniGetInt(kListSection, "COUNT", 1, IniPath, 0, 0);
    if (count < 1)
        count = 1;
    if (count > kUntracedLimit) {
        // A profile leaves a trace by its name key or by its section.
        const std::string listSection = kListSection;
        std::vector<std::string> names = IniNames(&listSection);
        for (auto& section : IniNames(nullptr))
            names.push_back(std::move(section));
        const std::int16_t traced = TracedCount(count, names, "PROFILE");
        if (traced != count)
            IniWriteString(kListSection, "COUNT", std::to_string(traced), IniPath);
        count = traced;
    }
    const std::string defaultInterface = InterfaceNames.empty() ? "_" : InterfaceNames[0];

    Profiles.clear();
    for (std::int16_t k = 0; k < count; ++k) {
        ProfileRecord p;
        const std::string section = ProfileKey(static_cast<std::size_t>(k) + 1);
        p.NAME = IniGetString(kListSection, section, kDefaultName, IniPath);
        p.INTERFACE = IniGetString(section, "INTERFACE", defaultInterface, IniPath);
        p.DHCP = ByteField(IniGetInt(section, "DHCP", 1, IniPath, 0, 0));
        p.IP = LoadList(section, "IPCOUNT", "IP");
        p.SUBNET = IniGetString(section, "SUBNET", "", IniPath);
        p.GATEWAY = IniGetString(section, "GATEWAY", "", IniPath);
        p.METRIC = IniGetInt(section, "METRIC", 1, IniPath, 0, 0);
        p.DNS = LoadList(section, "DNSCOUNT", "DNS");
        p.SELECTED = ByteField(IniGetInt(section, "SELECTED", 0, IniPath, 0, 0));
        Profiles.push_back(std::move(p));
    }
}

void SaveProfiles() {
    // Deleting the file and writing it key by key would lose every profile to a crash in
    // between: the new file is completed under another name first.
    const std::string temp = IniPath + ".new";
    if (!RemoveFile(temp))
        return;
    FlushProfileCache(temp);

    const bool written = WriteTable(temp);
    FlushProfileCache(temp);
    if (written) {
        FlushToDisk(temp);
        FlushProfileCache(IniPath);
        if (MoveFileExA(temp.c_str(), IniPath.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return;
    }
    RemoveFile(temp);
}

void ReloadSelectedMarks() {
    for (std::size_t i = 0; i < Profiles.size(); ++i) {
        ProfileRecord& p = Profiles[i];
        p.SELECTED = ByteField(IniReadInt(ProfileKey(i + 1), "SELECTED", p.SELECTED, IniPath));
    }
}
