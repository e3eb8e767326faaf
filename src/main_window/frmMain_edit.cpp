// The editing commands of the main window: New, Edit (rename), Delete, Save, and Read current,
// which fills the fields from the connection's settings.
#include "main_window/frmMain.h"

#include "base/error_text.h"
#include "functions/address_text.h"
#include "functions/connections.h"
#include "functions/ip.h"
#include "functions/profile_list.h"
#include "functions/profiles.h"
#include "functions/tcpip.h"
#include "globals/mdlGVars.h"
#include "toolkit/dialogs.h"

namespace {

// An empty box stands for "none" and is not checked; otherwise every line is an element.
std::vector<std::string> ListFromBox(const tk::TextBox& box) {
    return AddressesFromText(box.Text());
}

std::string TrimBlanks(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

void Refuse(const std::string& message) {
    tk::MsgBox(message, tk::MsgButtons::Ok, tk::MsgIcon::Critical);
}

} // namespace

std::string frmMain::ReportSaveFailure(const SaveResult& saved) {
    if (saved.ok)
        return {};
    const std::string reason = base::SystemErrorText(saved.error);
    tk::MsgBox("The profiles could not be saved to\r\n" + IniPath + "\r\n\r\n" + reason +
                   "\r\n\r\nIpshifter keeps your changes and saves them with the next change "
                   "once the file can be written.",
               tk::MsgButtons::Ok, tk::MsgIcon::Critical);
    return reason;
}

void frmMain::cmdNewProfile_Click() {
    const std::string name = tk::InputBox("Profile name?");
    if (name.empty())
        return;
    ProfileRecord p;
    p.NAME = name;
    p.INTERFACE = FirstConnection(InterfaceNames);
    p.METRIC = 1;
    p.IP = NoAddresses();
    p.DNS = NoAddresses();
    Profiles.push_back(p);
    const int n = static_cast<int>(Profiles.size()) - 1;
    SaveProfilesOrReport();
    RefreshProfileList("", "");
    for (int i = 0; i < cmbProfiles.ListCount(); ++i) {
        if (cmbProfiles.ItemData(i) == n) {
            cmbProfiles.SetListIndex(i);
            break;
        }
    }
}

void frmMain::cmdEditProfile_Click() {
    const int k = SelectedProfileIndex();
    if (k == -1)
        return;
    const std::string answer = tk::InputBox("Profile name?", Profiles[static_cast<size_t>(k)].NAME);
    if (!answer.empty())
        Profiles[static_cast<size_t>(k)].NAME = answer;
    cmdSave_Click();
    RefreshProfileList("", "");
}

void frmMain::cmdDelProfile_Click() {
    const int k = SelectedProfileIndex();
    if (k == -1)
        return;
    int listed = 0;
    for (int i = 0; i < cmbProfiles.ListCount(); ++i) {
        if (cmbProfiles.ItemData(i) != -1)
            ++listed;
    }
    if (listed <= 1) {
        tk::MsgBox("Enable to delete: at least one entry must be present", tk::MsgButtons::Ok,
                   tk::MsgIcon::Exclamation);
        return;
    }
    const ProfileRecord& p = Profiles[static_cast<size_t>(k)];
    if (tk::MsgBox("Do you really want to remove the profile '" + p.INTERFACE + "::" + p.NAME +
                       "' ?",
                   tk::MsgButtons::YesNo, tk::MsgIcon::Question) != tk::MsgResult::Yes)
        return;
    Profiles.erase(Profiles.begin() + k);
    RefreshProfileList("", "");
    const int count = cmbProfiles.ListCount();
    if (count > 0)
        cmbProfiles.SetListIndex(k <= count - 1 ? k : count - 1);
    SaveProfilesOrReport();
}

void frmMain::cmdSave_Click() {
    const int k = SelectedProfileIndex();
    if (k != -1) {
        // Each field is stored first and checked afterwards: a refused Save keeps what it
        // stored so far in memory.
        ProfileRecord& p = Profiles[static_cast<size_t>(k)];
        p.INTERFACE = cmbINTERFACE.Text();
        p.DHCP = static_cast<std::uint8_t>(chkDHCP.Value());
        p.IP = ListFromBox(txtIP);
        if (p.IP != NoAddresses() && !IsValidIp(p.IP))
            return Refuse("Invalid IP addresses specified");
        p.SUBNET = txtSUBNET.Text();
        if (!IsValidIp(p.SUBNET))
            return Refuse("Invalid SUBNET specified");
        p.GATEWAY = txtGATEWAY.Text();
        if (p.GATEWAY.empty())
            p.GATEWAY = "none";
        if (p.GATEWAY != "none" && !IsValidIp(p.GATEWAY))
            return Refuse("Invalid GATEWAY specified");
        const auto metric = MetricFromText(txtMETRIC.Text());
        if (!metric)
            return Refuse("Invalid METRIC specified: it must lie between -2147483648 and "
                          "2147483647");
        p.METRIC = *metric;
        p.DNS = ListFromBox(txtDNS);
        if (p.DNS != NoAddresses() && !IsValidIp(p.DNS))
            return Refuse("Invalid DNS addresses specified");
    }
    SaveProfilesOrReport();
    RefreshProfileList(TrimBlanks(cmbINTERFACE.Text()), TrimBlanks(cmbProfiles.Text()));
}

void frmMain::cmdReadCurrent_Click() {
    // The list holds the connections in discovery's order: its position finds the key even
    // where two connections bear one name.
    const int position = cmbINTERFACE.ListIndex();
    const std::string connection = cmbINTERFACE.Text();
    const std::string key = position >= 0 && static_cast<size_t>(position) < InterfaceKeys.size()
                                ? InterfaceKeys[static_cast<size_t>(position)]
                                : ConnectionKeyOf(connection);
    const auto kept = ReadStoredIpSettings(key);
    if (!kept) {
        tk::MsgBox("Windows keeps no TCP/IP settings for the connection \"" + connection +
                       "\": there is nothing to read. Its network adapter may have been removed "
                       "or disabled.",
                   tk::MsgButtons::Ok, tk::MsgIcon::Exclamation);
        return;
    }
    // Into the fields only: Save checks and stores them, choosing another profile drops them.
    const ProfileFields fields = FieldsFromSettings(*kept);
    chkDHCP.SetValue(fields.dhcp);
    txtIP.SetText(fields.ip);
    txtSUBNET.SetText(fields.subnet);
    txtGATEWAY.SetText(fields.gateway);
    if (fields.metric)
        txtMETRIC.SetText(*fields.metric);
    txtDNS.SetText(fields.dns);
}
