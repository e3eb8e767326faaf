// The tray icon component: what it sends to the shell and when, through a recording stand-in,
// and once through the real shell on the virtual display.
#include "tray_icon/CSystrayIcon.h"
#include "base/handle.h"
#include "base/platform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kAllParts = NIF_MESSAGE | NIF_ICON | NIF_TIP;

HWND FakeWindow() {
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1001));
}
HICON FakeIcon(int n) {
    return reinterpret_cast<HICON>(static_cast<INT_PTR>(0x2000 + n));
}

struct ShellCall {
    DWORD message;
    NOTIFYICONDATAA data;
};

// Stands in for Shell_NotifyIconA for its lifetime: records every call and fails on request
// with the error code given.
class FakeShell {
public:
    std::vector<ShellCall> calls;
    DWORD failWith = 0;

private:
    platform::Override<decltype(platform::Calls::Shell_NotifyIconA)> call_{
        &platform::Calls::Shell_NotifyIconA, [this](DWORD message, PNOTIFYICONDATAA data) {
            calls.push_back({message, *data});
            if (failWith != 0) {
                SetLastError(failWith);
                return FALSE;
            }
            return TRUE;
        }};
};

// The tip field as the shell gets it: its first 64 bytes.
std::string TipBytes(const NOTIFYICONDATAA& data) {
    return std::string(data.szTip, 64);
}

std::string ExpectedTipBytes(const std::string& shown) {
    std::string field = shown + '\0';
    field.resize(64, ' ');
    return field;
}

class TrayIcon : public testing::Test {
protected:
    // Declared before the icon, so that the icon's end is still recorded.
    FakeShell shell;
    std::unique_ptr<CSystrayIcon> icon = std::make_unique<CSystrayIcon>();
    std::vector<std::int32_t> errors;

    void SetUp() override {
        icon->NIError = [this](std::int32_t e) { errors.push_back(e); };
        icon->Initialize(FakeWindow(), FakeIcon(1), "Ipshifter", WM_MOUSEMOVE);
    }
    // Shows the icon and forgets the call.
    void Shown() {
        ASSERT_TRUE(icon->ShowIcon());
        shell.calls.clear();
    }
};

TEST(TrayIconRecord, ZeroUntilInitializedThenFilledWithoutAShellCall) {
    FakeShell shell;
    CSystrayIcon icon;
    const auto& r = icon.Record();
    EXPECT_EQ(r.cbSize, 0u);
    EXPECT_EQ(r.hWnd, nullptr);
    EXPECT_EQ(r.uID, 0u);
    EXPECT_EQ(r.uFlags, 0u);
    EXPECT_EQ(r.uCallbackMessage, 0u);
    EXPECT_EQ(r.hIcon, nullptr);
    EXPECT_EQ(icon.TipText(), "");
    EXPECT_FALSE(icon.Visible());
    EXPECT_FALSE(icon.UpdateOnChange());

    EXPECT_EQ(icon.Initialize(FakeWindow(), FakeIcon(1), "Ipshifter", 512), 0);
    EXPECT_EQ(r.cbSize, static_cast<std::uint32_t>(NOTIFYICONDATAA_V1_SIZE));
    EXPECT_EQ(r.hWnd, FakeWindow());
    EXPECT_EQ(r.uID, 1u);
    EXPECT_EQ(r.uFlags, 7u);
    EXPECT_EQ(r.uCallbackMessage, 512u);
    EXPECT_EQ(r.hIcon, FakeIcon(1));
    EXPECT_EQ(r.szTip, ExpectedTipBytes("Ipshifter"));
    EXPECT_EQ(icon.TipText(), "Ipshifter");
    EXPECT_EQ(icon.IconHandle(), FakeIcon(1));
    EXPECT_EQ(icon.CallbackMessage(), 512u);
    EXPECT_FALSE(icon.Visible());
    EXPECT_TRUE(icon.UpdateOnChange());
    EXPECT_TRUE(shell.calls.empty());

    // The callback message defaults to 0.
    icon.Initialize(FakeWindow(), FakeIcon(2), "x");
    EXPECT_EQ(icon.CallbackMessage(), 0u);
    EXPECT_TRUE(shell.calls.empty());
}

