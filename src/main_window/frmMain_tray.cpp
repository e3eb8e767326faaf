// The tray: the icon put up at start-up, tried again while the shell refuses it, and put up
// again after Explorer restarts; the decoding of its clicks, and the tray menu with its
// commands.
#include "main_window/frmMain.h"

#include "about_window/frmAbout.h"
#include "base/scope_exit.h"
#include "functions/forms.h"
#include "functions/instance.h"
#include "globals/mdlGVars.h"
#include "toolkit/app.h"
#include "toolkit/message_filter.h"
#include "tray_icon/CSystrayIcon.h"

#include <cmath>
#include <cstdlib>

namespace {

// Explorer broadcasts this after a restart; its new tray knows no icons yet.
UINT TaskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageA("TaskbarCreated");
    return message;
}

} // namespace

void frmMain::PutIconInTray() {
    // Elevated by its manifest, the program would not hear from the shell otherwise.
    tk::AllowMessageFromLowerIntegrity(hwnd(), TaskbarCreatedMessage());
    tk::AllowMessageFromLowerIntegrity(hwnd(), kTrayCallbackMessage);
    SetTrayCallback(kTrayCallbackMessage, CSystrayIcon::kIconId);
    SysIcon = std::make_unique<CSystrayIcon>();
    SysIcon->Initialize(hwnd(), SmallIcon(), "Ipshifter", kTrayCallbackMessage);
    if (!SysIcon->ShowIcon())
        RetryTrayIcon();
}

void frmMain::RetryTrayIcon() {
    trayRetriesLeft_ = kTrayRetries;
    tmrTrayIcon.SetInterval(kTrayRetryIntervalMs);
}

void frmMain::tmrTrayIcon_Timer() {
    // Goes on while the program wants an icon, the shell refuses it and tries are left.
    if (SysIcon && !SysIcon->ShowIconOrAdopt() && --trayRetriesLeft_ > 0)
        return;
    tmrTrayIcon.SetInterval(0);
}

base::unique_hmenu frmMain::BuildTrayMenu() const {
    base::unique_hmenu menu(CreatePopupMenu());
    for (int k = 0; k <= mnuProfile.UBound(); ++k)
        tk::AppendMenuElement(menu.get(), mnuProfile[k], kMenuProfileBase + static_cast<UINT>(k));
    tk::AppendMenuElement(menu.get(), mnuLine02, 0);
    tk::AppendMenuElement(menu.get(), mnuSetup, kMenuSetup);
    tk::AppendMenuElement(menu.get(), mnuAbout, kMenuAbout);
    tk::AppendMenuElement(menu.get(), mnuLine03, 0);
    tk::AppendMenuElement(menu.get(), mnuExit, kMenuExit);
    return menu;
}

void frmMain::OnMenuCommand(UINT id) {
    if (id == kMenuSetup)
        mnuSetup_Click();
    else if (id == kMenuAbout)
        mnuAbout_Click();
    else if (id == kMenuExit)
        mnuExit_Click();
    else if (id >= kMenuProfileBase && id <= kMenuProfileBase + 0x7FFF)
        mnuProfile_Click(static_cast<int>(id - kMenuProfileBase));
}

void frmMain::mnuAbout_Click() {
    ShowFormModal(AboutForm());
}

void frmMain::Form_MouseMove(int /*button*/, int /*shift*/, float x, float /*y*/) {
    // The tray icon reports its mouse message in place of the horizontal position.
    const long message = std::lround(x / tk::TwipsPerPixelX());
    switch (message) {
    case WM_LBUTTONUP:
        // A single click only repaints the window; the double click shows it.
        if (Loaded())
            RedrawWindow(hwnd(), nullptr, nullptr,
                         RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        break;
    case WM_LBUTTONDBLCLK:
        Show();
        break;
    case WM_RBUTTONUP: {
        for (int k = 0; k <= mnuProfile.UBound(); ++k) {
            const std::string& tag = mnuProfile[k].Tag;
            char* end = nullptr;
            const long i = std::strtol(tag.c_str(), &end, 10);
            if (tag.empty() || *end != '\0' || i < 0 || static_cast<size_t>(i) >= Profiles.size())
                continue;
            mnuProfile[k].Checked = Profiles[static_cast<size_t>(i)].SELECTED != 0;
        }
        // The menu activates the window, which gives the focus back to its last control; were
        // that Subnet or Metric, an empty field would fill in its default on its own.
        cmdSave.SetFocus();
        base::unique_hmenu menu = BuildTrayMenu();
        const UINT chosen = PopupMenu(menu.get());
        menu.reset();
        if (chosen)
            OnMenuCommand(chosen);
        break;
    }
    default:
        break;
    }
}

bool frmMain::OnShellRestart(UINT msg) {
    if (msg == 0 || msg != TaskbarCreatedMessage())
        return false;
    if (!SysIcon)
        return true;
    const bool shown =
        SysIcon->Visible() ? SysIcon->RestoreAfterShellRestart() : SysIcon->ShowIconOrAdopt();
    if (shown)
        tmrTrayIcon.SetInterval(0);
    else
        RetryTrayIcon();
    return true;
}

void frmMain::mnuSetup_Click() {
    Show();
}

void frmMain::mnuProfile_Click(int index) {
    // Refused before the window or the selection changes.
    if (!ApplyMayStart(ScopedTryLock(applyMutex_.get()).Owned()))
        return;
    const bool shownHere = !Visible();
    auto hideAgain = base::scope_exit([&] {
        if (shownHere)
            Hide();
    });
    if (shownHere) {
        Show();
        tk::DoEvents();
    }
    cmbProfiles.SetListIndex(index - 1);
    cmdSetProfile_Click();
}
