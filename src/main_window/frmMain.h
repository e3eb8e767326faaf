#pragma once
// The main window: profile list and commands, the edit fields of the chosen profile, the wait
// panel shown while a profile is applied, and the tray menu tree.
#include "base/handle.h"
#include "base/names.h"
#include "functions/profiles.h"
#include "toolkit/button.h"
#include "toolkit/check_box.h"
#include "toolkit/combo_box.h"
#include "toolkit/form.h"
#include "toolkit/frame.h"
#include "toolkit/label.h"
#include "toolkit/menu.h"
#include "toolkit/text_box.h"

#include <cstdint>
#include <memory>
#include <string>

class CSystrayIcon;

class frmMain : public tk::Form {
public:
    frmMain();
    ~frmMain() override;

    // "Profiles" group
    tk::Frame frameProfiles;
    tk::Label Label1;
    tk::ComboBox cmbProfiles;
    tk::Button cmdSetProfile;
    tk::Button cmdNewProfile;
    tk::Button cmdEditProfile;
    tk::Button cmdDelProfile;
    tk::Button cmdAbout;
    // "Interface" group
    tk::Frame frameInterface;
    tk::Label Label2;
    tk::ComboBox cmbINTERFACE;
    tk::CheckBox chkDHCP;
    tk::Frame frameIP;
    tk::Label Label3;
    tk::TextBox txtIP;
    tk::Label Label4;
    tk::TextBox txtSUBNET;
    tk::Label Label5;
    tk::TextBox txtGATEWAY;
    tk::Label Label9;
    tk::TextBox txtMETRIC;
    tk::Frame frameDNS;
    tk::Label Label6;
    tk::TextBox txtDNS;
    tk::Button cmdReadCurrent;
    tk::Button cmdSave;
    // Wait panel
    tk::Frame frmWAIT;
    tk::Label lblWAIT;
    tk::Label lblProgress;
    tk::Timer tmrProgress;
    // Watches a script that outlived its time-out, to clean up after it once it has ended.
    tk::Timer tmrLateScript;
    // Adds the tray icon again while the program wants it and the shell has not taken it.
    tk::Timer tmrTrayIcon;

    // The tray menu tree; it never shows as a menu bar.
    tk::MenuItem mnuMain{"mnuMain"};
    tk::MenuArray mnuProfile{tk::MenuItem{"*", false, true, false, {}}};
    tk::MenuItem mnuLine02 = tk::MenuItem::Separator();
    tk::MenuItem mnuSetup{"Setup"};
    tk::MenuItem mnuAbout{"About"};
    tk::MenuItem mnuLine03 = tk::MenuItem::Separator();
    tk::MenuItem mnuExit{"Exit"};

    std::unique_ptr<CSystrayIcon> SysIcon;

    void Form_Load() override;
    void Form_QueryUnload(int& cancel, int unloadMode) override;
    void Form_Unload(int& cancel) override;
    void Form_MouseMove(int button, int shift, float x, float y) override;
    void cmbProfiles_Click();
    void chkDHCP_Click();
    void txtMETRIC_GotFocus();
    void txtSUBNET_GotFocus();
    void cmdNewProfile_Click();
    void cmdEditProfile_Click();
    void cmdDelProfile_Click();
    void cmdSave_Click();
    void cmdReadCurrent_Click();
    void cmdSetProfile_Click();
    void tmrProgress_Timer();
    void tmrTrayIcon_Timer();
    void mnuProfile_Click(int index);
    void mnuSetup_Click();
    void mnuAbout_Click();
    void cmdAbout_Click();
    void mnuExit_Click();

    // The profile index behind the selected list entry, or -1 for a heading or no selection.
    int SelectedProfileIndex() const;
    // The tray menu as it would open now.
    base::unique_hmenu BuildTrayMenu() const;

    // The shell reports the tray icon's clicks with this message, which nothing else sends: real
    // mouse moves over the window, wherever they are, can never pass for one.
    static constexpr UINT kTrayCallbackMessage = ::kTrayCallbackMessage;

    // The icon at logon: the shell's notification area may not exist yet, or be too busy to
    // answer. An add that fails is tried again every 5 seconds for 3 minutes (36 tries), and
    // after that on every "TaskbarCreated", which also starts the 3 minutes afresh.
    static constexpr int kTrayRetryIntervalMs = 5000;
    static constexpr int kTrayRetries = 36;

    // How long an apply waits for its script; tests shorten it.
    static constexpr int kApplyTimeoutSeconds = 120;
    static void SetApplyTimeoutForTesting(int seconds);

    // Command identifiers of the tray menu.
    static constexpr UINT kMenuProfileBase = 1000;
    static constexpr UINT kMenuSetup = 10;
    static constexpr UINT kMenuAbout = 11;
    static constexpr UINT kMenuExit = 12;

protected:
    void CreateControls() override;
    void OnMenuCommand(UINT id) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // Puts the icon into the notification area, where the shell can reach the window.
    void PutIconInTray();
    // Becomes the program in the tray for this profile file, or, when another process already
    // is, shows that one's window and unloads this one (true).
    bool HandOverToResident();
    // After an apply from the command line: the resident takes the new marks from the file.
    void TellResidentMarksChanged();
    // A request of another Ipshifter of this profile file; false for any other message.
    bool OnInstanceRequest(UINT msg, WPARAM request, LPARAM key, LRESULT& result);
    // Explorer restarted (or started late): the icon goes into its new tray, shown before or
    // still missing. False for any other message.
    bool OnShellRestart(UINT msg);
    // Starts the tries of kTrayRetryIntervalMs and kTrayRetries afresh.
    void RetryTrayIcon();
    // Tells the user where and why a save failed (the table keeps the edits); the platform's
    // description of the failure, or empty after a save that worked.
    std::string ReportSaveFailure(const SaveResult& saved);
    std::string SaveProfilesOrReport() { return ReportSaveFailure(SaveProfiles()); }
    // Whether an apply may start now; when not, the user is told why. `lockOwned`: this process
    // owns the folder's apply lock.
    bool ApplyMayStart(bool lockOwned);
    // True while a script that outlived its time-out still runs; once it has ended, its
    // leftover files are removed and applies may start again.
    bool LateScriptRunning();

    // True while a script runs: a second apply would share its files.
    bool applying_ = false;
    // A close request (Exit, or one from outside) that came during an apply, and its reason;
    // carried out when the run has ended and cleaned up.
    bool closeAfterApply_ = false;
    int closeModeAfterApply_ = tk::kUnloadCode;
    // How the last apply ended (an exit code); a run with /PROFILE= ends with it.
    int applyOutcome_ = 0;
    // The code the program ends with.
    int exitCode_ = 0;
    // A script that outlived its time-out (query access), and the extra hold on the apply lock
    // that keeps other processes from writing the script under it.
    base::unique_handle lateScript_;
    bool lockHeldForLateScript_ = false;
    // Tries left before the icon waits for the next "TaskbarCreated".
    int trayRetriesLeft_ = 0;
    std::uint32_t instanceKey_ = 0;
    // Held for the whole run by the process that stays in the tray.
    base::unique_handle residentMutex_;
    // Owned, across processes, by the one that writes and runs the script.
    base::unique_handle applyMutex_;
};

// The one main window of the program, created (not loaded) on first use.
frmMain& MainForm();
// Drops the main window so that the next MainForm() starts afresh (tests only).
void ResetMainForm();
