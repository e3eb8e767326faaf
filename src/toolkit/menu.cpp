#include "toolkit/menu.h"

#include "base/platform.h"

#include <stdexcept>

namespace tk {

void MenuArray::Load(int index) {
    if (index != UBound() + 1)
        throw std::out_of_range("menu elements are added at the end");
    items_.push_back(items_.front());
}

void MenuArray::Unload(int index) {
    if (index < 1 || index != UBound())
        throw std::out_of_range("menu elements are removed from the top down");
    items_.pop_back();
}

void AppendMenuElement(HMENU menu, const MenuItem& item, UINT id) {
    if (!item.Visible)
        return;
    if (item.IsSeparator) {
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        return;
    }
    // A single "&" would underline the next letter and vanish itself.
    std::string text;
    for (char c : item.Caption) {
        if (c == '&')
            text += '&';
        text += c;
    }
    UINT flags = MF_STRING;
    if (!item.Enabled)
        flags |= MF_GRAYED;
    if (item.Checked)
        flags |= MF_CHECKED;
    AppendMenuA(menu, flags, id, text.c_str());
}

UINT TrackPopup(HMENU menu, HWND owner, POINT pos) {
    // Without the foreground, the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(owner);
    const auto command = static_cast<UINT>(platform::Current().TrackPopupMenu(
        menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, pos.x, pos.y, 0, owner, nullptr));
    PostMessageA(owner, WM_NULL, 0, 0);
    return command;
}

} // namespace tk
