#include "toolkit/text_box.h"

namespace tk {

void TextBox::Create(Form& form, Frame* container, TwipsRect rect, bool multiLine) {
    DWORD style = WS_TABSTOP;
    style |=
        multiLine ? ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL : ES_AUTOHSCROLL;
    text_.clear();
    CreateIn(form, container, "EDIT", "", style, WS_EX_CLIENTEDGE, rect, FontKind::Normal);
}

void TextBox::AfterRealize() {
    SetWindowTextA(hwnd_, text_.c_str());
}

// Once on screen the user edits the window's text; until then only the program sets it.
std::string TextBox::Text() const {
    return hwnd_ ? WindowText(hwnd_) : text_;
}

void TextBox::SetText(const std::string& text) {
    text_ = text;
    if (hwnd_)
        SetWindowTextA(hwnd_, text.c_str());
}

void TextBox::OnCommand(WORD code) {
    if (code == EN_SETFOCUS && GotFocus)
        GotFocus();
}

} // namespace tk
