#include "toolkit/combo_box.h"

namespace tk {

void ComboBox::Create(Form& form, Frame* container, TwipsRect rect) {
    // The window height includes the dropped-down list: room for 15 entries of about 200 twips
    // (a line of the form's font) before the list scrolls.
    TwipsRect withList = rect;
    withList.height = rect.height + 15 * 200;
    items_.clear();
    index_ = -1;
    CreateIn(form, container, "COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0,
             withList, FontKind::Normal);
}

void ComboBox::AfterRealize() {
    for (size_t i = 0; i < items_.size(); ++i) {
        SendMessageA(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(items_[i].first.c_str()));
        SendMessageA(hwnd_, CB_SETITEMDATA, i, static_cast<LPARAM>(items_[i].second));
    }
    SendMessageA(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(index_), 0);
}

int ComboBox::AddItem(const std::string& text) {
    if (!form_)
        return -1;
    items_.emplace_back(text, 0);
    if (hwnd_)
        SendMessageA(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    return static_cast<int>(items_.size()) - 1;
}

void ComboBox::Clear() {
    items_.clear();
    index_ = -1;
    if (hwnd_)
        SendMessageA(hwnd_, CB_RESETCONTENT, 0, 0);
}

std::string ComboBox::List(int index) const {
    if (index < 0 || index >= ListCount())
        return {};
    return items_[static_cast<size_t>(index)].first;
}

int ComboBox::ItemData(int index) const {
    if (index < 0 || index >= ListCount())
        return -1;
    return items_[static_cast<size_t>(index)].second;
}

void ComboBox::SetItemData(int index, int data) {
    if (index < 0 || index >= ListCount())
        return;
    items_[static_cast<size_t>(index)].second = data;
    if (hwnd_)
        SendMessageA(hwnd_, CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data));
}

void ComboBox::SetListIndex(int index) {
    if (!form_)
        return;
    index_ = index >= 0 && index < ListCount() ? index : -1;
    if (hwnd_)
        SendMessageA(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(index_), 0);
    if (Click)
        Click();
}

void ComboBox::OnCommand(WORD code) {
    if (code != CBN_SELCHANGE)
        return;
    index_ = static_cast<int>(SendMessageA(hwnd_, CB_GETCURSEL, 0, 0));
    if (Click)
        Click();
}

} // namespace tk
