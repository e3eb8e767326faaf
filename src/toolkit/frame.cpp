#include "toolkit/frame.h"

#include "toolkit/form.h"

namespace tk {
namespace {
constexpr const char* kPanelClass = "IpshifterPanel";
}

void Frame::CreateGroup(Form& form, Frame* container, const char* caption, TwipsRect rect,
                        FontKind font) {
    isPanel_ = false;
    frameRect_ = rect;
    children_.clear();
    CreateIn(form, container, "BUTTON", caption, BS_GROUPBOX, 0, rect, font);
}

void Frame::CreatePanel(Form& form, Frame* container, TwipsRect rect, COLORREF background) {
    isPanel_ = true;
    frameRect_ = rect;
    children_.clear();
    RegisterWindowClass(kPanelClass, nullptr, 0);
    backgroundColour_ = background;
    background_.reset(CreateSolidBrush(background));
    CreateIn(form, container, kPanelClass, "", WS_CLIPCHILDREN, 0, rect, FontKind::Normal);
}

void* Frame::CreationParam() {
    return isPanel_ ? static_cast<Window*>(&panel_) : nullptr;
}

HWND Frame::ChildParent() const {
    if (isPanel_)
        return hwnd_;
    return container_ ? container_->ChildParent() : form_->hwnd();
}

POINT Frame::ChildOrigin() const {
    if (isPanel_)
        return POINT{0, 0};
    const POINT o = container_ ? container_->ChildOrigin() : POINT{0, 0};
    return POINT{o.x + frameRect_.left, o.y + frameRect_.top};
}

void Frame::ApplyState() {
    Control::ApplyState();
    for (Control* child : children_)
        child->ApplyState();
}

LRESULT Frame::PanelWindow::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_ERASEBKGND && frame_.background_) {
        RECT rc;
        GetClientRect(hwnd(), &rc);
        FillRect(reinterpret_cast<HDC>(wParam), &rc, frame_.background_.get());
        return 1;
    }
    LRESULT result = 0;
    if (frame_.form_ && frame_.form_->RouteToControl(msg, wParam, lParam, frame_.background_.get(),
                                                     frame_.backgroundColour_, result))
        return result;
    return Window::WindowProc(msg, wParam, lParam);
}

} // namespace tk
