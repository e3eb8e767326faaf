#include "about_window/frmAbout.h"

#include "base/platform.h"
#include "resource.h"

#include <memory>

namespace {

std::unique_ptr<frmAbout>& AboutFormSlot() {
    static std::unique_ptr<frmAbout> form;
    return form;
}

HBITMAP LoadLogo(int resource) {
    return static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resource),
                                           IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
}

constexpr COLORREF kLinkColour = RGB(0, 0, 255);

} // namespace

std::string VersionText(const tk::FileVersion& v) {
    return "v." + std::to_string(v.major) + "." + std::to_string(v.minor) + " (build " +
           std::to_string(v.revision) + ")";
}

frmAbout& AboutForm() {
    auto& slot = AboutFormSlot();
    if (!slot)
        slot = std::make_unique<frmAbout>();
    return *slot;
}

frmAbout::frmAbout() : tk::Form("IpshifterAbout", "About", 4680, 3105, IDI_IPSHIFTER) {}

// The window goes first, while the controls and pictures it refers to still exist.
frmAbout::~frmAbout() {
    DestroyThis();
}

void frmAbout::CreateControls() {
    using tk::FontKind;
    logo2000_.reset(LoadLogo(IDB_LOGO_2000));
    logoXP_.reset(LoadLogo(IDB_LOGO_XP));
    logoVista_.reset(LoadLogo(IDB_LOGO_VISTA));
    LOGFONTA lf{};
    if (GetObjectA(Font(FontKind::Normal), sizeof(lf), &lf) == sizeof(lf)) {
        lf.lfUnderline = TRUE;
        linkFont_.reset(CreateFontIndirectA(&lf));
    }

    Frame1.CreateGroup(*this, nullptr, "", {120, 45, 4440, 2445}, FontKind::Normal);
    Picture1.CreatePanel(*this, &Frame1, {240, 300, 660, 660}, GetSysColor(COLOR_BTNFACE));
    Image1.CreateIcon(*this, &Picture1, Icon(), {90, 90, 480, 480});
    Label1.Create(*this, &Frame1, "Ipshifter", {1140, 360, 3060, 240}, tk::Label::Align::Left,
                  FontKind::Bold);
    lblVER.Create(*this, &Frame1, "v.", {1140, 660, 3060, 240});
    Label2.Create(*this, &Frame1, "tested on", {240, 1170, 3000, 240});
    Image4.CreateBitmap(*this, &Frame1, logo2000_.get(), {240, 1470, 750, 555});
    Image3.CreateBitmap(*this, &Frame1, logoXP_.get(), {1110, 1470, 750, 555});
    Image2.CreateBitmap(*this, &Frame1, logoVista_.get(), {1980, 1470, 750, 555});
    lblHomepage.Create(*this, &Frame1, "Homepage", {3360, 1785, 840, 240});
    cmdOK.Create(*this, nullptr, "OK", {3480, 2610, 1080, 375});

    // A link: underlined, blue, with the hand cursor.
    if (linkFont_)
        lblHomepage.SetFont(linkFont_.get());
    lblHomepage.SetTextColour(kLinkColour);
    lblHomepage.SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)));
    lblHomepage.Click = [this] { lblHomepage_Click(); };
    cmdOK.Click = [this] { cmdOK_Click(); };
}

void frmAbout::Form_Load() {
    lblVER.SetCaption(VersionText(tk::AppVersion()));
    // What opened the window (the tray menu, the About button) finishes painting before this
    // window covers it.
    tk::DoEvents();
}

void frmAbout::lblHomepage_Click() {
    platform::Current().ShellExecuteA(hwnd(), nullptr, kHomepageUrl, nullptr, "C:\\",
                                      SW_SHOWNORMAL);
}

void frmAbout::cmdOK_Click() {
    Unload();
}

void frmAbout::OnMenuCommand(UINT id) {
    // Enter and Escape reach a window without a default button as these two commands.
    if (id == IDOK || id == IDCANCEL)
        cmdOK_Click();
}

LRESULT frmAbout::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = tk::Form::WindowProc(msg, wParam, lParam);
    // The pictures and the link's font go with the window that shows them.
    if (msg == WM_NCDESTROY) {
        logo2000_.reset();
        logoXP_.reset();
        logoVista_.reset();
        linkFont_.reset();
    }
    return result;
}
