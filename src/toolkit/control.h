#pragma once
// The base of the controls of a form.
//
// State kept until the window exists: a control is declared when its form loads, but gets its
// window only when the form is first shown (or its handle is asked for). Until then the wrapper
// keeps every property the program sets (text, entries, selection, state, enabled, visible)
// and hands them all to the window when it is made; afterwards each change goes to the window
// as well. Reading a property never needs the window, except what the user edits there. So a
// program that stays in the tray, or only applies a profile from the command line, never pays
// for the windows, the fonts or the common controls.
#include <windows.h>

#include <string>

namespace tk {

class Form;
class Frame;

struct TwipsRect {
    int left, top, width, height;
};

enum class FontKind { Normal, Bold, Italic };

class Control {
public:
    virtual ~Control() = default;
    Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // The control's window, made (with all its form's controls) on first use. Const all the
    // same: the windows only show the state the control keeps, so making them late changes
    // nothing a caller can read.
    HWND hwnd() const;
    bool Created() const { return hwnd_ != nullptr; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    // The state on screen: the control's own flag and those of every frame that holds it.
    bool EffectiveEnabled() const;
    bool EffectiveVisible() const;
    // Gives the control the input focus; false when it cannot take it (never shown, hidden,
    // disabled).
    bool SetFocus();
    // A font of the program's own instead of the form's (kept by the caller).
    void SetFont(HFONT font);

    // The messages its parent window receives about the control, handed on by the form.
    virtual void OnCommand(WORD /*code*/) {}
    // WM_CTLCOLORSTATIC: the brush the control is painted with, its container's by default.
    virtual HBRUSH OnCtlColor(HDC dc, HBRUSH containerBrush, COLORREF containerColour);
    // WM_SETCURSOR: true when the control set a cursor of its own.
    virtual bool OnSetCursor() { return false; }

protected:
    friend class Form;
    friend class Frame;
    // Declares the control; its window comes with the form's first showing.
    void CreateIn(Form& form, Frame* container, const char* className, const char* text,
                  DWORD style, DWORD exStyle, TwipsRect rect, FontKind font);
    // Makes the window and hands it the state kept so far.
    void Realize();
    virtual void AfterRealize() {}
    // The creation parameter of the window: the object of a window of the program's own class.
    virtual void* CreationParam() { return nullptr; }
    virtual void ApplyState();
    Form* form_ = nullptr;
    Frame* container_ = nullptr;
    HWND hwnd_ = nullptr;
    bool enabled_ = true;
    bool visible_ = true;

private:
    const char* className_ = nullptr;
    std::string text_;
    DWORD style_ = 0;
    DWORD exStyle_ = 0;
    TwipsRect rect_{};
    FontKind font_ = FontKind::Normal;
    HFONT ownFont_ = nullptr;
};

// The text of a window, for the controls whose text the user edits.
std::string WindowText(HWND hwnd);

} // namespace tk
