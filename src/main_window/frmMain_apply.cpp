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
constexpr const char* kLateScriptMessage =
    "The previous profile is still being applied: its script went on after the time-out. Please "
    "wait until it has finished, then try again.";

int g_applyTimeoutSeconds = frmMain::kApplyTimeoutSeconds;

std::string ScriptPath() {
    return tk::AppPath() + "\\_ipshifter.cmd";
}

std::string ProgressPath() {
    return tk::AppPath() + "\\_progress.tmp";
}

} // namespace

void frmMain::SetApplyTimeoutForTesting(int seconds) {
    g_applyTimeoutSeconds = seconds;
}

bool frmMain::ApplyMayStart(bool lockOwned) {
    if (applying_ || !lockOwned) {
        tk::MsgBox(kBusyMessage, tk::MsgButtons::Ok, tk::MsgIcon::Exclamation);
        return false;
    }
    if (LateScriptRunning()) {
        tk::MsgBox(kLateScriptMessage, tk::MsgButtons::Ok, tk::MsgIcon::Exclamation);
        return false;
    }
    return true;
}

bool frmMain::LateScriptRunning() {
    if (!lateScript_)
        return false;
    DWORD code = 0;
    if (GetExitCodeProcess(lateScript_.get(), &code) && code == STILL_ACTIVE)
        return true;
    lateScript_.reset();
    if (std::exchange(lockHeldForLateScript_, false))
        ReleaseMutex(applyMutex_.get());
    DeleteFileA(ScriptPath().c_str());
    DeleteFileA(ProgressPath().c_str());
    return false;
}

namespace {

// The window as it is while a script runs, given back however the run ends (exceptions
// included): timer stopped, panel hidden, label empty, window enabled, tip reset, not busy.
class RunPhase {
public:
    RunPhase(frmMain& form, bool& busy) : form_(form), busy_(busy) {
        busy_ = true;
        form_.SetEnabled(false);
        form_.frmWAIT.SetVisible(true);
        form_.tmrProgress.SetInterval(250);
        form_.tmrProgress.SetEnabled(true);
    }
    ~RunPhase() {
        StopTimer();
        form_.frmWAIT.SetVisible(false);
        form_.lblProgress.SetCaption("");
        form_.SetEnabled(true);
        if (form_.SysIcon)
            form_.SysIcon->TipText("Ipshifter");
        busy_ = false;
    }
    RunPhase(const RunPhase&) = delete;
    RunPhase& operator=(const RunPhase&) = delete;
    void StopTimer() {
        form_.tmrProgress.SetEnabled(false);
        form_.tmrProgress.SetInterval(0);
    }

private:
    frmMain& form_;
    bool& busy_;
};

} // namespace

void frmMain::cmdSetProfile_Click() {
    // Another Ipshifter of this folder (a command-line run, or the one in the tray) may be
    // running the script: the two would share its files.
    const ScopedTryLock lock(applyMutex_.get());
    if (!ApplyMayStart(lock.Owned()))
        return;
    const int chosen = SelectedProfileIndex();
    if (chosen == -1)
        return;
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

    const std::string scriptPath = ScriptPath();
    const auto lines =
        BuildApplyScript(Profiles[static_cast<size_t>(chosen)], ProgressFolder(tk::AppPath()),
                         !GetCommandLineArg("PROFILE").empty());
    std::string error;
    if (!WriteScriptFile(scriptPath, lines, error)) {
        tk::MsgBox(error, tk::MsgButtons::Ok, tk::MsgIcon::Critical);
        return;
    }

    {
        RunPhase phase(*this, applying_);
        std::string errorMessage;
        // Quoted: a folder with blanks must not run a planted program named after its first word.
        RunAndWait("\"" + scriptPath + "\"", 0, errorMessage, g_applyTimeoutSeconds, &lateScript_);
        phase.StopTimer();
        if (lateScript_) {
            // It may still read the script: nobody writes a new one until it has ended.
            lockHeldForLateScript_ = WaitForSingleObject(applyMutex_.get(), 0) == WAIT_OBJECT_0;
            tmrLateScript.SetInterval(1000);
        }
        DeleteFileA(scriptPath.c_str());
        DeleteFileA(ProgressPath().c_str());
        if (!errorMessage.empty())
            tk::MsgBox(errorMessage, tk::MsgButtons::Ok, tk::MsgIcon::Critical);
    }
    if (std::exchange(closeAfterApply_, false))
        Unload(tk::kUnloadTaskManager);
}

void frmMain::tmrProgress_Timer() {
    const std::string path = ProgressPath();
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
    // Refused before the window or the selection changes.
    if (!ApplyMayStart(ScopedTryLock(applyMutex_.get()).Owned()))
        return;
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
