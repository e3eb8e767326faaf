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
    void SetUp() override {
        tk::SetAppPathForTesting(dir.path());
        tk::SetCommandLineForTesting(std::string());
        ResetEndProgramCalls();
    }
    void TearDown() override {
        ResetMainForm();
        SetVersionReportForTesting(std::nullopt);
        tk::SetAppPathForTesting(std::nullopt);
        tk::SetCommandLineForTesting(std::nullopt);
        Profiles.clear();
        InterfaceNames.clear();
        IniPath.clear();
    }
    ScratchDir dir;
    InProcessNetwork network{PciConnections({"LAN"})};
};

TEST_F(StartupInProcess, UnsupportedSystemsEndBeforeAnyFileIsTouched) {
    struct Case {
        VersionReport version;
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
        SetVersionReportForTesting(c.version);
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
    for (VersionReport v : {VersionReport{2, 5, 0}, VersionReport{2, 5, 1}, VersionReport{2, 6, 0},
                            VersionReport{2, 6, 1}, VersionReport{2, 6, 2}}) {
        SCOPED_TRACE(std::to_string(v.major) + "." + std::to_string(v.minor));
        SetVersionReportForTesting(v);
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
    SetVersionReportForTesting(VersionReport{2, 6, 1});
    std::vector<DWORD> tray;
    CSystrayIcon::SetShellNotifyForTesting([&](DWORD message, const NOTIFYICONDATAA&) {
        tray.push_back(message);
        return TRUE;
    });
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
    CSystrayIcon::SetShellNotifyForTesting(nullptr);
}

TEST_F(StartupInProcess, LogOffIsAnsweredYesAndEndsThroughTheUnload) {
    SetVersionReportForTesting(VersionReport{2, 6, 1});
    std::vector<DWORD> tray;
    CSystrayIcon::SetShellNotifyForTesting([&](DWORD message, const NOTIFYICONDATAA&) {
        tray.push_back(message);
        return TRUE;
    });
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
    CSystrayIcon::SetShellNotifyForTesting(nullptr);
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

TEST(FormFailures, TheSessionsEndIsNeverRefusedAndOtherMessagesGetTheirDefault) {
    FailingForm form;
    form.Load();
    ASSERT_TRUE(form.Loaded());
    EXPECT_EQ(SendMessageA(form.hwnd(), WM_QUERYENDSESSION, 0, 0), TRUE);
    SendMessageA(form.hwnd(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(form.unloads, 1);
    // A failing close request is handled as Windows handles it by default: the window goes.
    SendMessageA(form.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(form.Loaded());
}

// The real executable, with the version Wine reports to it.
struct VersionCase {
    const char* wineVersion;
    bool supported;
};

void PrintTo(const VersionCase& c, std::ostream* os) {
    *os << c.wineVersion;
}

class StartupReal : public testing::TestWithParam<VersionCase> {};

TEST_P(StartupReal, DecidesByTheReportedVersion) {
    MachineNetwork network(PciConnections({"Local Area Connection"}));
    WineVersionFor version("Ipshifter.exe", GetParam().wineVersion);
    RealProgram program;
    program.Start();
    if (GetParam().supported) {
        HWND main = program.WaitMainWindow();
        ASSERT_NE(main, nullptr);
        // Resident: the process keeps running with its window hidden.
        EXPECT_FALSE(WaitUntil([&] { return !IsRunning(program.Proc()); }, 1500));
        EXPECT_FALSE(IsWindowVisible(main));
        EXPECT_FALSE(program.WaitMessageBox(200));
        EXPECT_TRUE(program.EndSession()) << "log-off answered yes";
        EXPECT_EQ(program.WaitExit(), 0);
    } else {
        HWND box = program.WaitMessageBox();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(MessageBoxText(box), "OS unsupported");
        HWND main = FindProcessWindow(program.Proc().pid, "IpshifterMain", nullptr);
        EXPECT_TRUE(main == nullptr || !IsWindowVisible(main));
        RealProgram::AnswerMessageBox(box);
        EXPECT_EQ(program.WaitExit(), 0);
        EXPECT_FALSE(FileExists(program.IniPath()));
    }
}

INSTANTIATE_TEST_SUITE_P(WineVersions, StartupReal,
                         testing::Values(VersionCase{"win2k", true}, VersionCase{"winxp", true},
                                         VersionCase{"vista", true}, VersionCase{"win7", true},
                                         VersionCase{"win2003", false},
                                         VersionCase{"win98", false}),
                         [](const auto& p) { return std::string(p.param.wineVersion); });

} // namespace
