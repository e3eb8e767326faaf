#pragma once
// The window toolkit: a form (top-level window) holding non-owning wrappers of its controls.
// Positions are given in twips and converted with the screen's real DPI. Handlers are plain
// std::function members; no exception ever leaves a window procedure.
#include <windows.h>

#include "toolkit/handle.h"

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tk {

// Why a form is asked to close.
enum UnloadMode {
    kUnloadUser = 0,        // title bar, system menu or keyboard
    kUnloadCode = 1,        // the program's own Unload
    kUnloadSession = 2,     // the user logs off or Windows shuts down
    kUnloadTaskManager = 3, // a close request from outside: Task Manager, taskkill, an installer
};

struct TwipsRect {
    int left, top, width, height;
};

enum class FontKind { Normal, Bold, Italic };

// Screen metrics, as the toolkit converts them.
int ScreenDpi();
float TwipsPerPixelX();
int TwipsToPixels(int twips);

// Owns one window handle and routes its messages to WindowProc through one static trampoline.
class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND hwnd() const { return hwnd_; }

protected:
    static void RegisterClassOnce(const char* className, HBRUSH background, HICON icon);
    bool CreateThis(DWORD exStyle, const char* className, const char* title, DWORD style, int x,
                    int y, int width, int height, HWND parent);
    void DestroyThis();
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK Trampoline(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
};

class Form;
class Frame;

// A control of a form. Its window is made only when the form is first shown (or when its
// handle is asked for): until then the wrapper keeps the control's state, so a program that
// stays in the tray, or only applies a profile from the command line, never pays for the
// windows, the fonts or the common controls.
class Control {
public:
    virtual ~Control() = default;
    Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // The control's window, made (with all its form's controls) on first use.
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

protected:
    friend class Form;
    friend class Frame;
    // Declares the control; its window comes with the form's first showing.
    void CreateIn(Form& form, Frame* container, const char* className, const char* text,
                  DWORD style, DWORD exStyle, TwipsRect rect, FontKind font);
    // Makes the window and hands it the state kept so far.
    void Realize();
    virtual void AfterRealize() {}
    virtual void OnCommand(WORD) {}
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

// A group frame. Its Enabled and Visible carry over to the controls it holds. A group box is a
// sibling of its controls (so that one tab order runs through all frames); a panel is their
// real parent and paints its own background.
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
    void AfterRealize() override;

private:
    friend class Control;
    static LRESULT CALLBACK PanelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    std::vector<Control*> children_;
    bool isPanel_ = false;
    TwipsRect frameRect_{};
    unique_hbrush background_;
};

class Label : public Control {
public:
    enum class Align { Left, Right, Center };
    void Create(Form& form, Frame* container, const char* caption, TwipsRect rect,
                Align align = Align::Left, FontKind font = FontKind::Normal);
    std::string Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    std::function<void()> Click;

protected:
    void OnCommand(WORD code) override;
    void AfterRealize() override;

private:
    std::string caption_;
    bool growsLeft_ = false;
};

// A picture without border (an icon or a bitmap).
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

class Button : public Control {
public:
    void Create(Form& form, Frame* container, const char* caption, TwipsRect rect);
    std::string Caption() const { return caption_; }
    std::function<void()> Click;

protected:
    void OnCommand(WORD code) override;

private:
    std::string caption_;
};

// A two-state check box; Click runs also when the program changes the state.
class CheckBox : public Control {
public:
    void Create(Form& form, Frame* container, const char* caption, TwipsRect rect);
    int Value() const;
    void SetValue(int value);
    std::function<void()> Click;

protected:
    void OnCommand(WORD code) override;
    void AfterRealize() override;

private:
    int value_ = 0;
};

class TextBox : public Control {
public:
    void Create(Form& form, Frame* container, TwipsRect rect, bool multiLine);
    std::string Text() const;
    void SetText(const std::string& text);
    std::function<void()> GotFocus;

protected:
    void OnCommand(WORD code) override;
    void AfterRealize() override;

private:
    std::string text_;
};

// A drop-down list without free text; each entry carries 32-bit item data. Click runs when the
// user picks an entry and when the program sets the selection, not when the list is emptied.
class ComboBox : public Control {
public:
    void Create(Form& form, Frame* container, TwipsRect rect);
    // Appends an entry and returns its position (the "new index").
    int AddItem(const std::string& text);
    void Clear();
    int ListCount() const;
    std::string List(int index) const;
    int ItemData(int index) const;
    void SetItemData(int index, int data);
    int ListIndex() const;
    void SetListIndex(int index);
    // The text of the selected entry, or the empty text.
    std::string Text() const;
    std::function<void()> Click;

protected:
    void OnCommand(WORD code) override;
    void AfterRealize() override;

private:
    // The entries are kept here as well: reading them never needs the window.
    std::vector<std::pair<std::string, int>> items_;
    int index_ = -1;
};

// A timer of its form; interval 0 never fires.
class Timer {
public:
    void Create(Form& form);
    int Interval() const { return interval_; }
    void SetInterval(int milliseconds);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    std::function<void()> Tick;

private:
    friend class Form;
    void Apply();
    Form* form_ = nullptr;
    UINT_PTR id_ = 0;
    int interval_ = 0;
    bool enabled_ = true;
};

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

// A top-level window of the program with its controls.
class Form : public Window {
public:
    ~Form() override;
    bool Loaded() const { return hwnd() != nullptr; }
    // Creates the window and its controls (hidden), then runs Form_Load.
    void Load();
    void Show();
    // Shows the form and waits until it is hidden or unloaded; false when it cannot be shown
    // modally (for instance because it is already on screen).
    bool ShowModal();
    void Hide();
    bool Visible() const;
    bool Enabled() const;
    void SetEnabled(bool enabled);
    // Asks the form to close with the given reason; false when Form_QueryUnload refused.
    bool Unload(int unloadMode = kUnloadCode);
    HICON Icon() const { return iconBig_.get(); }
    HICON SmallIcon() const { return iconSmall_.get(); }
    // Tahoma 8.25 pt in the given style, made on first use.
    HFONT Font(FontKind kind) const;
    // Makes the windows of all controls (done by the first showing).
    void CreateControlWindows();
    // Opens a popup menu at the mouse position; returns the chosen command or 0.
    UINT PopupMenu(HMENU menu);
    // The shell's notifications for the form's notification-area icon: each reaches
    // Form_MouseMove with the shell's mouse message in place of X, in twips. Real mouse moves
    // never reach it, whatever their position.
    void SetTrayCallback(UINT message, UINT iconId);

protected:
    Form(const char* className, const char* caption, int clientWidthTwips, int clientHeightTwips,
         int iconResource);
    // Builds the controls; runs on every load.
    virtual void CreateControls() = 0;
    virtual void Form_Load() {}
    virtual void Form_QueryUnload(int& /*cancel*/, int /*unloadMode*/) {}
    virtual void Form_Unload(int& /*cancel*/) {}
    virtual void Form_MouseMove(int /*button*/, int /*shift*/, float /*x*/, float /*y*/) {}
    // A command from a popup menu or another source without a control.
    virtual void OnMenuCommand(UINT /*id*/) {}
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    friend class Control;
    friend class Timer;
    void Declare(Control* control);
    void Register(Control* control);
    int NextControlId() { return nextId_++; }
    UINT_PTR NextTimerId() { return nextTimerId_++; }
    bool RunUnload(int unloadMode);
    // The session ends: Form_Unload runs whatever it or Form_QueryUnload would prefer.
    void EndSessionUnload();

    const char* className_;
    std::string caption_;
    int clientWidthTwips_;
    int clientHeightTwips_;
    int iconResource_;
    unique_hicon iconBig_;
    unique_hicon iconSmall_;
    mutable unique_hfont fonts_[3];
    std::vector<Control*> declared_;
    bool controlsCreated_ = false;
    std::map<HWND, Control*> controls_;
    std::map<UINT_PTR, Timer*> timers_;
    int nextId_ = 1000;
    UINT_PTR nextTimerId_ = 1;
    bool inModal_ = false;
    bool unloading_ = false;
    UINT trayMessage_ = 0;
    UINT trayIconId_ = 0;
};

// Appends a menu element to a Win32 menu: a separator, or its caption shown as it is (an "&"
// stays an ampersand, not a mnemonic mark). Hidden elements are left out.
void AppendMenuElement(HMENU menu, const MenuItem& item, UINT id);

} // namespace tk
