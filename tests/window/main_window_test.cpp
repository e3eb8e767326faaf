// The main window: its layout, the profile list with the tray menu elements, and the display of
// the chosen profile.
#include "main_window_fixture.h"

#include "functions/profile_list.h"
#include "toolkit/app.h"

#include <gtest/gtest.h>

#include <functional>

using namespace testsupport;

namespace {

struct Placed {
    const char* name;
    tk::Control* control;
    // Left and top relative to the window's client area, width and height, in twips.
    int left, top, width, height;
};

TEST_F(MainWindowTest, ControlsStandWhereTheLayoutPutsThemAtTheScreensDpi) {
    Start({"LAN"}, {MakeProfile("Home", "LAN")});
    frmMain& f = Form();
    RECT client;
    GetClientRect(f.hwnd(), &client);
    EXPECT_EQ(client.right, tk::TwipsToPixels(6015));
    EXPECT_EQ(client.bottom, tk::TwipsToPixels(4530));
    char caption[64] = {};
    GetWindowTextA(f.hwnd(), caption, sizeof(caption));
    EXPECT_STREQ(caption, "Ipshifter");

    // Frames at 75,150 and 75,1350; frameIP at 225,2025 and frameDNS at 3075,2025 on the window.
    const Placed placed[] = {
        {"frameProfiles", &f.frameProfiles, 75, 150, 5865, 1140},
        {"Label1", &f.Label1, 525, 525, 450, 195},
        {"cmbProfiles", &f.cmbProfiles, 1125, 450, 3690, -1},
        {"cmdSetProfile", &f.cmdSetProfile, 5025, 450, 765, 315},
        {"cmdNewProfile", &f.cmdNewProfile, 1125, 825, 765, 315},
        {"cmdEditProfile", &f.cmdEditProfile, 1950, 825, 765, 315},
        {"cmdDelProfile", &f.cmdDelProfile, 2775, 825, 765, 315},
        {"cmdAbout", &f.cmdAbout, 4050, 825, 765, 315},
        {"frameInterface", &f.frameInterface, 75, 1350, 5865, 3090},
        {"Label2", &f.Label2, 660, 1650, 405, 195},
        {"cmbINTERFACE", &f.cmbINTERFACE, 1125, 1575, 4665, -1},
        {"chkDHCP", &f.chkDHCP, 2100, 1950, 765, 315},
        {"frameIP", &f.frameIP, 225, 2025, 2715, 2265},
        {"Label3", &f.Label3, 825, 2325, 150, 195},
        {"txtIP", &f.txtIP, 1125, 2325, 1665, 735},
        {"Label4", &f.Label4, 465, 3150, 510, 195},
        {"txtSUBNET", &f.txtSUBNET, 1125, 3075, 1665, 285},
        {"Label5", &f.Label5, 330, 3450, 645, 195},
        {"txtGATEWAY", &f.txtGATEWAY, 1125, 3375, 1665, 285},
        {"Label9", &f.Label9, 540, 3900, 435, 195},
        {"txtMETRIC", &f.txtMETRIC, 1125, 3825, 1665, 285},
        {"frameDNS", &f.frameDNS, 3075, 2025, 2715, 1740},
        {"Label6", &f.Label6, 3525, 2325, 300, 195},
        {"txtDNS", &f.txtDNS, 3975, 2325, 1665, 1260},
        {"cmdReadCurrent", &f.cmdReadCurrent, 3825, 3975, 1065, 315},
        {"cmdSave", &f.cmdSave, 4950, 3975, 840, 315},
        {"frmWAIT", &f.frmWAIT, 1650, 1350, 2940, 1665},
        {"lblWAIT", &f.lblWAIT, 1800, 1875, 2640, 240},
        {"lblProgress", &f.lblProgress, 1800, 2100, 2640, 240},
    };
    for (const auto& p : placed) {
        SCOPED_TRACE(p.name);
        RECT r;
        GetWindowRect(p.control->hwnd(), &r);
        MapWindowPoints(nullptr, f.hwnd(), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_NEAR(r.top, tk::TwipsToPixels(p.top), 1);
        if (std::string(p.name).rfind("Label", 0) == 0) {
            // Right-aligned names keep their right edge and grow left to show their text.
            EXPECT_NEAR(r.right, tk::TwipsToPixels(p.left + p.width), 1);
            EXPECT_LE(r.left, tk::TwipsToPixels(p.left) + 1);
            HDC dc = GetDC(p.control->hwnd());
            SelectObject(dc, f.Font(tk::FontKind::Normal));
            const std::string text = static_cast<tk::Label*>(p.control)->Caption();
            SIZE extent{};
            GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
            ReleaseDC(p.control->hwnd(), dc);
            EXPECT_GE(r.right - r.left, extent.cx) << "the whole name shows";
        } else {
            EXPECT_NEAR(r.left, tk::TwipsToPixels(p.left), 1);
            EXPECT_NEAR(r.right - r.left, tk::TwipsToPixels(p.width), 1);
        }
        if (p.height > 0) {
            EXPECT_NEAR(r.bottom - r.top, tk::TwipsToPixels(p.height), 1);
        }
    }
}

TEST_F(MainWindowTest, FontsCaptionsAndTheWaitPanel) {
    Start({"LAN"}, {MakeProfile("Home", "LAN")});
    frmMain& f = Form();
    auto fontOf = [](const tk::Control& c) {
        LOGFONTA lf{};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(c.hwnd(), WM_GETFONT, 0, 0)), sizeof(lf),
                   &lf);
        return lf;
    };
    // The inner frames lie above the one that holds them, or it would hide them.
    auto zIndex = [&f](const tk::Control& c) {
        const HWND target = c.hwnd();
        int i = 0;
        for (HWND h = GetWindow(f.hwnd(), GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT), ++i)
            if (h == target)
                return i;
        return -1;
    };
    EXPECT_LT(zIndex(f.frameIP), zIndex(f.frameInterface));
    EXPECT_LT(zIndex(f.frameDNS), zIndex(f.frameInterface));
    EXPECT_LT(zIndex(f.txtIP), zIndex(f.frameIP));

