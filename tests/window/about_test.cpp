// The About window: version text, homepage link, closing, and modal showing.
#include "support.h"

#include "about_window/frmAbout.h"
#include "functions/forms.h"
#include "toolkit/app.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

#define ABOUT_STR2(x) #x
#define ABOUT_STR(x) ABOUT_STR2(x)
// The version text of the numbers this build stamps into its version resources.
constexpr const char* kBuiltVersionText = "v." ABOUT_STR(IPSHIFTER_VERSION_MAJOR) "." ABOUT_STR(
    IPSHIFTER_VERSION_MINOR) " (build " ABOUT_STR(IPSHIFTER_VERSION_BUILD) ")";

TEST(AboutVersionText, MajorMinorAndRevisionWithoutThePatch) {
    struct Case {
        tk::FileVersion version;
        const char* text;
    };
    const Case cases[] = {
        {{1, 4, 0, 31}, "v.1.4 (build 31)"},
        {{1, 0, 0, 1}, "v.1.0 (build 1)"},
        {{10, 20, 3, 400}, "v.10.20 (build 400)"},
        {{0, 0, 7, 0}, "v.0.0 (build 0)"},
        {{65535, 9, 9, 65535}, "v.65535.9 (build 65535)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(VersionText(c.version), c.text);
    }
}

TEST(AboutVersionText, BothExecutablesCarryTheBuildVersion) {
    const tk::FileVersion program = ReadFileVersion(BinDir() + "\\Ipshifter.exe");
    const tk::FileVersion self = tk::AppVersion();
    for (const auto& v : {program, self}) {
        EXPECT_EQ(v.major, IPSHIFTER_VERSION_MAJOR);
        EXPECT_EQ(v.minor, IPSHIFTER_VERSION_MINOR);
        EXPECT_EQ(v.patch, IPSHIFTER_VERSION_PATCH);
        EXPECT_EQ(v.revision, IPSHIFTER_VERSION_BUILD);
    }
    EXPECT_EQ(VersionText(program), kBuiltVersionText);
}

struct ShellCall {
    HWND owner;
    bool noOperation;
    std::string file;
    bool noParameters;
    std::string directory;
    int show;
};

// What a modal opening saw.
struct ModalRun {
    bool sawWindow = false;      // the window was on screen while the opener waited
    bool closedByHelper = false; // still open after the step: the helper closed it
};

struct ModalDriver {
    std::function<void(frmAbout&)> step;
    DWORD start = 0;
    bool done = false;
    ModalRun run;
};
ModalDriver* g_driver = nullptr;

void CALLBACK DriveModal(HWND, UINT, UINT_PTR, DWORD) {
    if (!g_driver || g_driver->done)
        return;
    ModalDriver& d = *g_driver;
    frmAbout& form = AboutForm();
    if (form.Visible()) {
        d.done = true;
        d.run.sawWindow = true;
        d.step(form);
        if (form.Loaded()) {
            d.run.closedByHelper = true;
            PostMessageA(form.hwnd(), WM_CLOSE, 0, 0);
        }
    } else if (GetTickCount() - d.start > 10000) {
        // Never seen on screen: end the modal wait rather than hang.
        d.done = true;
        if (form.Loaded())
            PostMessageA(form.hwnd(), WM_CLOSE, 0, 0);
    }
}

// Opens the About window with ShowFormModal; once it is on screen, `step` runs inside the
// modal loop, and the window is closed afterwards if it is still open.
ModalRun OpenAbout(std::function<void(frmAbout&)> step) {
    ModalDriver driver;
    driver.step = std::move(step);
    driver.start = GetTickCount();
    g_driver = &driver;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, DriveModal);
    ShowFormModal(AboutForm());
    KillTimer(nullptr, timer);
    g_driver = nullptr;
    return driver.run;
}