TEST_F(TrayIcon, ShowAndHideEachCallTheShellOnlyOnAChange) {
    EXPECT_TRUE(icon->ShowIcon());
    ASSERT_EQ(shell.calls.size(), 1u);
    const auto& add = shell.calls[0];
    EXPECT_EQ(add.message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(add.data.cbSize, static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE));
    EXPECT_EQ(add.data.hWnd, FakeWindow());
    EXPECT_EQ(add.data.uID, 1u);
    EXPECT_EQ(add.data.uFlags, kAllParts);
    EXPECT_EQ(add.data.uCallbackMessage, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(add.data.hIcon, FakeIcon(1));
    EXPECT_EQ(TipBytes(add.data), ExpectedTipBytes("Ipshifter"));
    EXPECT_TRUE(icon->Visible());

    EXPECT_FALSE(icon->ShowIcon());
    EXPECT_EQ(shell.calls.size(), 1u);
    EXPECT_TRUE(icon->Visible());

    EXPECT_TRUE(icon->HideIcon());
    ASSERT_EQ(shell.calls.size(), 2u);
    EXPECT_EQ(shell.calls[1].message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(shell.calls[1].data.hWnd, FakeWindow());
    EXPECT_EQ(shell.calls[1].data.uID, 1u);
    EXPECT_FALSE(icon->Visible());

    EXPECT_FALSE(icon->HideIcon());
    EXPECT_EQ(shell.calls.size(), 2u);
    EXPECT_FALSE(icon->Update());
    EXPECT_EQ(shell.calls.size(), 2u);
    EXPECT_TRUE(errors.empty());
}

TEST_F(TrayIcon, TipIsCutTo63CharactersAndReadsBackWithoutPadding) {
    struct Case {
        std::string tip;
        std::string shown;
    };
    const std::string chars64 = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ+-";
    ASSERT_EQ(chars64.size(), 64u);
    const Case cases[] = {
        {"Ipshifter", "Ipshifter"},
        {"", ""},
        {"Step 1/12", "Step 1/12"},
        {"ends in blanks  ", "ends in blanks  "},
        {"Verbindung \xe4\xf6\xfc", "Verbindung \xe4\xf6\xfc"},
        {chars64.substr(0, 62), chars64.substr(0, 62)},
        {chars64.substr(0, 63), chars64.substr(0, 63)},
        {chars64, chars64.substr(0, 63)},
        {chars64 + chars64, chars64.substr(0, 63)},
    };
    Shown();
    for (const auto& c : cases) {
        SCOPED_TRACE("tip \"" + c.tip + "\"");
        shell.calls.clear();
        icon->TipText(c.tip);
        EXPECT_EQ(icon->TipText(), c.shown);
        EXPECT_EQ(icon->Record().szTip, ExpectedTipBytes(c.shown));
        ASSERT_EQ(shell.calls.size(), 1u);
        EXPECT_EQ(TipBytes(shell.calls[0].data), ExpectedTipBytes(c.shown));

        // The same cut when the tip comes with Initialize.
        CSystrayIcon other;
        other.Initialize(FakeWindow(), FakeIcon(1), c.tip);
        EXPECT_EQ(other.TipText(), c.shown);
        EXPECT_EQ(other.Record().szTip, ExpectedTipBytes(c.shown));
    }
}

// Each setter: its flag, and how to set and read a new value.
struct Property {
    const char* name;
    std::uint32_t flag;
    void (*set)(CSystrayIcon&);
    bool (*sent)(const NOTIFYICONDATAA&);
};

const Property kProperties[] = {
    {"IconHandle", NIF_ICON, [](CSystrayIcon& i) { i.IconHandle(FakeIcon(7)); },
     [](const NOTIFYICONDATAA& d) { return d.hIcon == FakeIcon(7); }},
    {"TipText", NIF_TIP, [](CSystrayIcon& i) { i.TipText("Step 2/5"); },
     [](const NOTIFYICONDATAA& d) { return TipBytes(d) == ExpectedTipBytes("Step 2/5"); }},
    {"CallbackMessage", NIF_MESSAGE, [](CSystrayIcon& i) { i.CallbackMessage(0x8001); },
     [](const NOTIFYICONDATAA& d) { return d.uCallbackMessage == 0x8001; }},
};

TEST_F(TrayIcon, PropertyWhileShownSendsOnlyItsOwnFlag) {
    for (const auto& p : kProperties) {
        SCOPED_TRACE(p.name);
        icon->Initialize(FakeWindow(), FakeIcon(1), "Ipshifter", WM_MOUSEMOVE);
        Shown();
        p.set(*icon);
        ASSERT_EQ(shell.calls.size(), 1u);
        EXPECT_EQ(shell.calls[0].message, static_cast<DWORD>(NIM_MODIFY));
        EXPECT_EQ(shell.calls[0].data.uFlags, p.flag);
        EXPECT_TRUE(p.sent(shell.calls[0].data));
        EXPECT_EQ(icon->Record().uFlags, kAllParts);

        // The next full update carries every part again.
        EXPECT_TRUE(icon->Update());
        ASSERT_EQ(shell.calls.size(), 2u);
        EXPECT_EQ(shell.calls[1].message, static_cast<DWORD>(NIM_MODIFY));
        EXPECT_EQ(shell.calls[1].data.uFlags, kAllParts);
        EXPECT_TRUE(p.sent(shell.calls[1].data));
        EXPECT_TRUE(icon->Visible());
        EXPECT_TRUE(icon->HideIcon());
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(TrayIcon, PropertyWhileHiddenIsStoredAndSentWithTheNextAdd) {
    for (const auto& p : kProperties) {
        SCOPED_TRACE(p.name);
        icon->Initialize(FakeWindow(), FakeIcon(1), "Ipshifter", WM_MOUSEMOVE);
        shell.calls.clear();
        p.set(*icon);
        EXPECT_TRUE(shell.calls.empty());
        EXPECT_EQ(icon->Record().uFlags, kAllParts);
        // Not sent even when asked for explicitly: the icon is not there to change.
        EXPECT_FALSE(icon->Update());
        EXPECT_TRUE(shell.calls.empty());

        EXPECT_TRUE(icon->ShowIcon());
        ASSERT_EQ(shell.calls.size(), 1u);
        EXPECT_EQ(shell.calls[0].message, static_cast<DWORD>(NIM_ADD));
        EXPECT_EQ(shell.calls[0].data.uFlags, kAllParts);
        EXPECT_TRUE(p.sent(shell.calls[0].data));
        EXPECT_TRUE(icon->HideIcon());
    }
}

TEST_F(TrayIcon, WithoutUpdateOnChangeNothingIsSentUntilUpdate) {
    Shown();
    icon->UpdateOnChange(false);
    EXPECT_FALSE(icon->UpdateOnChange());
    for (const auto& p : kProperties)
        p.set(*icon);
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_EQ(icon->TipText(), "Step 2/5");

    EXPECT_TRUE(icon->Update());
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(shell.calls[0].data.uFlags, kAllParts);
    for (const auto& p : kProperties)
        EXPECT_TRUE(p.sent(shell.calls[0].data)) << p.name;

    icon->UpdateOnChange(true);
    icon->TipText("again");
    ASSERT_EQ(shell.calls.size(), 2u);
    EXPECT_EQ(shell.calls[1].data.uFlags, static_cast<UINT>(NIF_TIP));
}

TEST_F(TrayIcon, VisibleShowsAndHides) {
    icon->Visible(true);
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_TRUE(icon->Visible());

    icon->Visible(true);
    EXPECT_EQ(shell.calls.size(), 1u);

    icon->Visible(false);
    ASSERT_EQ(shell.calls.size(), 2u);
    EXPECT_EQ(shell.calls[1].message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_FALSE(icon->Visible());

    icon->Visible(false);
    EXPECT_EQ(shell.calls.size(), 2u);
}

TEST_F(TrayIcon, EndOfLifeRemovesOnlyAShownIcon) {
    Shown();
    icon.reset();
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(shell.calls[0].data.hWnd, FakeWindow());
    EXPECT_EQ(shell.calls[0].data.uID, 1u);

    shell.calls.clear();
    {
        CSystrayIcon hidden;
        hidden.Initialize(FakeWindow(), FakeIcon(1), "Ipshifter", 512);
    }
    {
        CSystrayIcon hiddenAgain;
        hiddenAgain.Initialize(FakeWindow(), FakeIcon(1), "Ipshifter", 512);
        ASSERT_TRUE(hiddenAgain.ShowIcon());
        ASSERT_TRUE(hiddenAgain.HideIcon());
        shell.calls.clear();
    }
    { CSystrayIcon never; }
    EXPECT_TRUE(shell.calls.empty());
}

TEST_F(TrayIcon, InitializeWhileShownForgetsTheShownIcon) {
    Shown();
    icon->Initialize(FakeWindow(), FakeIcon(2), "Other", 513);
    EXPECT_FALSE(icon->Visible());
    EXPECT_FALSE(icon->HideIcon());
    icon->TipText("not sent");
    EXPECT_TRUE(shell.calls.empty());

    EXPECT_TRUE(icon->ShowIcon());
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(shell.calls[0].data.hIcon, FakeIcon(2));
    EXPECT_EQ(shell.calls[0].data.uCallbackMessage, 513u);
    EXPECT_TRUE(icon->HideIcon());
    shell.calls.clear();

    Shown();
    icon->Initialize(FakeWindow(), FakeIcon(2), "Other", 513);
    icon.reset();
    EXPECT_TRUE(shell.calls.empty());
}

TEST_F(TrayIcon, FailingShellCallRaisesNIErrorOnceAndKeepsTheState) {
    // A stale code must not be what gets reported.
    SetLastError(5);
    shell.failWith = ERROR_TIMEOUT;
    EXPECT_FALSE(icon->ShowIcon());
    EXPECT_EQ(shell.calls.size(), 1u);
    EXPECT_FALSE(icon->Visible());
    EXPECT_EQ(errors, std::vector<std::int32_t>{ERROR_TIMEOUT});

    shell.failWith = 0;
    ASSERT_TRUE(icon->ShowIcon());
    errors.clear();

    shell.failWith = ERROR_INVALID_WINDOW_HANDLE;
    EXPECT_FALSE(icon->Update());
    EXPECT_TRUE(icon->Visible());
    EXPECT_FALSE(icon->HideIcon());
    EXPECT_TRUE(icon->Visible());
    icon->TipText("changed");
    EXPECT_EQ(icon->Record().uFlags, kAllParts);
    EXPECT_EQ(icon->TipText(), "changed");
    EXPECT_EQ(errors, std::vector<std::int32_t>(3, ERROR_INVALID_WINDOW_HANDLE));

    // Without a handler a failure is only a false result.
    icon->NIError = nullptr;
    shell.failWith = 1234;
    EXPECT_FALSE(icon->Update());
    EXPECT_EQ(errors.size(), 3u);

    // Still shown, so a working shell removes it, once.
    shell.failWith = 0;
    shell.calls.clear();
    EXPECT_TRUE(icon->HideIcon());
    icon.reset();
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0].message, static_cast<DWORD>(NIM_DELETE));
}

// The real shell under Wine, with a real hidden window of this process.
TEST(TrayIconShell, RealShellAddsChangesAndDeletesTheIcon) {
    base::unique_hwnd window(CreateWindowExA(0, "STATIC", "tray owner", 0, 0, 0, 10, 10, nullptr,
                                             nullptr, GetModuleHandleA(nullptr), nullptr));
    ASSERT_TRUE(window) << "no window (is DISPLAY set?)";
    ASSERT_FALSE(IsWindowVisible(window.get()));
    HICON shared = LoadIconA(nullptr, IDI_APPLICATION); // shared: not destroyed

    std::vector<std::int32_t> errors;
    {
        CSystrayIcon icon;
        icon.NIError = [&](std::int32_t e) { errors.push_back(e); };
        icon.Initialize(window.get(), shared, "Ipshifter", WM_MOUSEMOVE);
        EXPECT_TRUE(icon.ShowIcon());
        EXPECT_TRUE(icon.Visible());
        icon.TipText("Step 1/3");
        icon.IconHandle(LoadIconA(nullptr, IDI_INFORMATION));
        EXPECT_TRUE(icon.Update());
        // Wine's shell takes about two seconds for each delete under Xvfb.
        EXPECT_TRUE(icon.HideIcon());
        EXPECT_FALSE(icon.Visible());
    }
    EXPECT_TRUE(errors.empty());

    // Nothing of ours is left: deleting the same icon again fails.
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window.get();
    data.uID = 1;
    EXPECT_FALSE(Shell_NotifyIconA(NIM_DELETE, &data));
}

} // namespace