    const LOGFONTA normal = fontOf(f.txtIP);
    EXPECT_STREQ(normal.lfFaceName, "Tahoma");
    EXPECT_EQ(normal.lfHeight, -MulDiv(825, tk::ScreenDpi(), 7200));
    EXPECT_GE(fontOf(f.frameProfiles).lfWeight, FW_BOLD);
    EXPECT_GE(fontOf(f.frameInterface).lfWeight, FW_BOLD);
    EXPECT_TRUE(fontOf(f.frameIP).lfItalic);
    EXPECT_TRUE(fontOf(f.frameDNS).lfItalic);
    EXPECT_FALSE(fontOf(f.frameIP).lfWeight >= FW_BOLD);

    EXPECT_EQ(f.lblWAIT.Caption(), "Please wait...");
    EXPECT_EQ(f.lblProgress.Caption(), "");
    EXPECT_FALSE(IsWindowVisible(f.frmWAIT.hwnd()));
    // Shown, the panel lies above every other control.
    f.Show();
    f.frmWAIT.SetVisible(true);
    EXPECT_TRUE(IsWindowVisible(f.frmWAIT.hwnd()));
    EXPECT_EQ(GetWindow(f.hwnd(), GW_CHILD), f.frmWAIT.hwnd());
    POINT centre{tk::TwipsToPixels(1650 + 1470), tk::TwipsToPixels(1350 + 300)};
    EXPECT_EQ(ChildWindowFromPointEx(f.hwnd(), centre, CWP_SKIPINVISIBLE), f.frmWAIT.hwnd());
    f.frmWAIT.SetVisible(false);
    EXPECT_NE(ChildWindowFromPointEx(f.hwnd(), centre, CWP_SKIPINVISIBLE), f.frmWAIT.hwnd());
}

