#include "main_window/frmMain.h"

#include "functions/interfaces.h"
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

void ResetMainForm() { MainFormSlot().reset(); }

frmMain::frmMain() : tk::Form("IpshifterMain", "Ipshifter", 6015, 4530, IDI_IPSHIFTER) {}

frmMain::~frmMain() = default;

void frmMain::CreateControls() {
    using tk::FontKind;
    using Align = tk::Label::Align;
    // Frames first (their controls are placed relative to them), then every control in tab
    // order, which is also the creation order.
    frameProfiles.CreateGroup(*this, nullptr, "Profiles", {75, 150, 5865, 1140}, FontKind::Bold);
    frameInterface.CreateGroup(*this, nullptr, "Interface", {75, 1350, 5865, 3090},
                               FontKind::Bold);
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

    frmWAIT.SetVisible(false);
}

void frmMain::Form_Load() {
    tk::ChangeDirectory(tk::AppPath());
    IniPath = tk::AppPath() + "\\Ipshifter.ini";

    const std::int32_t code = DetectOs();
    if (code != kOsWin2000 && code != kOsWinXP && code != kOsVista) {
        tk::MsgBox("OS unsupported");
        tk::EndProgram();
        return;
    }
    InterfaceNames = {"_"};
    FillInterfaceList();

    Hide();
}

void frmMain::Form_QueryUnload(int& cancel, int unloadMode) {
    if (unloadMode == tk::kUnloadUser) {
        // Closing the window only sends the program back to the tray.
        cancel = 1;
        Hide();
    }
}

void frmMain::Form_Unload(int& /*cancel*/) {
    SysIcon.reset();
    tk::EndProgram();
}

void frmMain::mnuExit_Click() { Unload(tk::kUnloadCode); }
