// The tray icon's clicks as the main window receives them, the tray menu with its check marks,
// and its commands.
#include "main_window_fixture.h"

#include "about_window/frmAbout.h"
#include "toolkit/app.h"
#include "base/platform.h"
#include "tray_icon/CSystrayIcon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

using namespace testsupport;

namespace {

// How ReadMenu shows a separator: no caption can be this.
const char kSeparator[] = "<separator>";

struct MenuLine {
    std::string caption; // as the menu stores it, or kSeparator
    bool checked;
    bool grayed;
    bool operator==(const MenuLine&) const = default;
};

void PrintTo(const MenuLine& m, std::ostream* os) {
    *os << "{" << m.caption << (m.checked ? ",checked" : "") << (m.grayed ? ",grey" : "") << "}";
}

std::vector<MenuLine> ReadMenu(HMENU menu) {
    std::vector<MenuLine> out;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        const UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        if (state & MF_SEPARATOR) {
            out.push_back({kSeparator, false, false});
            continue;
        }
        char text[256] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof(text), MF_BYPOSITION);
        out.push_back({text, (state & MF_CHECKED) != 0, (state & MF_GRAYED) != 0});
    }
    return out;
}

// A tray message as the shell sends it: the icon's ID, and the mouse message.
void TrayMessage(frmMain& f, UINT mouseMessage, WPARAM iconId = CSystrayIcon::kIconId) {
    SendMessageA(f.hwnd(), frmMain::kTrayCallbackMessage, iconId,
                 static_cast<LPARAM>(mouseMessage));
}

class TrayTest : public MainWindowTest {
protected:
    void StartWithProfiles() {
        InstallNetsh(dir.path());
        Start({"LAN", "WLAN"}, {MakeProfile("Office", "LAN", 1, {""}, "", "none", 1, {""}, 0),
                                MakeProfile("Home", "LAN", 1, {""}, "", "none", 1, {""}, 1),
                                MakeProfile("Cafe", "WLAN", 1, {""}, "", "none", 1, {""}, 1)});
        RecordPopups();
    }
    // Every popup menu is read, then answered from `answers` (0: closed without a choice).
    void RecordPopups() {
        popup_.emplace(&platform::Calls::TrackPopupMenu,
                       [this](HMENU menu, UINT, int, int, int, HWND owner, const RECT*) -> BOOL {
                           popups.push_back(ReadMenu(menu));
                           EXPECT_EQ(owner, Form().hwnd());
                           if (answers.empty())
                               return 0;
                           const UINT a = answers.front();
                           answers.erase(answers.begin());
                           return static_cast<BOOL>(a);
                       });
    }
    void TearDown() override {
        popup_.reset();
        MainWindowTest::TearDown();
    }
    std::vector<std::vector<MenuLine>> popups;
    std::vector<UINT> answers;

private:
    std::optional<platform::Override<decltype(platform::Calls::TrackPopupMenu)>> popup_;
};

TEST_F(TrayTest, DoubleClickShowsTheWindowAndTheRightButtonReleaseOpensTheMenu) {
    StartWithProfiles();
    frmMain& f = Form();
    for (UINT m : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONDBLCLK, WM_MBUTTONUP,
                   WM_MOUSEMOVE}) {
        TrayMessage(f, m);
        EXPECT_FALSE(f.Visible()) << m;
    }
    // Real mouse moves, wherever they are (a window 602 pixels wide at 144 dpi has these
    // positions), and reports about another icon, are no tray messages.
    for (UINT m : {WM_LBUTTONDBLCLK, WM_RBUTTONUP}) {
        for (WPARAM keys : {WPARAM{0}, WPARAM{MK_LBUTTON}})
            SendMessageA(f.hwnd(), WM_MOUSEMOVE, keys, MAKELPARAM(m, 0));
        SendMessageA(f.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(m, 10));
        TrayMessage(f, m, CSystrayIcon::kIconId + 1);
        EXPECT_FALSE(f.Visible()) << m;
    }
    EXPECT_TRUE(popups.empty());
    // A double click arrives as 513, 514, 515, 514.
    TrayMessage(f, WM_LBUTTONDOWN);
    TrayMessage(f, WM_LBUTTONUP);
    EXPECT_FALSE(f.Visible());
    TrayMessage(f, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(f.Visible());
    TrayMessage(f, WM_LBUTTONUP);
    EXPECT_TRUE(f.Visible());

    TrayMessage(f, WM_RBUTTONUP);
    ASSERT_EQ(popups.size(), 1u);
    EXPECT_EQ(popups[0], (std::vector<MenuLine>{{"LAN", false, true},
                                                {"  Office", false, false},
                                                {"  Home", true, false},
                                                {"WLAN", false, true},
                                                {"  Cafe", true, false},
                                                {kSeparator, false, false},
                                                {"Setup", false, false},
                                                {"About", false, false},
                                                {kSeparator, false, false},
                                                {"Exit", false, false}}));
    // Shown, the window's Save button took the focus when the menu opened.
    EXPECT_EQ(GetFocus(), f.cmdSave.hwnd());
}

