#include "toolkit/button.h"

namespace tk {

void Button::Create(Form& form, Frame* container, const char* caption, TwipsRect rect) {
    caption_ = caption;
    CreateIn(form, container, "BUTTON", caption, BS_PUSHBUTTON | WS_TABSTOP, 0, rect,
             FontKind::Normal);
}

void Button::OnCommand(WORD code) {
    if (code == BN_CLICKED && Click)
        Click();
}

} // namespace tk
