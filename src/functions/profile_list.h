#pragma once
// The profile list of the main window and the profile elements of the tray menu, which show the
// same entries.
#include "globals/mdlGVars.h"

#include <string>
#include <vector>

// One entry: a connection's heading (profile -1), or a profile under its heading.
struct ProfileListEntry {
    std::string caption;
    int profile = -1;
    bool operator==(const ProfileListEntry&) const = default;
};

// The profiles grouped under their connections, in the order of `connections`, each group in
// table order: a heading (the connection's name) above the profiles of each connection that has
// any, each profile as two blanks and its name. Profiles of other connections are left out.
std::vector<ProfileListEntry> GroupProfiles(const std::vector<ProfileRecord>& profiles,
                                            const std::vector<std::string>& connections);

// The entry a /PROFILE= value names, or -1: the first entry whose text equals the value exactly
// (a heading, or two blanks and a name), else the first profile entry whose profile bears the value
// as its name.
int EntryForProfileArgument(const std::vector<ProfileListEntry>& entries,
                            const std::vector<ProfileRecord>& profiles, const std::string& value);

// Rebuilds the main window's profile list and the tray menu's profile elements from the
// profile table. When a listed profile has exactly the given name and connection, its entry
// ends selected (the last such); otherwise none is.
void RefreshProfileList(const std::string& interfaceName, const std::string& profileName);
