#include "functions/profiles.h"

#include "functions/connections.h"
#include "globals/mdlGVars.h"
#include "ini/ini_section.h"
#include "ini/modGestioneINI.h"
#include "base/handle.h"
#include "base/names.h"
#include "base/platform.h"
#include "base/scope_exit.h"

#include <windows.h>

#include <algorithm>
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

// Each missing key costs a write that rewrites the whole file, so a count far beyond what the
// file holds (32767, say) would take hours. A count is followed while at most this many of its
// numbers have no trace in the file; it ends before the number that would be one more, and the
// shorter count is written back so that the next load finds the same table.
constexpr std::int16_t kUntracedLimit = 32;

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
std::vector<std::string> LoadList(const IniSettled& settled, const std::string& section,
                                  const char* countKey, const char* itemKey) {
    std::int16_t count = IniGetInt(settled, section, countKey, 1, IniPath, 0, 0);
    if (count > kUntracedLimit) {
        const std::int16_t traced = TracedCount(count, IniKeyNames(section, IniPath), itemKey);
        if (traced != count)
            IniWriteString(section, countKey, std::to_string(traced), IniPath);
        count = traced;
    }
    std::vector<std::string> list;
    for (std::int16_t j = 0; j < count; ++j)
        list.push_back(
            IniGetString(settled, section, itemKey + std::to_string(j + 1), "", IniPath));
    if (list.empty())
        list.emplace_back();
    return list;
}

// The load, reading the file a section at a time or every key on its own. Either way each key is
// read, and each missing key written, in the same order, so the two leave the same table and
// the same file.
void Load(bool bySection) {
    IniSectionReader reader(IniPath, bySection);
    const IniSettled list = reader.Read(kListSection);
    // A count below 1 (never written by the program) still gives the first profile.
    std::int16_t count = IniGetInt(list, kListSection, "COUNT", 1, IniPath, 0, 0);
    if (count < 1)
        count = 1;
    if (count > kUntracedLimit) {
        // A profile leaves a trace by its name key or by its section.
        std::vector<std::string> names = IniKeyNames(kListSection, IniPath);
        for (auto& section : IniSectionNames(IniPath))
            names.push_back(std::move(section));
        const std::int16_t traced = TracedCount(count, names, "PROFILE");
        if (traced != count)
            IniWriteString(kListSection, "COUNT", std::to_string(traced), IniPath);
        count = traced;
    }
    const std::string defaultInterface = FirstConnection(InterfaceNames);

    Profiles.clear();
    for (std::int16_t k = 0; k < count; ++k) {
        ProfileRecord p;
        const std::string section = ProfileKey(static_cast<std::size_t>(k) + 1);
        p.NAME = IniGetString(list, kListSection, section, kDefaultName, IniPath);
        const IniSettled keys = reader.Read(section);
        p.INTERFACE = IniGetString(keys, section, "INTERFACE", defaultInterface, IniPath);
        p.DHCP = ByteField(IniGetInt(keys, section, "DHCP", 1, IniPath, 0, 0));
        p.IP = LoadList(keys, section, "IPCOUNT", "IP");
        p.SUBNET = IniGetString(keys, section, "SUBNET", "", IniPath);
        p.GATEWAY = IniGetString(keys, section, "GATEWAY", "", IniPath);
        p.METRIC = IniGetInt(keys, section, "METRIC", 1, IniPath, 0, 0);
        p.DNS = LoadList(keys, section, "DNSCOUNT", "DNS");
        p.SELECTED = ByteField(IniGetInt(keys, section, "SELECTED", 0, IniPath, 0, 0));
        Profiles.push_back(std::move(p));
    }
}

// Documented way to make the platform drop what it caches of a profile file.
void FlushProfileCache(const std::string& file) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
}

// ERROR_SUCCESS when the file is gone (or was never there), else why it stays.
DWORD RemoveFile(const std::string& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileA(path.c_str()))
        return ERROR_SUCCESS;
    const DWORD error = GetLastError();
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return ERROR_SUCCESS;
    return error != ERROR_SUCCESS ? error : ERROR_ACCESS_DENIED;
}

// The characters the platform's INI reader strips around lines, names and values.
bool IsIniBlank(char c) {
    return (c >= '\t' && c <= '\r') || c == '\x1A' || c == ' ';
}

std::string TrimLeft(const std::string& text) {
    std::size_t first = 0;
    while (first < text.size() && IsIniBlank(text[first]))
        ++first;
    return text.substr(first);
}

std::string TrimRight(std::string text) {
    while (!text.empty() && IsIniBlank(text.back()))
        text.pop_back();
    return text;
}

