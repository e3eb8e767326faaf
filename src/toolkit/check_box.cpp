#include "toolkit/check_box.h"

namespace tk {

void CheckBox::Create(Form& form, Frame* container, const char* caption, TwipsRect rect) {
    value_ = 0;
    CreateIn(form, container, "BUTTON", caption, BS_AUTOCHECKBOX | WS_TABSTOP, 0, rect,
             FontKind::Normal);
}

void CheckBox::AfterRealize() {
    SendMessageA(hwnd_, BM_SETCHECK, value_ ? BST_CHECKED : BST_UNCHECKED, 0);
}

void CheckBox::SetValue(int value) {
    const int v = value ? 1 : 0;
    if (!form_ || v == value_)
        return;
    value_ = v;
    if (hwnd_)
        SendMessageA(hwnd_, BM_SETCHECK, v ? BST_CHECKED : BST_UNCHECKED, 0);
    if (Click)
        Click();
}

void CheckBox::OnCommand(WORD code) {
    if (code != BN_CLICKED)
        return;
    value_ = SendMessageA(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    if (Click)
        Click();
}

} // namespace tk
