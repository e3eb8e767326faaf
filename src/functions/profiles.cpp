#include "functions/profiles.h"

#include "globals/mdlGVars.h"
#include "ini/modGestioneINI.h"
#include "toolkit/handle.h"

#include <windows.h>

#include <cstdint>
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

// The numbered values of one list; a count below 1 gives the single empty element that means
// "none".
std::vector<std::string> LoadList(const std::string& section, const char* countKey,
                                  const char* itemKey) {
    const std::int16_t count = IniGetInt(section, countKey, 1, IniPath, 0, 0);
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
