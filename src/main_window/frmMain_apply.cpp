// Applying a profile: mark it, save, write the script, run it hidden and show its progress.
#include "main_window/frmMain.h"

#include "functions/apply_script.h"
#include "functions/cmdline.h"
#include "functions/instance.h"
#include "functions/profiles.h"
#include "functions/run.h"
#include "globals/mdlGVars.h"
#include "ini/modGestioneINI.h"
#include "toolkit/app.h"
#include "toolkit/dialogs.h"
#include "toolkit/handle.h"
#include "tray_icon/CSystrayIcon.h"

#include <utility>

namespace {

constexpr const char* kBusyMessage =
    "A profile is being applied. Please wait until it has finished, then try again.";

} // namespace

void frmMain::cmdSetProfile_Click() {
    if (applying_) {
        tk::MsgBox(kBusyMessage, tk::MsgButtons::Ok, tk::MsgIcon::Exclamation);
        return;
    }
    const int chosen = SelectedProfileIndex();
    if (chosen == -1)
        return;
    // Another Ipshifter of this folder (a command-line run, or the one in the tray) may be
    // running the script: the two would share its files.
    const ScopedTryLock lock(applyMutex_.get());
    if (!lock.Owned()) {
        tk::MsgBox(kBusyMessage, tk::MsgButtons::Ok, tk::MsgIcon::Exclamation);
        return;
    }
    if (auto problem = CheckProfileForScript(Profiles[static_cast<size_t>(chosen)])) {
        tk::MsgBox(*problem, tk::MsgButtons::Ok, tk::MsgIcon::Critical);
        return;
    }

    const std::string connection = Profiles[static_cast<size_t>(chosen)].INTERFACE;
    for (size_t i = 0; i < Profiles.size(); ++i) {
        if (Profiles[i].INTERFACE != connection)
            continue;
        Profiles[i].SELECTED = 0;
        IniWriteString("PROFILE" + std::to_string(i + 1), "SELECTED", "0", IniPath);
    }
    Profiles[static_cast<size_t>(chosen)].SELECTED = 1;
    IniWriteString("PROFILE" + std::to_string(chosen + 1), "SELECTED", "1", IniPath);
    SaveProfiles();
    TellResidentMarksChanged();

    const std::string folder = tk::AppPath();
    const std::string scriptPath = folder + "\\_ipshifter.cmd";
    const std::string progressPath = folder + "\\_progress.tmp";
    const auto lines = BuildApplyScript(Profiles[static_cast<size_t>(chosen)], folder,
                                        !GetCommandLineArg("PROFILE").empty());
    std::string error;
    if (!WriteScriptFile(scriptPath, lines, error)) {
        tk::MsgBox(error, tk::MsgButtons::Ok, tk::MsgIcon::Critical);
        return;
    }

    applying_ = true;
    SetEnabled(false);
    frmWAIT.SetVisible(true);
    tmrProgress.SetInterval(250);
    tmrProgress.SetEnabled(true);
    std::string errorMessage;
    // Quoted: a folder with blanks must not run a planted program named after its first word.
    RunAndWait("\"" + scriptPath + "\"", 0, errorMessage, 120);
    tmrProgress.SetEnabled(false);
    tmrProgress.SetInterval(0);
    DeleteFileA(scriptPath.c_str());
    DeleteFileA(progressPath.c_str());
    if (!errorMessage.empty())
        tk::MsgBox(errorMessage, tk::MsgButtons::Ok, tk::MsgIcon::Critical);
    frmWAIT.SetVisible(false);
    lblProgress.SetCaption("");
    SetEnabled(true);
    if (SysIcon)
        SysIcon->TipText("Ipshifter");
    applying_ = false;
    if (std::exchange(closeAfterApply_, false))
        Unload(tk::kUnloadTaskManager);
}

void frmMain::tmrProgress_Timer() {
    const std::string path = tk::AppPath() + "\\_progress.tmp";
    // The script replaces the file while we read it: share everything, and give up quietly.
    tk::unique_file file(CreateFileA(path.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    char buffer[256];
    DWORD got = 0;
    if (!ReadFile(file.get(), buffer, sizeof(buffer), &got, nullptr) || got == 0)
        return;
    std::string line(buffer, got);
    const size_t end = line.find_first_of("\r\n");
    if (end != std::string::npos)
        line.resize(end);
    lblProgress.SetCaption("Step " + line);
}

void frmMain::mnuProfile_Click(int index) {
    if (applying_ || !ScopedTryLock(applyMutex_.get()).Owned()) {
        tk::MsgBox(kBusyMessage, tk::MsgButtons::Ok, tk::MsgIcon::Exclamation);
        return;
    }
    const bool shownHere = !Visible();
    if (shownHere) {
        Show();
        tk::DoEvents();
    }
    cmbProfiles.SetListIndex(index - 1);
    cmdSetProfile_Click();
    if (shownHere)
        Hide();
}
