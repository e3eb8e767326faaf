#include "functions/apply_check.h"

#include "functions/apply_script.h"
#include "toolkit/app.h"

#include <windows.h>

#include <algorithm>

namespace {

bool SameAddress(const std::string& a, const std::string& b) {
    const auto x = ParseIPv4(a);
    const auto y = ParseIPv4(b);
    return x && y && *x == *y;
}

bool SameAddresses(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), SameAddress);
}

std::string Joined(const std::vector<std::string>& items) {
    if (items.empty())
        return "none";
    std::string out;
    for (const auto& item : items)
        out += (out.empty() ? "" : ", ") + item;
    return out;
}

std::string OnOff(std::optional<bool> on) {
    return !on ? "not set" : *on ? "on" : "off";
}

std::vector<std::string> PairTexts(const std::vector<AddressWithMask>& pairs) {
    std::vector<std::string> out;
    for (const auto& p : pairs)
        out.push_back(p.address + "/" + p.mask);
    return out;
}

bool PairsMatch(const std::vector<std::string>& wantedAddresses, const std::string& wantedMask,
                const IpSettings& s) {
    const auto pairs = AssignedPairs(s.addresses, s.masks);
    if (pairs.size() != wantedAddresses.size())
        return false;
    for (size_t i = 0; i < pairs.size(); ++i) {
        if (!SameAddress(pairs[i].address, wantedAddresses[i]) ||
            !SameAddress(pairs[i].mask, wantedMask))
            return false;
    }
    return true;
}

bool GatewayMatches(const std::vector<std::string>& wanted, const IpSettings& s) {
    return SameAddresses(AssignedAddresses(s.gateways), wanted);
}

std::string ToAnsi(const std::string& console) {
    if (console.empty())
        return {};
    const int n = static_cast<int>(console.size());
    const int wideSize = MultiByteToWideChar(CP_OEMCP, 0, console.data(), n, nullptr, 0);
    if (wideSize <= 0)
        return console;
    std::wstring wide(static_cast<size_t>(wideSize), L'\0');
    MultiByteToWideChar(CP_OEMCP, 0, console.data(), n, wide.data(), wideSize);
    const int size =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), wideSize, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return console;
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), wideSize, out.data(), size, nullptr, nullptr);
    return out;
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The lines the script prints itself (its banner; the progress lines go to their file).
bool IsScriptEcho(const std::string& line) {
    return line.starts_with("Setting profile: ") || line == std::string(49, '-') ||
           line == "Wait..." || line == "...done !!!";
}

constexpr size_t kMaxWordsLine = 200;

} // namespace

std::vector<SettingDifference> CompareWithProfile(const ProfileRecord& profile,
                                                  const IpSettings& stored,
                                                  const std::optional<IpSettings>& live) {
    std::vector<SettingDifference> out;
    // An item is applied when either witness shows it.
    auto check = [&](const char* item, const std::string& wanted, const std::string& found,
                     auto&& shows) {
        if (!shows(stored) && !(live && shows(*live)))
            out.push_back({item, wanted, found});
    };

    const bool dhcp = profile.DHCP != 0;
    const auto addresses = UsedPart(profile.IP);
    // A static profile without addresses leaves the addresses as they are: nothing is asked.
    if (dhcp || !addresses.empty()) {
        check("DHCP", dhcp ? "on" : "off", OnOff(stored.dhcp),
              [&](const IpSettings& s) { return s.dhcp == dhcp; });
    }
    if (!dhcp && !addresses.empty()) {
        std::vector<std::string> wantedPairs;
        for (const auto& a : addresses)
            wantedPairs.push_back(a + "/" + profile.SUBNET);
        check("IP addresses", Joined(wantedPairs),
              Joined(PairTexts(AssignedPairs(stored.addresses, stored.masks))),
              [&](const IpSettings& s) { return PairsMatch(addresses, profile.SUBNET, s); });
        std::vector<std::string> gateway;
        if (profile.GATEWAY != "none" && !profile.GATEWAY.empty())
            gateway.push_back(profile.GATEWAY);
        check("Gateway", Joined(gateway), Joined(AssignedAddresses(stored.gateways)),
              [&](const IpSettings& s) { return GatewayMatches(gateway, s); });
    }
    const auto dns = UsedPart(profile.DNS);
    check("DNS servers", Joined(dns), Joined(AssignedAddresses(stored.dnsServers)),
          [&](const IpSettings& s) { return SameAddresses(AssignedAddresses(s.dnsServers), dns); });
    return out;
}

std::vector<SettingDifference> CheckApplied(const ProfileRecord& profile,
                                            const std::string& connectionKey,
                                            std::uint32_t patienceMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        const IpSettings stored = ReadStoredIpSettings(connectionKey).value_or(IpSettings{});
        auto differences = CompareWithProfile(profile, stored, ReadLiveIpSettings(connectionKey));
        if (differences.empty() || GetTickCount() - start >= patienceMs)
            return differences;
        tk::DoEvents();
        Sleep(100);
    }
}

std::vector<std::string> NetshWords(const std::string& consoleOutput, std::size_t maxLines) {
    const std::string text = ToAnsi(consoleOutput);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size() && lines.size() < maxLines) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = Trimmed(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || IsScriptEcho(line) ||
            std::find(lines.begin(), lines.end(), line) != lines.end())
            continue;
        if (line.size() > kMaxWordsLine)
            line = line.substr(0, kMaxWordsLine) + "...";
        lines.push_back(line);
    }
    return lines;
}

std::string ApplyFailureText(const ProfileRecord& profile,
                             const std::vector<SettingDifference>& differences,
                             const std::vector<std::string>& netshWords) {
    std::string text = "The profile \"" + profile.NAME +
                       "\" was not applied in full to the "
                       "connection \"" +
                       profile.INTERFACE + "\".\r\n";
    for (const auto& d : differences)
        text += "\r\n" + d.item + ": the profile asks for " + d.wanted + "; the connection has " +
                d.found + ".";
    text += "\r\n";
    if (!netshWords.empty()) {
        text += "\r\nnetsh said:";
        for (const auto& line : netshWords)
            text += "\r\n" + line;
        text += "\r\n";
    }
    return text;
}

std::string NoTcpipSettingsText(const ProfileRecord& profile) {
    return "The profile \"" + profile.NAME +
           "\" cannot be applied: Windows keeps no TCP/IP "
           "settings for the connection \"" +
           profile.INTERFACE + "\". Its network adapter may have been removed or disabled.";
}
