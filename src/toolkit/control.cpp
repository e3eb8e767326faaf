#include "toolkit/control.h"

#include "toolkit/form.h"
#include "toolkit/frame.h"
#include "toolkit/window.h"

#include <stdexcept>

namespace tk {

std::string WindowText(HWND hwnd) {
    if (!hwnd)
        return {};
    const int length = GetWindowTextLengthA(hwnd);
    if (length <= 0)
        return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const int got = GetWindowTextA(hwnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}

void Control::CreateIn(Form& form, Frame* container, const char* className, const char* text,
                       DWORD style, DWORD exStyle, TwipsRect rect, FontKind font) {
    form_ = &form;
    container_ = container;
    hwnd_ = nullptr;
    enabled_ = true;
    visible_ = true;
    className_ = className;
    text_ = text;
    style_ = style;
    exStyle_ = exStyle;
    rect_ = rect;
    font_ = font;
    ownFont_ = nullptr;
    if (container)
        container->children_.push_back(this);
    form.Declare(this);
}

HWND Control::hwnd() const {
    if (!hwnd_ && form_ && form_->Loaded())
        form_->CreateControlWindows();
    return hwnd_;
}

void Control::Realize() {
    HWND parent = container_ ? container_->ChildParent() : form_->hwnd();
    const POINT origin = container_ ? container_->ChildOrigin() : POINT{0, 0};
    hwnd_ = CreateWindowExA(
        exStyle_, className_, text_.c_str(),
        style_ | WS_CHILD | WS_CLIPSIBLINGS | (EffectiveVisible() ? WS_VISIBLE : 0) |
            (EffectiveEnabled() ? 0 : WS_DISABLED),
        TwipsToPixels(origin.x + rect_.left), TwipsToPixels(origin.y + rect_.top),
        TwipsToPixels(rect_.width), TwipsToPixels(rect_.height), parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(form_->NextControlId())),
        GetModuleHandleA(nullptr), CreationParam());
    if (!hwnd_)
        throw std::runtime_error("control not created");
    // Creation order is the tab order: each control goes below the ones made before it.
    SetWindowPos(hwnd_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SendMessageA(hwnd_, WM_SETFONT,
                 reinterpret_cast<WPARAM>(ownFont_ ? ownFont_ : form_->Font(font_)), FALSE);
    form_->Register(this);
    AfterRealize();
}

void Control::SetFont(HFONT font) {
    ownFont_ = font;
    if (hwnd_)
        SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void Control::SetEnabled(bool enabled) {
    enabled_ = enabled;
    ApplyState();
}

void Control::SetVisible(bool visible) {
    visible_ = visible;
    ApplyState();
}

bool Control::EffectiveEnabled() const {
    return enabled_ && (!container_ || container_->EffectiveEnabled());
}

bool Control::EffectiveVisible() const {
    return visible_ && (!container_ || container_->EffectiveVisible());
}

bool Control::SetFocus() {
    if (!hwnd_ || !IsWindowVisible(hwnd_) || !IsWindowEnabled(hwnd_))
        return false;
    ::SetFocus(hwnd_);
    return GetFocus() == hwnd_;
}

HBRUSH Control::OnCtlColor(HDC dc, HBRUSH containerBrush, COLORREF containerColour) {
    SetBkColor(dc, containerColour);
    return containerBrush;
}

void Control::ApplyState() {
    if (!hwnd_)
        return;
    EnableWindow(hwnd_, EffectiveEnabled() ? TRUE : FALSE);
    const bool show = EffectiveVisible();
    if ((IsWindowVisible(hwnd_) != FALSE) != show || !show)
        ShowWindow(hwnd_, show ? SW_SHOWNA : SW_HIDE);
}

} // namespace tk
