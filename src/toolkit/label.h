#pragma once
// A label: a caption, optionally clickable, optionally drawn as a link (its own text colour and
// cursor).
#include "toolkit/control.h"

#include <functional>
#include <optional>
#include <string>

namespace tk {

class Label : public Control {
public:
    enum class Align { Left, Right, Center };
    void Create(Form& form, Frame* container, const char* caption, TwipsRect rect,
                Align align = Align::Left, FontKind font = FontKind::Normal);
    std::string Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    void SetTextColour(COLORREF colour);
    // The cursor over the label (kept by the caller); the window's own when none is set.
    void SetCursor(HCURSOR cursor) { cursor_ = cursor; }
    std::function<void()> Click;

    void OnCommand(WORD code) override;
    HBRUSH OnCtlColor(HDC dc, HBRUSH containerBrush, COLORREF containerColour) override;
    bool OnSetCursor() override;

protected:
    void AfterRealize() override;

private:
    std::string caption_;
    bool growsLeft_ = false;
    std::optional<COLORREF> textColour_;
    HCURSOR cursor_ = nullptr;
};

} // namespace tk