TEST_F(TrayTest, ChoosingAProfileAppliesItAndMovesItsCheckMark) {
    StartWithProfiles();
    frmMain& f = Form();
    bool visibleDuring = false;
    answers = {frmMain::kMenuProfileBase + 2}; // element 2: "  Office"
    {
        Sampler sampler([&] { visibleDuring = visibleDuring || f.Visible(); });
        TrayMessage(f, WM_RBUTTONUP);
    }
    EXPECT_EQ(NetshCalls(dir.path()),
              (std::vector<std::string>{"interface ip set address \"LAN\" source=dhcp",
                                        "interface ip set dns \"LAN\" static none"}));
    EXPECT_TRUE(visibleDuring) << "a hidden window shows for the apply";
    EXPECT_FALSE(f.Visible()) << "and hides again after it";
    EXPECT_EQ(f.cmbProfiles.Text(), "  Office");

    TrayMessage(f, WM_RBUTTONUP);
    ASSERT_EQ(popups.size(), 2u);
    EXPECT_TRUE(popups[1][1].checked);  // Office
    EXPECT_FALSE(popups[1][2].checked); // Home
    EXPECT_TRUE(popups[1][4].checked);  // Cafe, on the other connection

    // Visible before: visible after.
    f.Show();
    answers = {frmMain::kMenuProfileBase + 5}; // "  Cafe"
    TrayMessage(f, WM_RBUTTONUP);
    EXPECT_TRUE(f.Visible());
    EXPECT_EQ(NetshCalls(dir.path()).size(), 4u);
}

TEST_F(TrayTest, ElementsWithoutAUsableTagKeepTheirCheckMark) {
    StartWithProfiles();
    frmMain& f = Form();
    f.mnuProfile[2].Tag = "x"; // Office's element, marked checked below
    f.mnuProfile[2].Checked = true;
    f.mnuProfile[3].Tag = "7"; // Home's element: no such profile
    f.mnuProfile[3].Checked = false;
    f.mnuProfile[1].Checked = true; // a heading: empty tag
    TrayMessage(f, WM_RBUTTONUP);
    ASSERT_EQ(popups.size(), 1u);
    EXPECT_TRUE(popups[0][0].checked);
    EXPECT_TRUE(popups[0][1].checked);
    EXPECT_FALSE(popups[0][2].checked);
    EXPECT_TRUE(popups[0][4].checked);

    // Without any profile the menu still opens.
    Profiles.clear();
    TrayMessage(f, WM_RBUTTONUP);
    EXPECT_EQ(popups.size(), 2u);
}

TEST_F(TrayTest, SetupShowsAboutOpensModallyAndExitRemovesTheIconAndEnds) {
    StartWithProfiles();
    frmMain& f = Form();
    answers = {frmMain::kMenuSetup};
    TrayMessage(f, WM_RBUTTONUP);
    EXPECT_TRUE(f.Visible());

    // About waits until its window closes; close it from inside its loop.
    bool aboutSeen = false;
    {
        Sampler sampler([&] {
            if (AboutForm().Visible()) {
                aboutSeen = true;
                AboutForm().cmdOK_Click();
            }
        });
        answers = {frmMain::kMenuAbout};
        TrayMessage(f, WM_RBUTTONUP);
    }
    EXPECT_TRUE(aboutSeen);
    EXPECT_FALSE(AboutForm().Loaded());

    trayMessages.clear();
    answers = {frmMain::kMenuExit};
    TrayMessage(f, WM_RBUTTONUP);
    EXPECT_EQ(trayMessages, std::vector<DWORD>{NIM_DELETE});
    EXPECT_EQ(EndProgramCalls(), 1);
    EXPECT_FALSE(f.Loaded());
}

