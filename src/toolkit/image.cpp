#include "toolkit/image.h"

namespace tk {

void Image::CreateIcon(Form& form, Frame* container, HICON icon, TwipsRect rect) {
    icon_ = icon;
    bitmap_ = nullptr;
    CreateIn(form, container, "STATIC", "", SS_ICON | SS_REALSIZEIMAGE, 0, rect, FontKind::Normal);
}

void Image::CreateBitmap(Form& form, Frame* container, HBITMAP bitmap, TwipsRect rect) {
    icon_ = nullptr;
    bitmap_ = bitmap;
    CreateIn(form, container, "STATIC", "", SS_BITMAP, 0, rect, FontKind::Normal);
}

void Image::AfterRealize() {
    if (icon_)
        SendMessageA(hwnd_, STM_SETICON, reinterpret_cast<WPARAM>(icon_), 0);
    if (bitmap_)
        SendMessageA(hwnd_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap_));
}

} // namespace tk