TEST_F(MainWindowTest, TabOrderAndEnterInTheListBoxes) {
    Start({"LAN"}, {MakeProfile("Home", "LAN", 0, {"192.0.2.10"}, "255.255.255.0")});
    frmMain& f = Form();
    f.Show();
    const tk::Control* order[] = {
        &f.cmbProfiles,    &f.cmdSetProfile, &f.cmdNewProfile, &f.cmdEditProfile,
        &f.cmdDelProfile,  &f.cmbINTERFACE,  &f.chkDHCP,       &f.txtIP,
        &f.txtSUBNET,      &f.txtGATEWAY,    &f.txtMETRIC,     &f.txtDNS,
        &f.cmdReadCurrent, &f.cmdSave,       &f.cmdAbout,      &f.cmbProfiles};
    for (size_t i = 0; i + 1 < std::size(order); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(GetNextDlgTabItem(f.hwnd(), order[i]->hwnd(), FALSE), order[i + 1]->hwnd());
    }

    // Enter, as the keyboard delivers it, starts a new line in the two list boxes only.
    auto typeEnter = [](const tk::TextBox& box) {
        SetFocus(box.hwnd());
        SendMessageA(box.hwnd(), EM_SETSEL, box.Text().size(), box.Text().size());
        // The message loop translates the key into its character, as for real typing.
        PostMessageA(box.hwnd(), WM_KEYDOWN, VK_RETURN, 0x001C0001);
        PostMessageA(box.hwnd(), WM_KEYUP, VK_RETURN, 0xC01C0001);
        tk::DoEvents();
    };
    typeEnter(f.txtIP);
    EXPECT_EQ(f.txtIP.Text(), "192.0.2.10\r\n");
    f.txtDNS.SetText("192.0.2.53");
    typeEnter(f.txtDNS);
    EXPECT_EQ(f.txtDNS.Text(), "192.0.2.53\r\n");
    typeEnter(f.txtSUBNET);
    EXPECT_EQ(f.txtSUBNET.Text(), "255.255.255.0");
}

TEST_F(MainWindowTest, ProfilesAreGroupedUnderTheirConnectionsInListAndMenu) {
    Start({"X", "Y"}, {MakeProfile("A", "X"), MakeProfile("B", "Y"), MakeProfile("C", "X"),
                       MakeProfile("Gone", "Z")});
    frmMain& f = Form();
    EXPECT_EQ(ListTexts(), (std::vector<std::string>{"X", "  A", "  C", "Y", "  B"}));
    std::vector<int> data;
    for (int i = 0; i < f.cmbProfiles.ListCount(); ++i)
        data.push_back(f.cmbProfiles.ItemData(i));
    EXPECT_EQ(data, (std::vector<int>{-1, 0, 2, -1, 1}));

    ASSERT_EQ(f.mnuProfile.UBound(), 5);
    EXPECT_EQ(f.mnuProfile[0].Caption, "*");
    EXPECT_FALSE(f.mnuProfile[0].Visible);
    const struct {
        const char* caption;
        bool enabled;
        const char* tag;
    } menu[] = {{"X", false, ""},
                {"  A", true, "0"},
                {"  C", true, "2"},
                {"Y", false, ""},
                {"  B", true, "1"}};
    for (int k = 1; k <= 5; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(f.mnuProfile[k].Caption, menu[k - 1].caption);
        EXPECT_EQ(f.mnuProfile[k].Caption, f.cmbProfiles.List(k - 1)) << "element k is entry k-1";
        EXPECT_TRUE(f.mnuProfile[k].Visible);
        EXPECT_EQ(f.mnuProfile[k].Enabled, menu[k - 1].enabled);
        EXPECT_EQ(f.mnuProfile[k].Tag, menu[k - 1].tag);
    }
    // The profile of the absent connection stays in the table.
    EXPECT_EQ(Profiles.size(), 4u);

    // Start-up chose the first profile under the first heading.
    EXPECT_EQ(f.cmbProfiles.ListIndex(), 1);

    // A rebuild leaves no element behind and selects only an exact match.
    RefreshProfileList("X", "A");
    EXPECT_EQ(f.mnuProfile.UBound(), 5);
    EXPECT_EQ(f.cmbProfiles.Text(), "  A");
    RefreshProfileList("Y", "A");
    EXPECT_EQ(f.cmbProfiles.ListIndex(), -1);
    RefreshProfileList("X", "");
    EXPECT_EQ(f.cmbProfiles.ListIndex(), -1);
    RefreshProfileList("X", "C");
    EXPECT_EQ(f.cmbProfiles.Text(), "  C");
}