void ClickLabel(const tk::Label& label) {
    SendMessageA(label.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageA(label.hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}

class AboutWindow : public testing::Test {
protected:
    void TearDown() override {
        if (AboutForm().Loaded())
            AboutForm().Unload();
    }
    std::vector<ShellCall> calls;

private:
    platform::Override<decltype(platform::Calls::ShellExecuteA)> shell_{
        &platform::Calls::ShellExecuteA, [this](HWND owner, LPCSTR operation, LPCSTR file,
                                                LPCSTR parameters, LPCSTR directory, INT show) {
            calls.push_back({owner, operation == nullptr, file ? file : "", parameters == nullptr,
                             directory ? directory : "", show});
            return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
        }};
};

std::string ClassName(HWND hwnd) {
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof(name));
    return name;
}

std::string Title(HWND hwnd) {
    char text[64] = {};
    GetWindowTextA(hwnd, text, sizeof(text));
    return text;
}

SIZE BitmapSize(const tk::Image& image) {
    auto bitmap =
        reinterpret_cast<HBITMAP>(SendMessageA(image.hwnd(), STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP info{};
    if (!bitmap || GetObjectA(bitmap, sizeof(info), &info) != sizeof(info))
        return SIZE{0, 0};
    return SIZE{info.bmWidth, info.bmHeight};
}

TEST_F(AboutWindow, LoadShowsNameVersionLogosAndLink) {
    // Form_Load lets the window handle what is waiting.
    const UINT kPending = WM_APP + 0x3A;
    ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), kPending, 0, 0));
    frmAbout& form = AboutForm();
    form.Load();
    ASSERT_TRUE(form.Loaded());
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, kPending, kPending, PM_NOREMOVE));
    EXPECT_FALSE(form.Visible()) << "loading alone shows nothing";

    EXPECT_EQ(ClassName(form.hwnd()), "IpshifterAbout");
    EXPECT_EQ(Title(form.hwnd()), "About");
    EXPECT_NE(SendMessageA(form.hwnd(), WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_EQ(SendMessageA(form.Image1.hwnd(), STM_GETICON, 0, 0),
              reinterpret_cast<LRESULT>(form.Icon()));
    EXPECT_NE(form.Icon(), nullptr);

    EXPECT_EQ(form.Label1.Caption(), "Ipshifter");
    EXPECT_EQ(form.lblVER.Caption(), kBuiltVersionText);
    EXPECT_EQ(form.Label2.Caption(), "tested on");
    EXPECT_EQ(form.lblHomepage.Caption(), "Homepage");
    EXPECT_EQ(form.cmdOK.Caption(), "OK");

    // The three logos: each 50 x 37 pixels, each its own picture.
    const tk::Image* logos[] = {&form.Image4, &form.Image3, &form.Image2};
    std::vector<LRESULT> pictures;
    for (const tk::Image* logo : logos) {
        const SIZE size = BitmapSize(*logo);
        EXPECT_EQ(size.cx, 50);
        EXPECT_EQ(size.cy, 37);
        pictures.push_back(SendMessageA(logo->hwnd(), STM_GETIMAGE, IMAGE_BITMAP, 0));
    }
    EXPECT_NE(pictures[0], pictures[1]);
    EXPECT_NE(pictures[1], pictures[2]);
    EXPECT_NE(pictures[0], pictures[2]);

    // The link reads as one.
    LOGFONTA font{};
    auto hfont = reinterpret_cast<HFONT>(SendMessageA(form.lblHomepage.hwnd(), WM_GETFONT, 0, 0));
    ASSERT_EQ(GetObjectA(hfont, sizeof(font), &font), static_cast<int>(sizeof(font)));
    EXPECT_TRUE(font.lfUnderline);
    // Blue and with the hand cursor, as its parent window asks the label; other labels keep the
    // window's colours and cursor.
    HWND parent = GetParent(form.lblHomepage.hwnd());
    HDC dc = CreateCompatibleDC(nullptr);
    SetTextColor(dc, RGB(1, 2, 3));
    SendMessageA(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(form.lblHomepage.hwnd()));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 255));
    SetTextColor(dc, RGB(1, 2, 3));
    SendMessageA(GetParent(form.Label2.hwnd()), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(form.Label2.hwnd()));
    EXPECT_EQ(GetTextColor(dc), RGB(1, 2, 3));
    DeleteDC(dc);
    const LPARAM overClient = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);
    EXPECT_EQ(SendMessageA(parent, WM_SETCURSOR, reinterpret_cast<WPARAM>(form.lblHomepage.hwnd()),
                           overClient),
              TRUE);
    EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)));
    SendMessageA(GetParent(form.Label2.hwnd()), WM_SETCURSOR,
                 reinterpret_cast<WPARAM>(form.Label2.hwnd()), overClient);
    EXPECT_NE(GetCursor(), LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)));
    EXPECT_TRUE(calls.empty()) << "nothing opens the homepage by itself";
}

TEST_F(AboutWindow, EveryHomepageClickAsksTheShellAndTheWindowStaysOpen) {
    std::vector<HWND> windows;
    std::vector<bool> openAfterClick;
    const ModalRun run = OpenAbout([&](frmAbout& form) {
        windows.push_back(form.hwnd());
        for (int i = 0; i < 3; ++i) {
            ClickLabel(form.lblHomepage);
            openAfterClick.push_back(form.Visible());
        }
    });
    EXPECT_TRUE(run.sawWindow);
    EXPECT_TRUE(run.closedByHelper);
    EXPECT_EQ(openAfterClick, (std::vector<bool>{true, true, true}));
    ASSERT_EQ(windows.size(), 1u);
    ASSERT_EQ(calls.size(), 3u);
    for (const auto& call : calls) {
        EXPECT_EQ(call.owner, windows[0]);
        EXPECT_TRUE(call.noOperation);
        EXPECT_EQ(call.file, kHomepageUrl);
        EXPECT_EQ(call.file.rfind("https://", 0), 0u) << "a web page address";
        EXPECT_TRUE(call.noParameters);
        EXPECT_EQ(call.directory, "C:\\");
        EXPECT_EQ(call.show, 1);
    }
}

