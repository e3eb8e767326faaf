#include "main_window/frmMain.h"

#include "base/program_folder.h"

#include "about_window/frmAbout.h"
#include "functions/address_text.h"
#include "functions/cmdline.h"
#include "functions/exit_codes.h"
#include "functions/connections.h"
#include "functions/forms.h"
#include "functions/instance.h"
#include "functions/interfaces.h"
#include "functions/profile_list.h"
#include "functions/profiles.h"
#include "functions/os.h"
#include "globals/mdlGVars.h"
#include "resource.h"
#include "toolkit/app.h"
#include "toolkit/dialogs.h"
#include "tray_icon/CSystrayIcon.h"

namespace {

std::unique_ptr<frmMain>& MainFormSlot() {
    static std::unique_ptr<frmMain> form;
    return form;
}

} // namespace

frmMain& MainForm() {
    auto& slot = MainFormSlot();
    if (!slot)
        slot = std::make_unique<frmMain>();
    return *slot;
}

void ResetMainForm() {
    MainFormSlot().reset();
}

frmMain::frmMain() : tk::Form(kMainWindowClass, kMainWindowTitle, 6015, 4530, IDI_IPSHIFTER) {}

frmMain::~frmMain() = default;

void frmMain::CreateControls() {
    using tk::FontKind;
    using Align = tk::Label::Align;
    // Frames first (their controls are placed relative to them), then every control in tab
    // order, which is also the creation order.
    frameProfiles.CreateGroup(*this, nullptr, "Profiles", {75, 150, 5865, 1140}, FontKind::Bold);
    frameInterface.CreateGroup(*this, nullptr, "Interface", {75, 1350, 5865, 3090}, FontKind::Bold);
    frameIP.CreateGroup(*this, &frameInterface, "IP Config", {150, 675, 2715, 2265},
                        FontKind::Italic);
    frameDNS.CreateGroup(*this, &frameInterface, "DNS Config", {3000, 675, 2715, 1740},
                         FontKind::Italic);
    frmWAIT.CreatePanel(*this, nullptr, {1650, 1350, 2940, 1665}, RGB(255, 255, 192));

    cmbProfiles.Create(*this, &frameProfiles, {1050, 300, 3690, 315});
    cmdSetProfile.Create(*this, &frameProfiles, "Set", {4950, 300, 765, 315});
    cmdNewProfile.Create(*this, &frameProfiles, "New", {1050, 675, 765, 315});
    cmdEditProfile.Create(*this, &frameProfiles, "Edit", {1875, 675, 765, 315});
    cmdDelProfile.Create(*this, &frameProfiles, "Delete", {2700, 675, 765, 315});
    cmbINTERFACE.Create(*this, &frameInterface, {1050, 225, 4665, 315});
    chkDHCP.Create(*this, &frameInterface, "DHCP", {2025, 600, 765, 315});
    txtIP.Create(*this, &frameIP, {900, 300, 1665, 735}, true);
    txtSUBNET.Create(*this, &frameIP, {900, 1050, 1665, 285}, false);
    txtGATEWAY.Create(*this, &frameIP, {900, 1350, 1665, 285}, false);
    txtMETRIC.Create(*this, &frameIP, {900, 1800, 1665, 285}, false);
    txtDNS.Create(*this, &frameDNS, {900, 300, 1665, 1260}, true);
    cmdReadCurrent.Create(*this, &frameInterface, "Read current", {3750, 2625, 1065, 315});
    cmdSave.Create(*this, &frameInterface, "Save", {4875, 2625, 840, 315});
    Label1.Create(*this, &frameProfiles, "Profile", {450, 375, 450, 195}, Align::Right);
    Label2.Create(*this, &frameInterface, "Name", {585, 300, 405, 195}, Align::Right);
    Label3.Create(*this, &frameIP, "IP", {600, 300, 150, 195}, Align::Right);
    Label4.Create(*this, &frameIP, "Subnet", {240, 1125, 510, 195}, Align::Right);
    Label5.Create(*this, &frameIP, "Gateway", {105, 1425, 645, 195}, Align::Right);
    Label6.Create(*this, &frameDNS, "DNS", {450, 300, 300, 195}, Align::Right);
    Label9.Create(*this, &frameIP, "Metric", {315, 1875, 435, 195}, Align::Right);
    lblWAIT.Create(*this, &frmWAIT, "Please wait...", {150, 525, 2640, 240}, Align::Center);
    lblProgress.Create(*this, &frmWAIT, "", {150, 750, 2640, 240}, Align::Center);
    cmdAbout.Create(*this, &frameProfiles, "About", {3975, 675, 765, 315});
    tmrProgress.Create(*this);
    tmrLateScript.Create(*this);
    tmrTrayIcon.Create(*this);

    frmWAIT.SetVisible(false);

    cmbProfiles.Click = [this] { cmbProfiles_Click(); };
    chkDHCP.Click = [this] { chkDHCP_Click(); };
    txtMETRIC.GotFocus = [this] { txtMETRIC_GotFocus(); };
    txtSUBNET.GotFocus = [this] { txtSUBNET_GotFocus(); };
    cmdNewProfile.Click = [this] { cmdNewProfile_Click(); };
    cmdEditProfile.Click = [this] { cmdEditProfile_Click(); };
    cmdDelProfile.Click = [this] { cmdDelProfile_Click(); };
    cmdSave.Click = [this] { cmdSave_Click(); };
    cmdReadCurrent.Click = [this] { cmdReadCurrent_Click(); };
    cmdSetProfile.Click = [this] { cmdSetProfile_Click(); };
    cmdAbout.Click = [this] { cmdAbout_Click(); };
    tmrProgress.Tick = [this] { tmrProgress_Timer(); };
    tmrTrayIcon.Tick = [this] { tmrTrayIcon_Timer(); };
    tmrLateScript.Tick = [this] {
        if (!LateScriptRunning())
            tmrLateScript.SetInterval(0);
    };
}