TEST_F(MainWindowTest, ChoosingAnEntryShowsItsProfileOrEmptiesTheFields) {
    Start({"LAN", "WLAN"},
          {MakeProfile("Home", "WLAN", 0, {"192.0.2.10", "192.0.2.11"}, "255.255.255.0",
                       "192.0.2.1", 25, {"192.0.2.53", "192.0.2.54"}),
           MakeProfile("Dhcp", "LAN", 1, {""}, "", "none", 1, {""})});
    frmMain& f = Form();
    Choose("  Home");
    EXPECT_EQ(f.cmbINTERFACE.Text(), "WLAN");
    EXPECT_EQ(f.chkDHCP.Value(), 0);
    EXPECT_EQ(f.txtIP.Text(), "192.0.2.10\r\n192.0.2.11");
    EXPECT_EQ(f.txtSUBNET.Text(), "255.255.255.0");
    EXPECT_EQ(f.txtGATEWAY.Text(), "192.0.2.1");
    EXPECT_EQ(f.txtMETRIC.Text(), "25");
    EXPECT_EQ(f.txtDNS.Text(), "192.0.2.53\r\n192.0.2.54");
    for (const tk::Control* c :
         {static_cast<const tk::Control*>(&f.cmdSetProfile),
          static_cast<const tk::Control*>(&f.cmdNewProfile),
          static_cast<const tk::Control*>(&f.cmdEditProfile),
          static_cast<const tk::Control*>(&f.cmdDelProfile),
          static_cast<const tk::Control*>(&f.cmdSave), static_cast<const tk::Control*>(&f.txtIP)})
        EXPECT_TRUE(IsWindowEnabled(c->hwnd()));

    Choose("  Dhcp");
    EXPECT_EQ(f.cmbINTERFACE.Text(), "LAN");
    EXPECT_EQ(f.chkDHCP.Value(), 1);
    EXPECT_EQ(f.txtIP.Text(), "");
    EXPECT_EQ(f.txtGATEWAY.Text(), "none");
    EXPECT_EQ(f.txtDNS.Text(), "");

    // A heading: no profile chosen, the commands and the whole interface group off.
    Choose("WLAN");
    for (const tk::Control* c :
         {static_cast<const tk::Control*>(&f.cmdSetProfile),
          static_cast<const tk::Control*>(&f.cmdNewProfile),
          static_cast<const tk::Control*>(&f.cmdEditProfile),
          static_cast<const tk::Control*>(&f.cmdDelProfile),
          static_cast<const tk::Control*>(&f.cmdSave), static_cast<const tk::Control*>(&f.txtDNS),
          static_cast<const tk::Control*>(&f.cmbINTERFACE),
          static_cast<const tk::Control*>(&f.chkDHCP)})
        EXPECT_FALSE(IsWindowEnabled(c->hwnd()));
    EXPECT_TRUE(IsWindowEnabled(f.cmdAbout.hwnd()));
    EXPECT_EQ(f.cmbINTERFACE.ListIndex(), 0);
    for (const tk::TextBox* t : {&f.txtIP, &f.txtSUBNET, &f.txtGATEWAY, &f.txtMETRIC, &f.txtDNS})
        EXPECT_EQ(t->Text(), "");
    EXPECT_EQ(f.chkDHCP.Value(), 1) << "the check box keeps its state";
}