TEST_F(AboutWindow, EachWayOfClosingUnloadsAndTheNextOpeningLoadsAnew) {
    struct Case {
        const char* name;
        std::function<void(frmAbout&)> close;
    };
    const Case cases[] = {
        {"OK button", [](frmAbout& f) { SendMessageA(f.cmdOK.hwnd(), BM_CLICK, 0, 0); }},
        {"close box", [](frmAbout& f) { SendMessageA(f.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"Escape key",
         [](frmAbout& f) {
             PostMessageA(f.hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
             WaitUntil([&] { return !f.Loaded(); }, 3000);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string versionOnOpening;
        bool closedAtOnce = false;
        const ModalRun run = OpenAbout([&](frmAbout& form) {
            versionOnOpening = form.lblVER.Caption();
            // Whatever this window showed must not reach the next opening.
            form.lblVER.SetCaption("stale");
            c.close(form);
            closedAtOnce = !form.Loaded();
        });
        EXPECT_TRUE(run.sawWindow);
        EXPECT_TRUE(closedAtOnce);
        EXPECT_FALSE(run.closedByHelper);
        EXPECT_FALSE(AboutForm().Loaded());
        EXPECT_EQ(versionOnOpening, kBuiltVersionText);
    }
    EXPECT_TRUE(calls.empty());
}

TEST_F(AboutWindow, OpeningTwiceShowsAFreshWindowWithTheSameVersionText) {
    std::vector<std::string> versions;
    for (int i = 0; i < 2; ++i) {
        const ModalRun run = OpenAbout([&](frmAbout& form) {
            versions.push_back(form.lblVER.Caption());
            form.lblVER.SetCaption("v.");
            SendMessageA(form.cmdOK.hwnd(), BM_CLICK, 0, 0);
        });
        EXPECT_TRUE(run.sawWindow);
        EXPECT_FALSE(run.closedByHelper);
    }
    EXPECT_EQ(versions, (std::vector<std::string>{kBuiltVersionText, kBuiltVersionText}));
}

BOOL CALLBACK CountVisibleAbout(HWND hwnd, LPARAM count) {
    if (IsWindowVisible(hwnd) && ClassName(hwnd) == "IpshifterAbout")
        ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// Counts the visible About windows of this thread.
int VisibleAboutWindows() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountVisibleAbout, reinterpret_cast<LPARAM>(&count));
    return count;
}

TEST_F(AboutWindow, ShowFormModalWaitsUntilClosedAndIgnoresASecondShow) {
    bool openDuringSecondShow = false;
    int windowsDuringSecondShow = 0;
    bool loadedWhenStepEnded = true;
    const ModalRun run = OpenAbout([&](frmAbout& form) {
        const HWND before = form.hwnd();
        ShowFormModal(form); // returns at once: the window is already on screen
        openDuringSecondShow = form.Visible() && form.hwnd() == before;
        windowsDuringSecondShow = VisibleAboutWindows();
        SendMessageA(form.cmdOK.hwnd(), BM_CLICK, 0, 0);
        loadedWhenStepEnded = form.Loaded();
    });
    // The step ran from inside the first ShowFormModal, so the opener waited for the window.
    EXPECT_TRUE(run.sawWindow);
    EXPECT_TRUE(openDuringSecondShow);
    EXPECT_EQ(windowsDuringSecondShow, 1);
    EXPECT_FALSE(loadedWhenStepEnded);
    EXPECT_FALSE(run.closedByHelper);
    EXPECT_FALSE(AboutForm().Loaded());
}

// A form whose loading fails.
class BrokenForm : public tk::Form {
public:
    BrokenForm() : tk::Form("IpshifterTestBroken", "Broken", 1500, 1500, 0) {}
    ~BrokenForm() override { DestroyThis(); }

protected:
    void CreateControls() override { throw std::runtime_error("controls not created"); }
};

TEST(ShowFormModal, SwallowsAFailureToShow) {
    {
        BrokenForm direct;
        EXPECT_THROW(direct.ShowModal(), std::runtime_error) << "the failure is real";
    }
    BrokenForm form;
    EXPECT_NO_THROW(ShowFormModal(form));
    EXPECT_FALSE(form.Visible());
}

} // namespace
