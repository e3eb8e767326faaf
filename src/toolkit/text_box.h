#pragma once
// A single-line or multi-line text box (Enter makes a new line in a multi-line one).
#include "toolkit/control.h"

#include <functional>
#include <string>

namespace tk {

class TextBox : public Control {
public:
    void Create(Form& form, Frame* container, TwipsRect rect, bool multiLine);
    std::string Text() const;
    void SetText(const std::string& text);
    std::function<void()> GotFocus;

    void OnCommand(WORD code) override;

protected:
    void AfterRealize() override;

private:
    std::string text_;
};

} // namespace tk
