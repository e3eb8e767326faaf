#pragma once
// A drop-down list without free text; each entry carries 32-bit item data. Click runs when the
// user picks an entry and when the program sets the selection, not when the list is emptied.
#include "toolkit/control.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tk {

class ComboBox : public Control {
public:
    void Create(Form& form, Frame* container, TwipsRect rect);
    // Appends an entry and returns its position (the "new index").
    int AddItem(const std::string& text);
    void Clear();
    int ListCount() const { return static_cast<int>(items_.size()); }
    std::string List(int index) const;
    int ItemData(int index) const;
    void SetItemData(int index, int data);
    int ListIndex() const { return index_; }
    void SetListIndex(int index);
    // The text of the selected entry, or the empty text.
    std::string Text() const { return List(ListIndex()); }
    std::function<void()> Click;

    void OnCommand(WORD code) override;

protected:
    void AfterRealize() override;

private:
    // The entries are kept here as well: reading them never needs the window (which also cuts
    // long entries short under Wine).
    std::vector<std::pair<std::string, int>> items_;
    int index_ = -1;
};

} // namespace tk
