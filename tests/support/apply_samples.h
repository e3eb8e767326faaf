#pragma once
// Three profiles on two connections (Office static, applied with the netsh lines below), as the
// apply tests use them.
#include "main_window_fixture.h"

#include "functions/profiles.h"
#include "globals/mdlGVars.h"

#include <string>
#include <vector>

namespace testsupport {

// What netsh is asked when Office is applied.
inline const std::vector<std::string> kStaticCalls = {
    "interface ip set address \"LAN\" source=static addr=192.0.2.10 mask=255.255.255.0 "
    "gateway=192.0.2.1 gwmetric=5",
    "interface ip add address \"LAN\" 192.0.2.11 255.255.255.0",
    "interface ip set dns \"LAN\" static none",
    "interface ip add dns \"LAN\" 192.0.2.53",
    "interface ip add dns \"LAN\" 192.0.2.54",
};

inline std::vector<ProfileRecord> ThreeProfiles() {
    return {MakeProfile("Office", "LAN", 0, {"192.0.2.10", "192.0.2.11"}, "255.255.255.0",
                        "192.0.2.1", 5, {"192.0.2.53", "192.0.2.54"}, 0),
            MakeProfile("Home", "LAN", 1, {""}, "", "none", 1, {""}, 1),
            MakeProfile("Cafe", "WLAN", 1, {""}, "", "none", 1, {""}, 1)};
}

// The SELECTED marks of the profile file, as it loads.
inline std::vector<int> SelectedOnDisk(const std::string& iniPath) {
    auto saved = Profiles;
    IniPath = iniPath;
    Profiles.clear();
    LoadProfiles();
    std::vector<int> out;
    for (const auto& p : Profiles)
        out.push_back(p.SELECTED);
    Profiles = saved;
    return out;
}

} // namespace testsupport
