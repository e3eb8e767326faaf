// Start-up and shut-down: the operating-system decision, the unload codes and the real
// executable's life under Wine.
#include "fixtures.h"
#include "support.h"

#include "functions/os.h"
#include "globals/mdlGVars.h"
#include "main_window/frmMain.h"
#include "toolkit/app.h"
#include "tray_icon/CSystrayIcon.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace testsupport;

namespace {

// frmMain loaded in this process with a scratch program folder and a chosen version report.
class StartupInProcess : public testing::Test {
protected:
    void SetUp() override { ResetEndProgramCalls(); }
    void TearDown() override {
        ResetMainForm();
        Profiles.clear();
        InterfaceNames.clear();
        IniPath.clear();
    }
    ScratchDir dir;
    ProgramStartedIn started{dir.path(), ""};
    InProcessNetwork network{PciConnections({"LAN"})};
};

struct Version {
    DWORD platformId, major, minor;
};

TEST_F(StartupInProcess, UnsupportedSystemsEndBeforeAnyFileIsTouched) {
    struct Case {
        Version version;
        std::vector<std::string> prompts;
    };
    const Case cases[] = {
        {{2, 10, 0}, {"Unknown OS detected: 2-10-0", "OS unsupported"}},
        {{2, 5, 2}, {"OS unsupported"}},
        {{1, 4, 10}, {"OS unsupported"}},
        {{2, 4, 0}, {"OS unsupported"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.prompts.front());
        const VersionReported reported(c.version.platformId, c.version.major, c.version.minor);
        ResetEndProgramCalls();
        DialogRecorder dialogs;
        MainForm().Load();
        EXPECT_EQ(dialogs.Prompts(), c.prompts);
        for (const auto& m : dialogs.messages) {
            EXPECT_EQ(m.icon, tk::MsgIcon::None);
            EXPECT_EQ(m.buttons, tk::MsgButtons::Ok);
        }
        EXPECT_EQ(EndProgramCalls(), 1);
        EXPECT_FALSE(FileExists(dir.File("Ipshifter.ini")));
        EXPECT_FALSE(MainForm().Visible());
        EXPECT_EQ(MainForm().cmbINTERFACE.ListCount(), 0) << "no step after the decision runs";
        ResetMainForm();
    }
}

TEST_F(StartupInProcess, SupportedSystemsStayResidentWithTheWindowHidden) {
    for (Version v : {Version{2, 5, 0}, Version{2, 5, 1}, Version{2, 6, 0}, Version{2, 6, 1},
                      Version{2, 6, 2}}) {
        SCOPED_TRACE(std::to_string(v.major) + "." + std::to_string(v.minor));
        const VersionReported reported(v.platformId, v.major, v.minor);
        ResetEndProgramCalls();
        MainForm().Load();
        EXPECT_TRUE(MainForm().Loaded());
        EXPECT_FALSE(MainForm().Visible());
        EXPECT_EQ(EndProgramCalls(), 0);
        EXPECT_EQ(IniPath, dir.path() + "\\Ipshifter.ini");
        char cwd[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, cwd);
        EXPECT_EQ(lstrcmpiA(cwd, dir.path().c_str()), 0) << cwd;
        ResetMainForm();
    }
}

TEST_F(StartupInProcess, TheUsersCloseHidesEveryOtherCloseRequestEnds) {
    const VersionReported reported(2, 6, 1);
    TrayRecorder recorder;
    const std::vector<DWORD>& tray = recorder.messages;
    // The user's own close: the title bar's close box and the system menu send SC_CLOSE, and
    // so does Alt+F4 through the window's default handling.
    struct UserClose {
        const char* name;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    const UserClose userCloses[] = {
        {"close box", WM_SYSCOMMAND, SC_CLOSE, 0},
        {"Alt+F4", WM_SYSKEYDOWN, VK_F4, LPARAM{1} << 29},
    };
    frmMain& form = MainForm();
    form.Load();
    for (const auto& c : userCloses) {
        SCOPED_TRACE(c.name);
        form.Show();
        ASSERT_TRUE(form.Visible());
        SendMessageA(form.hwnd(), c.message, c.wParam, c.lParam);
        tk::DoEvents(); // the default handling may post what follows
        EXPECT_TRUE(form.Loaded());
        EXPECT_FALSE(form.Visible());
        EXPECT_EQ(EndProgramCalls(), 0);
    }
    EXPECT_EQ(tray, std::vector<DWORD>{NIM_ADD});

    // A bare close request comes from outside (Task Manager, taskkill, an installer): the
    // program ends through its unload, which removes the icon.
    SendMessageA(form.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(tray, (std::vector<DWORD>{NIM_ADD, NIM_DELETE}));
    EXPECT_EQ(EndProgramCalls(), 1);
    EXPECT_FALSE(form.Loaded());
}

TEST_F(StartupInProcess, LogOffIsAnsweredYesAndEndsThroughTheUnload) {
    const VersionReported reported(2, 6, 1);
    TrayRecorder recorder;
    const std::vector<DWORD>& tray = recorder.messages;
    frmMain& form = MainForm();
    form.Load();
    // Restart Manager (installers) asks with ENDSESSION_CLOSEAPP, a log-off with 0.
    EXPECT_EQ(SendMessageA(form.hwnd(), WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP), TRUE);
    EXPECT_EQ(SendMessageA(form.hwnd(), WM_QUERYENDSESSION, 0, 0), TRUE);
    EXPECT_EQ(EndProgramCalls(), 0) << "nothing ends before the session does";
    // Another program refused: the session goes on, and so does Ipshifter.
    SendMessageA(form.hwnd(), WM_ENDSESSION, FALSE, 0);
    EXPECT_TRUE(form.Loaded());
    SendMessageA(form.hwnd(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(tray, (std::vector<DWORD>{NIM_ADD, NIM_DELETE}));
    EXPECT_EQ(EndProgramCalls(), 1);
}

// A form whose close handlers fail.
class FailingForm : public tk::Form {
public:
    FailingForm() : tk::Form("IpshifterTestFailing", "Failing", 1500, 1500, 0) {}
    int unloads = 0;

protected:
    void CreateControls() override {}
    void Form_QueryUnload(int&, int) override { throw std::runtime_error("query"); }
    void Form_Unload(int&) override {
        ++unloads;
        throw std::runtime_error("unload");
    }
};

TEST(FormFailures, TheSessionsEndIsNeverRefusedAndAFailingCloseLeavesTheWindow) {
    FailingForm form;
    form.Load();
    ASSERT_TRUE(form.Loaded());
    EXPECT_EQ(SendMessageA(form.hwnd(), WM_QUERYENDSESSION, 0, 0), TRUE);
    SendMessageA(form.hwnd(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(form.unloads, 1);
    // A close request whose handlers fail leaves the window as it was: destroyed, it would leave
    // a program running that nothing can reach.
    SendMessageA(form.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(form.Loaded());
}

} // namespace
