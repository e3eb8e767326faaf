#pragma once
// A picture without border: an icon or a bitmap (kept by the caller).
#include "toolkit/control.h"

namespace tk {

class Image : public Control {
public:
    void CreateIcon(Form& form, Frame* container, HICON icon, TwipsRect rect);
    void CreateBitmap(Form& form, Frame* container, HBITMAP bitmap, TwipsRect rect);

protected:
    void AfterRealize() override;

private:
    HICON icon_ = nullptr;
    HBITMAP bitmap_ = nullptr;
};

} // namespace tk
