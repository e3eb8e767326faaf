#include "functions/profile_list.h"

#include "main_window/frmMain.h"

namespace {
// The last heading written before any is; no connection name is expected to equal it.
constexpr const char* kNoHeadingYet = "___XXXX_YYYY_XXXXXX____";
} // namespace

std::vector<ProfileListEntry> GroupProfiles(const std::vector<ProfileRecord>& profiles,
                                            const std::vector<std::string>& connections) {
    std::vector<ProfileListEntry> entries;
    std::string lastHeading = kNoHeadingYet;
    for (const std::string& connection : connections) {
        for (size_t j = 0; j < profiles.size(); ++j) {
            if (profiles[j].INTERFACE != connection)
                continue;
            // The first heading never depends on the sentinel: a connection may bear its name.
            if (entries.empty() || lastHeading != connection) {
                entries.push_back({connection, -1});
                lastHeading = connection;
            }
            entries.push_back({"  " + profiles[j].NAME, static_cast<int>(j)});
        }
    }
    return entries;
}

int EntryForProfileArgument(const std::vector<ProfileListEntry>& entries,
                            const std::vector<ProfileRecord>& profiles, const std::string& value) {
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].caption == value)
            return static_cast<int>(i);
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        const int p = entries[i].profile;
        if (p >= 0 && static_cast<size_t>(p) < profiles.size() &&
            profiles[static_cast<size_t>(p)].NAME == value)
            return static_cast<int>(i);
    }
    return -1;
}

void RefreshProfileList(const std::string& interfaceName, const std::string& profileName) {
    frmMain& form = MainForm();
    for (int k = form.mnuProfile.UBound(); k >= 1; --k)
        form.mnuProfile.Unload(k);
    form.cmbProfiles.Clear();
    int target = -1;
    // Menu element k stands for list entry k - 1.
    for (const ProfileListEntry& entry : GroupProfiles(Profiles, InterfaceNames)) {
        const int position = form.cmbProfiles.AddItem(entry.caption);
        form.cmbProfiles.SetItemData(position, entry.profile);
        const int k = form.mnuProfile.UBound() + 1;
        form.mnuProfile.Load(k);
        tk::MenuItem& item = form.mnuProfile[k];
        item.Caption = entry.caption;
        item.Visible = true;
        if (entry.profile == -1) {
            item.Enabled = false;
            continue;
        }
        item.Tag = std::to_string(entry.profile);
        const ProfileRecord& p = Profiles[static_cast<size_t>(entry.profile)];
        if (!profileName.empty() && p.NAME == profileName && p.INTERFACE == interfaceName)
            target = position;
    }
    if (target != -1)
        form.cmbProfiles.SetListIndex(target);
}