TEST_F(MainWindowTest, DhcpGreysTheAddressGroupButNotTheDnsServers) {
    Start({"LAN"}, {MakeProfile("Static", "LAN", 0, {"192.0.2.10"}, "255.255.255.0")});
    frmMain& f = Form();
    const tk::Control* addressGroup[] = {&f.frameIP, &f.txtIP, &f.txtSUBNET, &f.txtGATEWAY,
                                         &f.txtMETRIC};
    for (const auto* c : addressGroup)
        EXPECT_TRUE(IsWindowEnabled(c->hwnd()));
    f.chkDHCP.SetValue(1);
    for (const auto* c : addressGroup)
        EXPECT_FALSE(IsWindowEnabled(c->hwnd()));
    EXPECT_TRUE(IsWindowEnabled(f.txtDNS.hwnd()));
    EXPECT_TRUE(IsWindowEnabled(f.frameDNS.hwnd()));

    // Re-enabling the interface group (choosing a profile) keeps the address group grey.
    f.frameInterface.SetEnabled(false);
    f.frameInterface.SetEnabled(true);
    EXPECT_FALSE(IsWindowEnabled(f.txtIP.hwnd()));

    // The user's click works the same way.
    SendMessageA(f.chkDHCP.hwnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(f.chkDHCP.Value(), 0);
    for (const auto* c : addressGroup)
        EXPECT_TRUE(IsWindowEnabled(c->hwnd()));
}

TEST_F(MainWindowTest, ReadCurrentFillsTheFieldsFromTheConnectionAndSavesNothing) {
    Start({"LAN", "WLAN"}, {MakeProfile("Home", "LAN"), MakeProfile("Cafe", "WLAN")});
    frmMain& f = Form();
    f.Show();
    StoredTcpip office;
    office.enableDhcp = 0;
    office.ipAddress = {"192.0.2.10", "192.0.2.11"};
    office.subnetMask = {"255.255.255.0", "255.255.255.0"};
    office.defaultGateway = {"192.0.2.1"};
    office.defaultGatewayMetric = {"25"};
    office.nameServer = "192.0.2.53,192.0.2.54";
    WriteTcpip(network->Root(), InterfaceKeys[0], office);
    StoredTcpip leased;
    leased.dhcpIpAddress = "10.0.0.57";
    leased.dhcpSubnetMask = "255.255.255.0";
    leased.dhcpDefaultGateway = {"10.0.0.1"};
    leased.dhcpNameServer = "10.0.0.1";
    WriteTcpip(network->Root(), InterfaceKeys[1], leased);
    const std::string file = Ini();
    const auto table = Profiles;
    auto fields = [&f] {
        return std::vector<std::string>{std::to_string(f.chkDHCP.Value()),
                                        f.txtIP.Text(),
                                        f.txtSUBNET.Text(),
                                        f.txtGATEWAY.Text(),
                                        f.txtMETRIC.Text(),
                                        f.txtDNS.Text()};
    };
    auto click = [](const tk::Button& b) { SendMessageA(b.hwnd(), BM_CLICK, 0, 0); };

    Choose("  Home");
    ASSERT_TRUE(IsWindowEnabled(f.cmdReadCurrent.hwnd()));
    click(f.cmdReadCurrent);
    EXPECT_EQ(fields(), (std::vector<std::string>{"0", "192.0.2.10\r\n192.0.2.11", "255.255.255.0",
                                                  "192.0.2.1", "25", "192.0.2.53\r\n192.0.2.54"}));
    EXPECT_TRUE(IsWindowEnabled(f.txtIP.hwnd()));

    // The lease of a DHCP connection, in the greyed fields; the metric stays as it was.
    f.cmbINTERFACE.SetListIndex(1);
    click(f.cmdReadCurrent);
    EXPECT_EQ(fields(),
              (std::vector<std::string>{"1", "10.0.0.57", "255.255.255.0", "10.0.0.1", "25", ""}));
    EXPECT_FALSE(IsWindowEnabled(f.txtIP.hwnd()));
    EXPECT_EQ(Ini(), file);
    EXPECT_EQ(Profiles, table);

    // Choosing a profile drops what was read.
    Choose("  Home");
    EXPECT_EQ(fields(), (std::vector<std::string>{"1", "", "", "none", "1", ""}));

    // A connection without TCP/IP settings: told, and the fields stay.
    DeleteKeyTree(network->Root(), TcpipPath(InterfaceKeys[1]));
    f.cmbINTERFACE.SetListIndex(1);
    {
        DialogRecorder dialogs;
        click(f.cmdReadCurrent);
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].icon, tk::MsgIcon::Exclamation);
        EXPECT_NE(dialogs.messages[0].prompt.find("\"WLAN\""), std::string::npos)
            << dialogs.messages[0].prompt;
    }
    EXPECT_EQ(fields(), (std::vector<std::string>{"1", "", "", "none", "1", ""}));

    // Save stores what was read, as any edit.
    f.cmbINTERFACE.SetListIndex(0);
    click(f.cmdReadCurrent);
    click(f.cmdSave);
    EXPECT_EQ(Profiles[0],
              MakeProfile("Home", "LAN", 0, {"192.0.2.10", "192.0.2.11"}, "255.255.255.0",
                          "192.0.2.1", 25, {"192.0.2.53", "192.0.2.54"}));

    // With the rest of the Interface group, it waits for a chosen profile.
    Choose("LAN");
    EXPECT_FALSE(IsWindowEnabled(f.cmdReadCurrent.hwnd()));
}

TEST_F(MainWindowTest, SubnetAndMetricFillInTheirDefaultsWhenEnteredEmpty) {
    Start({"LAN"}, {MakeProfile("Static", "LAN", 0, {"192.0.2.10"}, "")});
    frmMain& f = Form();
    f.Show();
    f.txtMETRIC.SetText("");
    struct Case {
        tk::TextBox* box;
        const char* before;
        const char* after;
    } cases[] = {{&f.txtSUBNET, "", "255.255.255.0"}, {&f.txtSUBNET, "255.0.0.0", "255.0.0.0"},
                 {&f.txtSUBNET, "  ", "  "},          {&f.txtMETRIC, "", "1"},
                 {&f.txtMETRIC, "30", "30"},          {&f.txtMETRIC, " ", " "}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before);
        f.cmdSave.SetFocus();
        c.box->SetText(c.before);
        ASSERT_TRUE(c.box->SetFocus());
        EXPECT_EQ(c.box->Text(), c.after);
    }
}

} // namespace