TEST_F(TrayTest, NamesShowAsTypedAndAConnectionNamedDashIsAHeading) {
    Start({"-", "R&D Lab"}, {MakeProfile("Home & Office", "-"), MakeProfile("R&D", "R&D Lab"),
                             MakeProfile("&", "R&D Lab")});
    RecordPopups();
    TrayMessage(Form(), WM_RBUTTONUP);
    ASSERT_EQ(popups.size(), 1u);
    // A doubled "&" is how a menu shows one ampersand.
    EXPECT_EQ(popups[0], (std::vector<MenuLine>{{"-", false, true},
                                                {"  Home && Office", false, false},
                                                {"R&&D Lab", false, true},
                                                {"  R&&D", false, false},
                                                {"  &&", false, false},
                                                {kSeparator, false, false},
                                                {"Setup", false, false},
                                                {"About", false, false},
                                                {kSeparator, false, false},
                                                {"Exit", false, false}}));
    // The list shows the names as they are.
    EXPECT_EQ(ListTexts(),
              (std::vector<std::string>{"-", "  Home & Office", "R&D Lab", "  R&D", "  &"}));
}

TEST_F(TrayTest, TheShellsMessagesAreLetThroughToTheElevatedWindow) {
    struct Call {
        std::string function;
        HWND hwnd;
        UINT message;
        DWORD action;
    };
    static std::vector<Call> calls;
    struct Fakes {
        static BOOL WINAPI FilterEx(HWND hwnd, UINT message, DWORD action, void*) {
            calls.push_back({"Ex", hwnd, message, action});
            return TRUE;
        }
        static BOOL WINAPI Filter(UINT message, DWORD action) {
            calls.push_back({"Vista", nullptr, message, action});
            return TRUE;
        }
    };
    const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    // Which of the two functions the platform has.
    struct Platform {
        const char* name;
        bool ex;
        bool vista;
    };
    const Platform platforms[] = {
        {"Windows 7 and later", true, true},
        {"Vista", false, true},
        {"2000 and XP", false, false},
    };
    for (const auto& os : platforms) {
        SCOPED_TRACE(os.name);
        calls.clear();
        trayMessages.clear();
        platform::Override<platform::Calls::FilterExFn> filterEx(
            &platform::Calls::ChangeWindowMessageFilterEx, os.ex ? &Fakes::FilterEx : nullptr);
        platform::Override<platform::Calls::FilterFn> filter(
            &platform::Calls::ChangeWindowMessageFilter, os.vista ? &Fakes::Filter : nullptr);
        Start({"LAN"}, {MakeProfile("Home", "LAN")});
        const HWND main = Form().hwnd();
        if (!os.vista) {
            EXPECT_TRUE(calls.empty());
        } else {
            const std::string kind = os.ex ? "Ex" : "Vista";
            const HWND target = kind == "Ex" ? main : nullptr;
            ASSERT_EQ(calls.size(), 2u);
            for (const Call& c : calls) {
                EXPECT_EQ(c.function, kind);
                EXPECT_EQ(c.hwnd, target);
                EXPECT_EQ(c.action, 1u) << "MSGFLT_ALLOW / MSGFLT_ADD";
            }
            EXPECT_EQ(calls[0].message, taskbarCreated);
            EXPECT_EQ(calls[1].message, frmMain::kTrayCallbackMessage);
        }
        // Start-up went on either way: the icon is up and the window waits in the tray.
        EXPECT_EQ(trayMessages, std::vector<DWORD>{NIM_ADD});
        EXPECT_TRUE(Form().Loaded());
        EXPECT_FALSE(Form().Visible());
        TearDown();
    }
}

