#pragma once
// A push button.
#include "toolkit/control.h"

#include <functional>
#include <string>

namespace tk {

class Button : public Control {
public:
    void Create(Form& form, Frame* container, const char* caption, TwipsRect rect);
    std::string Caption() const { return caption_; }
    std::function<void()> Click;

    void OnCommand(WORD code) override;

private:
    std::string caption_;
};

} // namespace tk