namespace {

TEST_F(MainWindowTest, ControlWindowsWaitForTheFirstShowingAndTakeTheStateSetBefore) {
    Start({"LAN", "WLAN"},
          {MakeProfile("Home", "LAN", 0, {"192.0.2.10", "192.0.2.11"}, "255.255.255.0"),
           MakeProfile("Cafe", "WLAN")});
    frmMain& f = Form();
    // Resident in the tray: no control has a window yet.
    for (const tk::Control* c :
         {static_cast<const tk::Control*>(&f.cmbProfiles),
          static_cast<const tk::Control*>(&f.txtIP), static_cast<const tk::Control*>(&f.frmWAIT)})
        EXPECT_FALSE(c->Created());
    EXPECT_EQ(GetWindow(f.hwnd(), GW_CHILD), nullptr);
    f.txtDNS.SetText("192.0.2.53");
    f.lblProgress.SetCaption("Step 1/2");

    f.Show();
    EXPECT_TRUE(f.cmbProfiles.Created());
    EXPECT_EQ(SendMessageA(f.cmbProfiles.hwnd(), CB_GETCOUNT, 0, 0), 4);
    EXPECT_EQ(SendMessageA(f.cmbProfiles.hwnd(), CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(static_cast<int>(SendMessageA(f.cmbProfiles.hwnd(), CB_GETITEMDATA, 3, 0)), 1);
    EXPECT_EQ(SendMessageA(f.cmbINTERFACE.hwnd(), CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(SendMessageA(f.chkDHCP.hwnd(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    char text[64] = {};
    GetWindowTextA(f.txtIP.hwnd(), text, sizeof(text));
    EXPECT_STREQ(text, "192.0.2.10\r\n192.0.2.11");
    GetWindowTextA(f.txtDNS.hwnd(), text, sizeof(text));
    EXPECT_STREQ(text, "192.0.2.53");
    GetWindowTextA(f.lblProgress.hwnd(), text, sizeof(text));
    EXPECT_STREQ(text, "Step 1/2");
    EXPECT_FALSE(IsWindowVisible(f.frmWAIT.hwnd()));

    // From now on the user's choices are read back from the windows.
    SendMessageA(f.chkDHCP.hwnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(f.chkDHCP.Value(), 1);
    SendMessageA(f.cmbProfiles.hwnd(), CB_SETCURSEL, 3, 0);
    SendMessageA(f.hwnd(), WM_COMMAND,
                 MAKEWPARAM(GetDlgCtrlID(f.cmbProfiles.hwnd()), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(f.cmbProfiles.hwnd()));
    EXPECT_EQ(f.cmbProfiles.Text(), "  Cafe");
    EXPECT_EQ(f.cmbINTERFACE.Text(), "WLAN");
}

TEST_F(MainWindowTest, EveryWayOfShowingTheWindowBringsItsControls) {
    // The program's own Show, and what another program or the shell may do instead.
    const struct {
        const char* name;
        std::function<void(HWND)> show;
    } ways[] = {
        {"ShowWindow SW_SHOWNORMAL", [](HWND h) { ShowWindow(h, SW_SHOWNORMAL); }},
        {"ShowWindow SW_SHOWNOACTIVATE", [](HWND h) { ShowWindow(h, SW_SHOWNOACTIVATE); }},
        {"SetWindowPos SWP_SHOWWINDOW",
         [](HWND h) {
             SetWindowPos(h, nullptr, 0, 0, 0, 0,
                          SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
         }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        Start({"LAN"}, {MakeProfile("Home", "LAN")});
        frmMain& f = Form();
        ASSERT_FALSE(f.cmbProfiles.Created());
        way.show(f.hwnd());
        EXPECT_TRUE(IsWindowVisible(f.hwnd()));
        ASSERT_TRUE(f.cmbProfiles.Created());
        EXPECT_TRUE(IsWindowVisible(f.cmdSave.hwnd()));
        EXPECT_EQ(SendMessageA(f.cmbProfiles.hwnd(), CB_GETCOUNT, 0, 0), 2);
        TearDown();
    }
}

} // namespace
