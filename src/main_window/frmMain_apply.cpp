// Applying a profile: mark it, save, write the script, run it hidden and show its progress.
#include "main_window/frmMain.h"

#include "base/program_folder.h"

#include "functions/apply_check.h"
#include "functions/apply_script.h"
#include "functions/cmdline.h"
#include "functions/connections.h"
#include "functions/exit_codes.h"
#include "functions/instance.h"
#include "functions/profiles.h"
#include "functions/run.h"
#include "functions/tcpip.h"
#include "globals/mdlGVars.h"
#include "toolkit/app.h"
#include "toolkit/dialogs.h"
#include "base/handle.h"
#include "tray_icon/CSystrayIcon.h"

#include <utility>

namespace {

constexpr const char* kBusyMessage =
    "A profile is being applied. Please wait until it has finished, then try again.";
constexpr const char* kLateScriptMessage =
    "The previous profile is still being applied: its script went on after the time-out. Please "
    "wait until it has finished, then try again.";

int g_applyTimeoutSeconds = frmMain::kApplyTimeoutSeconds;

// How long the check after a run waits for settings that Windows writes a moment late.
constexpr std::uint32_t kCheckPatienceMs = 2000;
constexpr const char* kCheckingCaption = "Checking the connection...";

std::string ScriptFile() {
    return ScriptPath(base::ProgramFolder());
}

std::string ProgressFile() {
    return ProgressPath(base::ProgramFolder());
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
    // Deleted while the lock is still ours: once it is free, the files may be another apply's.
    DeleteFileA(ScriptFile().c_str());
    DeleteFileA(ProgressFile().c_str());
    if (std::exchange(lockHeldForLateScript_, false))
        ReleaseMutex(applyMutex_.get());
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
    // Whatever stops the apply before its script runs leaves this outcome.
    applyOutcome_ = kExitRefused;
    // Another Ipshifter of this folder (a command-line run, or the one in the tray) may be
    // running the script: the two would share its files.
    const ScopedTryLock lock(applyMutex_.get());
    if (!ApplyMayStart(lock.Owned()))
        return;
    const int chosen = SelectedProfileIndex();
    if (chosen == -1) {
        applyOutcome_ = kExitHeading;
        return;
    }
    // A copy: handlers that run during the wait may change the table.
    const ProfileRecord profile = Profiles[static_cast<size_t>(chosen)];
    if (auto problem = CheckProfileForScript(profile)) {
        tk::MsgBox(*problem, tk::MsgButtons::Ok, tk::MsgIcon::Critical);
        return;
    }
    // On a connection Windows keeps no TCP/IP settings for (a removed adapter's leftover) netsh
    // can only fail: it is refused before anything is marked.
    const std::string connectionKey = ConnectionKeyOf(profile.INTERFACE);
    if (!ReadStoredIpSettings(connectionKey)) {
        tk::MsgBox(NoTcpipSettingsText(profile), tk::MsgButtons::Ok, tk::MsgIcon::Critical);
        return;
    }

    // A failed save is told, and the profile is applied all the same.
    const std::string saveFailure = ReportSaveFailure(MarkApplied(static_cast<size_t>(chosen)));
    if (saveFailure.empty())
        TellResidentMarksChanged();

    const std::string scriptPath = ScriptFile();
    const auto lines = BuildApplyScript(profile, ProgressFolder(base::ProgramFolder()),
                                        !GetCommandLineArg("PROFILE").empty());
    std::string error;
    if (!WriteScriptFile(scriptPath, lines, error)) {
        // A folder that cannot be written was reported with the save already.
        if (error != saveFailure)
            tk::MsgBox(error, tk::MsgButtons::Ok, tk::MsgIcon::Critical);
        return;
    }

    {
        RunPhase phase(*this, applying_);
        std::string errorMessage;
        std::string output;
        // Quoted: a folder with blanks must not run a planted program named after its first word.
        const bool ended = RunAndWait("\"" + scriptPath + "\"", 0, errorMessage,
                                      g_applyTimeoutSeconds, &lateScript_, &output);
        phase.StopTimer();
        std::vector<SettingDifference> differences;
        if (ended) {
            lblProgress.SetCaption(kCheckingCaption);
            differences = CheckApplied(profile, connectionKey, kCheckPatienceMs);
        }
        if (lateScript_) {
            // While it runs it may still read the script, which a new apply would write under it:
            // the lock stays taken until the late script has ended (LateScriptRunning).
            lockHeldForLateScript_ = WaitForSingleObject(applyMutex_.get(), 0) == WAIT_OBJECT_0;
            tmrLateScript.SetInterval(1000);
        }
        DeleteFileA(scriptPath.c_str());
        DeleteFileA(ProgressFile().c_str());
        if (!errorMessage.empty()) {
            applyOutcome_ = kExitNotRun;
            tk::MsgBox(errorMessage, tk::MsgButtons::Ok, tk::MsgIcon::Critical);
        } else if (!differences.empty()) {
            applyOutcome_ = kExitDiffers;
            tk::MsgBox(ApplyFailureText(profile, differences, NetshWords(output)),
                       tk::MsgButtons::Ok, tk::MsgIcon::Critical);
        } else {
            applyOutcome_ = kExitApplied;
        }
    }
    if (std::exchange(closeAfterApply_, false))
        Unload(closeModeAfterApply_);
}

void frmMain::tmrProgress_Timer() {
    const std::string path = ProgressFile();
    // The script replaces the file while we read it: share everything, and give up quietly.
    base::unique_file file(CreateFileA(path.c_str(), GENERIC_READ,
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
