#pragma once
// Group frames and panels. A frame's Enabled and Visible carry over to the controls it holds. A
// group box is a sibling of its controls (so that one tab order runs through all frames); a
// panel is their real parent and paints its own background.
#include "base/handle.h"
#include "toolkit/control.h"
#include "toolkit/window.h"

#include <vector>

namespace tk {

class Frame : public Control {
public:
    void CreateGroup(Form& form, Frame* container, const char* caption, TwipsRect rect,
                     FontKind font);
    void CreatePanel(Form& form, Frame* container, TwipsRect rect, COLORREF background);
    // Parent window and origin (in twips, relative to that parent) for the controls inside.
    HWND ChildParent() const;
    POINT ChildOrigin() const;
    bool IsPanel() const { return isPanel_; }

protected:
    void ApplyState() override;
    void* CreationParam() override;

private:
    friend class Control;
    // The panel's own window, which hands its children's messages to them like a form does.
    class PanelWindow : public Window {
    public:
        explicit PanelWindow(Frame& frame) : frame_(frame) {}

    protected:
        LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    private:
        Frame& frame_;
    };

    std::vector<Control*> children_;
    bool isPanel_ = false;
    TwipsRect frameRect_{};
    COLORREF backgroundColour_ = 0;
    base::unique_hbrush background_;
    PanelWindow panel_{*this};
};

} // namespace tk