TEST_F(TrayTest, TheIconComesBackWhenTheShellRestarts) {
    StartWithProfiles();
    trayMessages.clear();
    SendMessageA(Form().hwnd(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_EQ(trayMessages, std::vector<DWORD>{NIM_ADD});
    EXPECT_TRUE(Form().SysIcon->Visible());
    EXPECT_EQ(Form().tmrTrayIcon.Interval(), 0);
}

// How the stand-in shell treats the icon's requests: it takes them, refuses them all (not there
// yet, too busy), or refuses the add because it holds the icon already (from an add it reported
// as failed, or through a "TaskbarCreated" without a restart), so that a change succeeds.
enum class Shell { Takes, Refuses, HasIt };

class TrayIconAtLogon : public TrayTest {
protected:
    Shell shell = Shell::Takes;

    void StartWithShell(Shell atStart) {
        shell = atStart;
        trayAnswer = [this](DWORD message) -> BOOL {
            if (shell == Shell::Takes || (shell == Shell::HasIt && message != NIM_ADD))
                return TRUE;
            SetLastError(ERROR_TIMEOUT);
            return FALSE;
        };
        StartWithProfiles();
    }
    bool Retrying() { return Form().tmrTrayIcon.Interval() > 0 && Form().tmrTrayIcon.Enabled(); }
    void Tick() { Form().tmrTrayIcon.Tick(); }
    void ShellRestarts() {
        SendMessageA(Form().hwnd(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    }
};

TEST_F(TrayIconAtLogon, ARefusedIconIsTriedOnATimerAndOnEveryShellStartUntilTheShellHasIt) {
    enum class Event { Start, Tick, ShellRestarts };
    struct Step {
        const char* what;
        Event event;
        Shell shell;
        std::vector<DWORD> requests;
        bool shown;
        bool retrying;
    };
    const Step steps[] = {
        {"the shell is not there at start-up",
         Event::Start,
         Shell::Refuses,
         {NIM_ADD},
         false,
         true},
        {"still not there", Event::Tick, Shell::Refuses, {NIM_ADD, NIM_MODIFY}, false, true},
        {"there at last", Event::Tick, Shell::Takes, {NIM_ADD}, true, false},
        {"a restarted shell refuses the shown icon",
         Event::ShellRestarts,
         Shell::Refuses,
         {NIM_ADD, NIM_MODIFY},
         false,
         true},
        {"the shell starts again, ready",
         Event::ShellRestarts,
         Shell::Takes,
         {NIM_ADD},
         true,
         false},
        {"no restart at all: the shell still has the icon",
         Event::ShellRestarts,
         Shell::HasIt,
         {NIM_ADD, NIM_MODIFY},
         true,
         false},
        {"a restarted shell is busy",
         Event::ShellRestarts,
         Shell::Refuses,
         {NIM_ADD, NIM_MODIFY},
         false,
         true},
        {"it holds the icon from an add it reported as failed",
         Event::Tick,
         Shell::HasIt,
         {NIM_ADD, NIM_MODIFY},
         true,
         false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        trayMessages.clear();
        shell = step.shell;
        switch (step.event) {
        case Event::Start:
            StartWithShell(step.shell);
            break;
        case Event::Tick:
            ASSERT_TRUE(Retrying());
            Tick();
            break;
        case Event::ShellRestarts:
            ShellRestarts();
            break;
        }
        EXPECT_EQ(trayMessages, step.requests);
        EXPECT_EQ(Form().SysIcon->Visible(), step.shown);
        EXPECT_EQ(Retrying(), step.retrying);
    }

    // The icon the shell has is removed at the end, once.
    trayMessages.clear();
    shell = Shell::Takes;
    answers = {frmMain::kMenuExit};
    TrayMessage(Form(), WM_RBUTTONUP);
    EXPECT_EQ(trayMessages, std::vector<DWORD>{NIM_DELETE});
}

TEST_F(TrayIconAtLogon, TheTimerTriesEveryFewSecondsForAFewMinutesThenWaitsForTheShell) {
    StartWithShell(Shell::Refuses);
    const int interval = Form().tmrTrayIcon.Interval();
    EXPECT_GE(interval, 1000);
    EXPECT_LE(interval, 10000);
    int ticks = 0;
    while (Retrying() && ticks < 1000) {
        Tick();
        ++ticks;
    }
    const int triedForMs = ticks * interval;
    EXPECT_GE(triedForMs, 60 * 1000);
    EXPECT_LE(triedForMs, 10 * 60 * 1000);
    EXPECT_EQ(std::count(trayMessages.begin(), trayMessages.end(), DWORD{NIM_ADD}), 1 + ticks);
    EXPECT_FALSE(Form().SysIcon->Visible());

    // Each start of the shell tries again, and starts the timer afresh while refused.
    trayMessages.clear();
    ShellRestarts();
    EXPECT_EQ(trayMessages, (std::vector<DWORD>{NIM_ADD, NIM_MODIFY}));
    ASSERT_TRUE(Retrying());
    for (int i = 1; i < ticks; ++i)
        Tick();
    EXPECT_TRUE(Retrying()) << "the whole schedule again, not what was left of it";
    shell = Shell::Takes;
    ShellRestarts();
    EXPECT_TRUE(Form().SysIcon->Visible());
    EXPECT_FALSE(Retrying());
}

} // namespace
