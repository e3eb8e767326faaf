// The tray icon's clicks as the main window receives them, the tray menu with its check marks,
// and its commands.
#include "main_window_fixture.h"

#include "about_window/frmAbout.h"
#include "toolkit/app.h"
#include "tray_icon/CSystrayIcon.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

struct MenuLine {
    std::string caption; // "-" for a separator
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
            out.push_back({"-", false, false});
            continue;
        }
        char text[256] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof(text), MF_BYPOSITION);
        out.push_back({text, (state & MF_CHECKED) != 0, (state & MF_GRAYED) != 0});
    }
    return out;
}

// A tray message as the shell sends it: the mouse message in place of the horizontal position.
void TrayMessage(frmMain& f, UINT mouseMessage) {
    SendMessageA(f.hwnd(), WM_MOUSEMOVE, 0, static_cast<LPARAM>(mouseMessage));
}

class TrayTest : public MainWindowTest {
protected:
    void StartWithProfiles() {
        InstallNetsh(dir.path());
        Start({"LAN", "WLAN"}, {MakeProfile("Office", "LAN", 1, {""}, "", "none", 1, {""}, 0),
                                MakeProfile("Home", "LAN", 1, {""}, "", "none", 1, {""}, 1),
                                MakeProfile("Cafe", "WLAN", 1, {""}, "", "none", 1, {""}, 1)});
        tk::SetPopupHandler([this](HMENU menu, HWND owner, POINT) {
            popups.push_back(ReadMenu(menu));
            EXPECT_EQ(owner, Form().hwnd());
            if (answers.empty())
                return 0u;
            UINT a = answers.front();
            answers.erase(answers.begin());
            return a;
        });
    }
    void TearDown() override {
        tk::SetPopupHandler([](HMENU, HWND, POINT) {
            ADD_FAILURE() << "unanswered popup menu";
            return 0u;
        });
        MainWindowTest::TearDown();
    }
    std::vector<std::vector<MenuLine>> popups;
    std::vector<UINT> answers;
};

TEST_F(TrayTest, DoubleClickShowsTheWindowAndTheRightButtonReleaseOpensTheMenu) {
    StartWithProfiles();
    frmMain& f = Form();
    for (UINT m : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONDBLCLK, WM_MBUTTONUP,
                   WM_MOUSEMOVE}) {
        TrayMessage(f, m);
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
                                                {"-", false, false},
                                                {"Setup", false, false},
                                                {"About", false, false},
                                                {"-", false, false},
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

TEST_F(TrayTest, TheIconComesBackWhenTheShellRestarts) {
    StartWithProfiles();
    trayMessages.clear();
    SendMessageA(Form().hwnd(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_EQ(trayMessages, std::vector<DWORD>{NIM_ADD});
    EXPECT_TRUE(Form().SysIcon->Visible());
}

} // namespace
