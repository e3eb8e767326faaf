#pragma once
// A top-level window of the program with its controls and timers: loading, showing (also
// modally, with a message loop of its own), closing with the reason why, and the routing of the
// messages that concern a control to that control.
#include "base/handle.h"
#include "toolkit/control.h"
#include "toolkit/window.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tk {

// Why a form is asked to close.
enum UnloadMode {
    kUnloadUser = 0,        // title bar, system menu or keyboard
    kUnloadCode = 1,        // the program's own Unload
    kUnloadSession = 2,     // the user logs off or Windows shuts down
    kUnloadTaskManager = 3, // a close request from outside: Task Manager, taskkill, an installer
};

class Form;

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
    // Makes the windows of all controls (done by whatever first shows the form).
    void CreateControlWindows();
    // Opens a popup menu at the mouse position; returns the chosen command or 0.
    UINT PopupMenu(HMENU menu);
    // The shell's notifications for the form's notification-area icon: each reaches
    // Form_MouseMove with the shell's mouse message in place of X, in twips. Real mouse moves
    // never reach it, whatever their position.
    void SetTrayCallback(UINT message, UINT iconId);
    // Hands a message that concerns one control (WM_COMMAND, WM_CTLCOLORSTATIC, WM_SETCURSOR)
    // to that control, for the form and for panels; `background` is the parent's. True when the
    // control took it, with the result to return.
    bool RouteToControl(UINT msg, WPARAM wParam, LPARAM lParam, HBRUSH background,
                        COLORREF backgroundColour, LRESULT& result);

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
    // Unloads on a close request from the title bar or from outside.
    void CloseOnRequest(int unloadMode);
    // The concerns of WindowProc, one each. Those that return bool: true when they took the
    // message, with the result to return.
    bool OnTrayMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    bool OnCloseRequest(UINT msg, WPARAM wParam, LRESULT& result);
    bool OnControlMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void OnTimer(UINT_PTR id);
    void OnDestroy();
    // The session ends: Form_Unload runs whatever it or Form_QueryUnload would prefer.
    void EndSessionUnload();

    const char* className_;
    std::string caption_;
    int clientWidthTwips_;
    int clientHeightTwips_;
    int iconResource_;
    base::unique_hicon iconBig_;
    base::unique_hicon iconSmall_;
    mutable base::unique_hfont fonts_[3];
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

} // namespace tk
