#include "toolkit/label.h"

#include "base/scope_exit.h"

namespace tk {

void Label::Create(Form& form, Frame* container, const char* caption, TwipsRect rect, Align align,
                   FontKind font) {
    DWORD style = SS_NOTIFY | SS_NOPREFIX;
    style |= align == Align::Right ? SS_RIGHT : align == Align::Center ? SS_CENTER : SS_LEFT;
    caption_ = caption;
    growsLeft_ = align == Align::Right;
    textColour_.reset();
    cursor_ = nullptr;
    CreateIn(form, container, "STATIC", caption, style, 0, rect, font);
}

void Label::AfterRealize() {
    SetWindowTextA(hwnd_, caption_.c_str());
    if (!growsLeft_ || caption_.empty())
        return;
    // A label names the field to its right: where the font's text is wider than the box, the
    // box grows to the left rather than cut the first letters off.
    SIZE extent{};
    if (HDC dc = GetDC(hwnd_)) {
        auto release = base::scope_exit([&] { ReleaseDC(hwnd_, dc); });
        HGDIOBJ old =
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(hwnd_, WM_GETFONT, 0, 0)));
        auto deselect = base::scope_exit([&] { SelectObject(dc, old); });
        GetTextExtentPoint32A(dc, caption_.c_str(), static_cast<int>(caption_.size()), &extent);
    }
    RECT r;
    GetWindowRect(hwnd_, &r);
    MapWindowPoints(nullptr, GetParent(hwnd_), reinterpret_cast<POINT*>(&r), 2);
    const int needed = extent.cx + 1;
    if (needed > r.right - r.left)
        SetWindowPos(hwnd_, nullptr, r.right - needed, r.top, needed, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

void Label::SetCaption(const std::string& caption) {
    caption_ = caption;
    if (hwnd_)
        SetWindowTextA(hwnd_, caption.c_str());
}

void Label::SetTextColour(COLORREF colour) {
    textColour_ = colour;
    if (hwnd_)
        InvalidateRect(hwnd_, nullptr, TRUE);
}

void Label::OnCommand(WORD code) {
    if (code == STN_CLICKED && Click)
        Click();
}

HBRUSH Label::OnCtlColor(HDC dc, HBRUSH containerBrush, COLORREF containerColour) {
    if (textColour_)
        SetTextColor(dc, *textColour_);
    return Control::OnCtlColor(dc, containerBrush, containerColour);
}

bool Label::OnSetCursor() {
    if (!cursor_)
        return false;
    ::SetCursor(cursor_);
    return true;
}

} // namespace tk
