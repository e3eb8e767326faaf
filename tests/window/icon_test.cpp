// The program's icon on scaled displays: loaded at the size the dpi asks for, as the picture
// drawn for that size; and the icons of a window class, which outlive every load of its forms.
#include "support.h"

#include "about_window/frmAbout.h"
#include "resource.h"
#include "toolkit/window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace testsupport;

namespace {

// An icon's colour picture: its width and its pixels as 32-bit BGRA rows.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<DWORD> bits;
};

Pixels PixelsOf(HICON icon) {
    Pixels out;
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info))
        return out;
    base::unique_hbitmap colour(info.hbmColor);
    base::unique_hbitmap mask(info.hbmMask);
    BITMAP bitmap{};
    if (!colour || !GetObjectA(colour.get(), sizeof(bitmap), &bitmap))
        return out;
    out.width = bitmap.bmWidth;
    out.height = bitmap.bmHeight;
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = out.width;
    format.bmiHeader.biHeight = -out.height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    out.bits.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height));
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, colour.get(), 0, static_cast<UINT>(out.height), out.bits.data(), &format,
              DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return out;
}

// The picture of the program's icon resource drawn for that size, made straight from its bytes
// (no choosing among sizes, no scaling), or nothing when the icon has no such size.
base::unique_hicon DrawnPicture(int size) {
    for (const IconPicture& p :
         IconPictures(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_IPSHIFTER))) {
        if (p.size == size) {
            auto* bytes = reinterpret_cast<BYTE*>(const_cast<char*>(p.bytes.data()));
            return base::unique_hicon(CreateIconFromResourceEx(
                bytes, static_cast<DWORD>(p.bytes.size()), TRUE, 0x00030000, size, size, 0));
        }
    }
    return base::unique_hicon();
}

TEST(ProgramIcon, IsLoadedAtTheSizeOfTheDpiAsThePictureDrawnForIt) {
    const struct {
        UINT dpi;
        int smallIcon; // SM_CXSMICON: title bar, notification area
        int largeIcon; // SM_CXICON
    } cases[] = {
        {96, 16, 32},
        {120, 20, 40},
        {144, 24, 48},
        {192, 32, 64},
    };
    for (const auto& c : cases) {
        for (const bool smallIcon : {true, false}) {
            const int expected = smallIcon ? c.smallIcon : c.largeIcon;
            SCOPED_TRACE(std::to_string(c.dpi) + " dpi, " + (smallIcon ? "small" : "large"));
            EXPECT_EQ(tk::SystemMetricForDpi(smallIcon ? SM_CXSMICON : SM_CXICON, c.dpi), expected);
            base::unique_hicon loaded(tk::LoadIconForDpi(IDI_IPSHIFTER, c.dpi, smallIcon));
            const Pixels got = PixelsOf(loaded.get());
            ASSERT_EQ(got.width, expected);
            EXPECT_EQ(got.height, expected);
            // 64 pixels is drawn for no display this program knows: any picture of that size.
            if (expected == 64)
                continue;
            base::unique_hicon drawn = DrawnPicture(expected);
            ASSERT_TRUE(drawn) << "the icon has no picture of " << expected << " pixels";
            EXPECT_TRUE(got.bits == PixelsOf(drawn.get()).bits)
                << "a picture of another size, scaled";
        }
    }
}

TEST(ProgramIcon, AFormTakesTheSizesOfItsWindowsDpi) {
    frmAbout& form = AboutForm();
    form.Load();
    ASSERT_TRUE(form.Loaded());
    const UINT dpi = tk::WindowDpi(form.hwnd());
    EXPECT_EQ(PixelsOf(form.SmallIcon()).width, tk::SystemMetricForDpi(SM_CXSMICON, dpi));
    EXPECT_EQ(PixelsOf(form.Icon()).width, tk::SystemMetricForDpi(SM_CXICON, dpi));
    form.Unload();
}

// The class is registered at the first load; every later load makes new icons for its window
// and lets the earlier ones go.
TEST(ProgramIcon, TheWindowClassKeepsLiveIconsThroughEveryLoad) {
    frmAbout& form = AboutForm();
    for (int load = 1; load <= 3; ++load) {
        SCOPED_TRACE("load " + std::to_string(load));
        form.Load();
        ASSERT_TRUE(form.Loaded());
        const auto classIcon = reinterpret_cast<HICON>(GetClassLongPtrA(form.hwnd(), GCLP_HICON));
        const auto classSmall =
            reinterpret_cast<HICON>(GetClassLongPtrA(form.hwnd(), GCLP_HICONSM));
        EXPECT_GT(PixelsOf(classIcon).width, 0) << "the class's icon is gone";
        EXPECT_GT(PixelsOf(classSmall).width, 0) << "the class's small icon is gone";
        const auto windowIcon =
            reinterpret_cast<HICON>(SendMessageA(form.hwnd(), WM_GETICON, ICON_BIG, 0));
        EXPECT_EQ(windowIcon, form.Icon());
        EXPECT_GT(PixelsOf(windowIcon).width, 0);
        form.Unload();
    }
}

} // namespace