int frmMain::SelectedProfileIndex() const {
    const int entry = cmbProfiles.ListIndex();
    if (entry < 0)
        return -1;
    const int index = cmbProfiles.ItemData(entry);
    // An entry can only point into the table; anything else counts as no choice.
    return index >= 0 && static_cast<size_t>(index) < Profiles.size() ? index : -1;
}

void frmMain::cmbProfiles_Click() {
    const int index = SelectedProfileIndex();
    const bool chosen = index != -1;
    cmdSetProfile.SetEnabled(chosen);
    cmdNewProfile.SetEnabled(chosen);
    cmdEditProfile.SetEnabled(chosen);
    cmdDelProfile.SetEnabled(chosen);
    frameInterface.SetEnabled(chosen);
    if (!chosen) {
        cmbINTERFACE.SetListIndex(0);
        txtIP.SetText("");
        txtSUBNET.SetText("");
        txtGATEWAY.SetText("");
        txtMETRIC.SetText("");
        txtDNS.SetText("");
        return;
    }
    const ProfileRecord& p = Profiles[static_cast<size_t>(index)];
    if (p.INTERFACE.empty()) {
        cmbINTERFACE.SetListIndex(0);
    } else {
        for (int i = 0; i < cmbINTERFACE.ListCount(); ++i) {
            if (cmbINTERFACE.List(i) == p.INTERFACE) {
                cmbINTERFACE.SetListIndex(i);
                break;
            }
        }
    }
    chkDHCP.SetValue(p.DHCP);
    txtIP.SetText(TextFromAddresses(p.IP));
    txtSUBNET.SetText(p.SUBNET);
    txtGATEWAY.SetText(p.GATEWAY);
    txtMETRIC.SetText(std::to_string(p.METRIC));
    txtDNS.SetText(TextFromAddresses(p.DNS));
}