// One key's lines as the platform's writer leaves them. It writes the value raw but for its
// leading blanks, then parses the whole file again at the next write (it trusts its cache only
// for a file some two seconds old), so what stays is the value as its reader sees it: cut at a
// NUL, trailing blanks gone, and each line break in it starting a line of its own, trimmed, blank
// ones dropped, "name = value" closed up, a nameless one after a nameless one dropped. Not
// followed: a piece that reads as a section header or names a later key of the same section.
void AppendKey(std::string& out, const char* key, const std::string& value) {
    const std::string text = TrimLeft(value.substr(0, value.find('\0')));
    std::size_t end = text.find_first_of("\r\n");
    out += key;
    out += '=';
    out += TrimRight(text.substr(0, end));
    out += "\r\n";
    bool lastNameless = false;
    while (end != std::string::npos) {
        const std::size_t start = end + 1;
        end = text.find_first_of("\r\n", start);
        const std::string line = TrimRight(TrimLeft(text.substr(start, end - start)));
        if (line.empty())
            continue;
        const std::size_t equals = line.find('=');
        const std::string name = TrimRight(line.substr(0, equals));
        if (name.empty() && lastNameless)
            continue;
        lastNameless = name.empty();
        out += name;
        if (equals != std::string::npos)
            out += '=' + TrimLeft(line.substr(equals + 1));
        out += "\r\n";
    }
}

void AppendKey(std::string& out, const std::string& key, const std::string& value) {
    AppendKey(out, key.c_str(), value);
}

// A record without addresses or DNS servers is stored as one empty element, which is how it
// loads.
void AppendList(std::string& out, const char* countKey, const char* itemKey,
                const std::vector<std::string>& list) {
    AppendKey(out, countKey, std::to_string(list.empty() ? 1 : list.size()));
    if (list.empty())
        AppendKey(out, itemKey + std::string("1"), "");
    for (std::size_t j = 0; j < list.size(); ++j)
        AppendKey(out, itemKey + std::to_string(j + 1), list[j]);
}

// The whole text, in one call below 1 GiB; ERROR_SUCCESS or the platform's code.
DWORD WriteWhole(HANDLE file, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1u << 30));
        DWORD written = 0;
        if (!platform::Current().WriteFile(file, text.data() + done, chunk, &written, nullptr))
            return GetLastError();
        if (written == 0)
            return ERROR_WRITE_FAULT;
        done += written;
    }
    return ERROR_SUCCESS;
}

// Creates the file with the text, on the disk before it returns; `created` tells whether a file
// of ours is there to remove after a failure.
DWORD WriteNewFile(const std::string& path, const std::string& text, bool& created) {
    base::unique_file file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    created = static_cast<bool>(file);
    if (!file)
        return GetLastError();
    DWORD error = WriteWhole(file.get(), text);
    if (error == ERROR_SUCCESS && !FlushFileBuffers(file.get()))
        error = GetLastError();
    if (!CloseHandle(file.release()) && error == ERROR_SUCCESS)
        error = GetLastError();
    return error;
}

} // namespace

void LoadProfiles() {
    Load(true);
}

void LoadProfilesKeyByKey() {
    Load(false);
}

std::string ProfileFileText(const std::vector<ProfileRecord>& table) {
    std::string out = "[";
    out += kListSection;
    out += "]\r\n";
    AppendKey(out, "COUNT", std::to_string(table.size()));
    for (std::size_t i = 0; i < table.size(); ++i)
        AppendKey(out, ProfileKey(i + 1), table[i].NAME);
    for (std::size_t i = 0; i < table.size(); ++i) {
        const ProfileRecord& p = table[i];
        out += "[" + ProfileKey(i + 1) + "]\r\n";
        AppendKey(out, "INTERFACE", p.INTERFACE);
        AppendKey(out, "DHCP", std::to_string(p.DHCP));
        AppendList(out, "IPCOUNT", "IP", p.IP);
        AppendKey(out, "SUBNET", p.SUBNET);
        AppendKey(out, "GATEWAY", p.GATEWAY);
        AppendKey(out, "METRIC", std::to_string(p.METRIC));
        AppendList(out, "DNSCOUNT", "DNS", p.DNS);
        AppendKey(out, "SELECTED", std::to_string(p.SELECTED));
    }
    return out;
}

SaveResult SaveProfiles() {
    // Deleting the file and writing it anew would lose every profile to a crash in between: the
    // new file is completed under another name first.
    const std::string temp = IniPath + kProfileSaveSuffix;
    if (const DWORD error = RemoveFile(temp))
        return {false, error};
    bool created = false;
    // However the save fails, a new file of ours does not stay behind.
    auto removeTemp = base::scope_exit([&] {
        if (created)
            RemoveFile(temp);
    });
    DWORD error = WriteNewFile(temp, ProfileFileText(Profiles), created);
    if (error == ERROR_SUCCESS) {
        FlushProfileCache(IniPath);
        if (MoveFileExA(temp.c_str(), IniPath.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            removeTemp.release();
            return {};
        }
        error = GetLastError();
    }
    return {false, error};
}

SaveResult MarkApplied(std::size_t index) {
    const std::string connection = Profiles.at(index).INTERFACE;
    for (ProfileRecord& p : Profiles) {
        if (p.INTERFACE == connection)
            p.SELECTED = 0;
    }
    Profiles[index].SELECTED = 1;
    return SaveProfiles();
}

void ReloadSelectedMarks() {
    for (std::size_t i = 0; i < Profiles.size(); ++i) {
        ProfileRecord& p = Profiles[i];
        p.SELECTED = ByteField(IniReadInt(ProfileKey(i + 1), "SELECTED", p.SELECTED, IniPath));
    }
}
