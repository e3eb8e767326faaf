#include "functions/profile_list.h"

#include "globals/mdlGVars.h"
#include "main_window/frmMain.h"

namespace {
// No connection name is expected to equal it, so the first connection always gets its heading.
constexpr const char* kNoHeadingYet = "___XXXX_YYYY_XXXXXX____";
} // namespace

void RefreshProfileList(const std::string& interfaceName, const std::string& profileName) {
    frmMain& form = MainForm();
    for (int k = form.mnuProfile.UBound(); k >= 1; --k)
        form.mnuProfile.Unload(k);
    std::string lastHeading = kNoHeadingYet;
    form.cmbProfiles.Clear();
    int target = -1;

    auto appendMenu = [&form](const std::string& caption, bool enabled, const std::string& tag) {
        const int k = form.mnuProfile.UBound() + 1;
        form.mnuProfile.Load(k);
        tk::MenuItem& item = form.mnuProfile[k];
        item.Caption = caption;
        item.Visible = true;
        item.Enabled = enabled;
        item.Tag = tag;
    };

    for (const std::string& connection : InterfaceNames) {
        for (size_t j = 0; j < Profiles.size(); ++j) {
            const ProfileRecord& p = Profiles[j];
            if (p.INTERFACE != connection)
                continue;
            if (lastHeading != connection) {
                appendMenu(connection, false, {});
                const int heading = form.cmbProfiles.AddItem(connection);
                form.cmbProfiles.SetItemData(heading, -1);
                lastHeading = connection;
            }
            const std::string caption = "  " + p.NAME;
            const int entry = form.cmbProfiles.AddItem(caption);
            form.cmbProfiles.SetItemData(entry, static_cast<int>(j));
            if (!profileName.empty() && p.NAME == profileName && p.INTERFACE == interfaceName)
                target = entry;
            appendMenu(caption, true, std::to_string(j));
        }
    }
    if (target != -1)
        form.cmbProfiles.SetListIndex(target);
}