void frmMain::chkDHCP_Click() {
    const bool staticAddresses = chkDHCP.Value() == 0;
    frameIP.SetEnabled(staticAddresses);
    txtIP.SetEnabled(staticAddresses);
    txtSUBNET.SetEnabled(staticAddresses);
    txtGATEWAY.SetEnabled(staticAddresses);
    txtMETRIC.SetEnabled(staticAddresses);
}

void frmMain::txtMETRIC_GotFocus() {
    if (txtMETRIC.Text().empty())
        txtMETRIC.SetText("1");
}

void frmMain::txtSUBNET_GotFocus() {
    if (txtSUBNET.Text().empty())
        txtSUBNET.SetText("255.255.255.0");
}

LRESULT frmMain::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (OnShellRestart(msg))
        return 0;
    if (OnInstanceRequest(msg, wParam, lParam, result))
        return result;
    return tk::Form::WindowProc(msg, wParam, lParam);
}

void frmMain::cmdAbout_Click() {
    ShowFormModal(AboutForm());
}

void frmMain::Form_Load() {
    tk::ChangeDirectory(base::ProgramFolder());
    IniPath = base::ProgramFolder() + "\\" + kProfileFileName;

    ConnectionFilter filter = ConnectionFilter::PciOrUsb;
    switch (DetectOs()) {
    case kOsWin2000:
        filter = ConnectionFilter::WithPnpId;
        break;
    case kOsWinXP:
        filter = ConnectionFilter::ByMediaSubType;
        break;
    case kOsVista:
        filter = ConnectionFilter::PciOrUsb;
        break;
    default:
        tk::MsgBox("OS unsupported");
        tk::EndProgram(kExitRefused);
        return;
    }
    const auto connections = FindConnections(filter);
    InterfaceNames = NamesOf(connections);
    InterfaceKeys = KeysOf(connections);
    instanceKey_ = InstanceKey(IniPath);
    applyMutex_.reset(
        CreateMutexA(nullptr, FALSE, InstanceObjectName(instanceKey_, "apply").c_str()));
    const std::string wanted = GetCommandLineArg("PROFILE");
    // A start that would stay in the tray hands over to the one already there before it
    // touches the profile file.
    if (wanted.empty() && HandOverToResident())
        return;

    FillInterfaceList();
    LoadProfiles();
    RefreshProfileList("", "");
    if (cmbProfiles.ListCount() >= 2)
        cmbProfiles.SetListIndex(1);

    if (!wanted.empty()) {
        std::vector<ProfileListEntry> entries;
        for (int i = 0; i < cmbProfiles.ListCount(); ++i)
            entries.push_back({cmbProfiles.List(i), cmbProfiles.ItemData(i)});
        const int entry = EntryForProfileArgument(entries, Profiles, wanted);
        if (entry != -1) {
            cmbProfiles.SetListIndex(entry);
            cmdSetProfile_Click();
            exitCode_ = applyOutcome_;
            Unload(tk::kUnloadCode);
            return;
        }
        // Started as without the value; whoever started it learns that nothing was applied.
        exitCode_ = kExitNoProfile;
        if (HandOverToResident())
            return;
    }

    PutIconInTray();
    Hide();
}

void frmMain::Form_QueryUnload(int& cancel, int unloadMode) {
    if (unloadMode == tk::kUnloadUser) {
        // Closing the window only sends the program back to the tray.
        cancel = 1;
        Hide();
    } else if (applying_ && unloadMode != tk::kUnloadSession) {
        // Ending now would leave the script running with its files behind.
        cancel = 1;
        closeAfterApply_ = true;
        closeModeAfterApply_ = unloadMode;
    }
}

void frmMain::Form_Unload(int& /*cancel*/) {
    SysIcon.reset();
    tk::EndProgram(exitCode_);
}

void frmMain::mnuExit_Click() {
    Unload(tk::kUnloadCode);
}
