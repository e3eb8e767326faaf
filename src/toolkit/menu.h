#pragma once
// Menus: the elements the program keeps (one item, or a control array of items), the Win32 popup
// built from them, and the popup itself, which is a menu and not a dialog.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace tk {

// One element of a menu: the properties that a popup built from it shows.
struct MenuItem {
    explicit MenuItem(std::string caption = {}, bool visible = true, bool enabled = true,
                      bool checked = false, std::string tag = {})
        : Caption(std::move(caption)), Visible(visible), Enabled(enabled), Checked(checked),
          Tag(std::move(tag)) {}
    // A separator line; its caption is never shown.
    static MenuItem Separator() {
        MenuItem item("-");
        item.IsSeparator = true;
        return item;
    }
    std::string Caption;
    bool IsSeparator = false;
    bool Visible = true;
    bool Enabled = true;
    bool Checked = false;
    std::string Tag;
};

// A menu control array: element 0 exists from the start; further elements are created with its
// properties and removed again, from the top down.
class MenuArray {
public:
    explicit MenuArray(MenuItem element0) : items_{std::move(element0)} {}
    int UBound() const { return static_cast<int>(items_.size()) - 1; }
    MenuItem& operator[](int index) { return items_.at(static_cast<size_t>(index)); }
    const MenuItem& operator[](int index) const { return items_.at(static_cast<size_t>(index)); }
    // Creates element UBound()+1 as a copy of element 0.
    void Load(int index);
    // Removes the highest element; element 0 is never removed.
    void Unload(int index);

private:
    std::vector<MenuItem> items_;
};

// Appends a menu element to a Win32 menu: a separator, or its caption shown as it is (an "&"
// stays an ampersand, not a mnemonic mark). Hidden elements are left out.
void AppendMenuElement(HMENU menu, const MenuItem& item, UINT id);

// Opens a popup menu at a screen position for its owner window and returns the chosen command,
// 0 for none.
UINT TrackPopup(HMENU menu, HWND owner, POINT screenPos);

} // namespace tk
