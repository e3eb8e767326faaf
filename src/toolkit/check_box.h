#pragma once
// A two-state check box; Click runs also when the program changes the state.
#include "toolkit/control.h"

#include <functional>

namespace tk {

class CheckBox : public Control {
public:
    void Create(Form& form, Frame* container, const char* caption, TwipsRect rect);
    int Value() const { return value_; }
    void SetValue(int value);
    std::function<void()> Click;

    void OnCommand(WORD code) override;

protected:
    void AfterRealize() override;

private:
    int value_ = 0;
};

} // namespace tk
