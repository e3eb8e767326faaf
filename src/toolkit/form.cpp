#include "toolkit/form.h"

#include <commctrl.h>

#include "base/scope_exit.h"
#include "toolkit/app.h"
#include "toolkit/frame.h"
#include "toolkit/menu.h"

#include <algorithm>
#include <set>
#include <stdexcept>

namespace tk {
namespace {

// Never destroyed: a form held in a static slot (the About window's) ends during the program's
// exit, after a static set made later would be gone, and still takes itself out of it.
std::set<Form*>& LiveForms() {
    static auto* forms = new std::set<Form*>;
    return *forms;
}

// The visual-style controls come from the common controls library, loaded only when a window
// first shows its controls. It stays loaded for the rest of the run: its classes are in use.
void LoadCommonControls() {
    static bool done = false;
    if (done)
        return;
    done = true;
    HMODULE library = LoadLibraryA("comctl32.dll");
    using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    auto init = library ? reinterpret_cast<InitFn>(reinterpret_cast<void*>(
                              GetProcAddress(library, "InitCommonControlsEx")))
                        : nullptr;
    if (init) {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
        init(&icc);
    }
}

} // namespace

void Timer::Create(Form& form) {
    form_ = &form;
    if (!id_)
        id_ = form.NextTimerId();
    form.timers_[id_] = this;
    interval_ = 0;
    enabled_ = true;
}

void Timer::SetInterval(int milliseconds) {
    interval_ = milliseconds < 0 ? 0 : milliseconds;
    Apply();
}

void Timer::SetEnabled(bool enabled) {
    enabled_ = enabled;
    Apply();
}

void Timer::Apply() {
    if (!form_ || !form_->hwnd())
        return;
    if (enabled_ && interval_ > 0)
        SetTimer(form_->hwnd(), id_, static_cast<UINT>(interval_), nullptr);
    else
        KillTimer(form_->hwnd(), id_);
}

Form::Form(const char* className, const char* caption, int clientWidthTwips, int clientHeightTwips,
           int iconResource)
    : className_(className), caption_(caption), clientWidthTwips_(clientWidthTwips),
      clientHeightTwips_(clientHeightTwips), iconResource_(iconResource) {
    LiveForms().insert(this);
}

Form::~Form() {
    LiveForms().erase(this);
    // The derived form's controls and timers are gone already: the window must not reach them.
    controls_.clear();
    declared_.clear();
    timers_.clear();
    DestroyThis();
}

HFONT Form::Font(FontKind kind) const {
    auto& font = fonts_[static_cast<int>(kind)];
    if (!font) {
        // Tahoma 8.25 pt at the screen's real DPI.
        LOGFONTA lf{};
        lf.lfHeight = -MulDiv(825, ScreenDpi(), 7200);
        lf.lfWeight = kind == FontKind::Bold ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = kind == FontKind::Italic;
        lf.lfCharSet = DEFAULT_CHARSET;
        lf.lfQuality = DEFAULT_QUALITY;
        lstrcpynA(lf.lfFaceName, "Tahoma", LF_FACESIZE);
        font.reset(CreateFontIndirectA(&lf));
    }
    return font.get();
}

void Form::Declare(Control* control) {
    declared_.push_back(control);
}

void Form::Register(Control* control) {
    controls_[control->hwnd_] = control;
}

void Form::CreateControlWindows() {
    if (controlsCreated_ || !Loaded())
        return;
    // Set before the first window: making one asks for the others through Control::hwnd().
    controlsCreated_ = true;
    // A control that cannot be made leaves the rest to the next showing.
    auto unfinished = base::scope_exit([this] { controlsCreated_ = false; });
    LoadCommonControls();
    for (Control* control : declared_) {
        if (!control->hwnd_)
            control->Realize();
    }
    unfinished.release();
    // Group boxes lie beneath the controls they frame, and beneath the group boxes they hold
    // (a sibling above would clip them away); panels cover everything.
    std::vector<std::pair<int, HWND>> groups;
    for (Control* control : declared_) {
        auto* frame = dynamic_cast<Frame*>(control);
        if (!frame)
            continue;
        if (frame->IsPanel()) {
            SetWindowPos(frame->hwnd_, HWND_TOP, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            continue;
        }
        int depth = 0;
        for (const Frame* outer = frame->container_; outer; outer = outer->container_)
            ++depth;
        groups.emplace_back(depth, frame->hwnd_);
    }
    // Innermost first: each later one goes beneath it.
    std::stable_sort(groups.begin(), groups.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& group : groups)
        SetWindowPos(group.second, HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Form::Load() {
    if (Loaded())
        return;
    RegisterWindowClass(className_, GetSysColorBrush(COLOR_BTNFACE), iconResource_);

    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    const DWORD exStyle = WS_EX_CONTROLPARENT;
    RECT rc{0, 0, TwipsToPixels(clientWidthTwips_), TwipsToPixels(clientHeightTwips_)};
    AdjustWindowRectEx(&rc, style, FALSE, exStyle);
    // The window's own size: the client area above, plus the caption and borders around it.
    const int windowWidth = rc.right - rc.left;
    const int windowHeight = rc.bottom - rc.top;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + std::max(0L, (work.right - work.left - windowWidth) / 2);
    const int y = work.top + std::max(0L, (work.bottom - work.top - windowHeight) / 2);
    if (!CreateThis(exStyle, className_, caption_.c_str(), style, x, y, windowWidth, windowHeight,
                    nullptr))
        throw std::runtime_error("window not created");
    // At the sizes the window's dpi asks for: drawn pictures, not scaled ones.
    if (iconResource_) {
        iconBig_.reset(LoadIconForDpi(iconResource_, WindowDpi(hwnd()), false));
        iconSmall_.reset(LoadIconForDpi(iconResource_, WindowDpi(hwnd()), true));
    }
    SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(iconBig_.get()));
    SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(iconSmall_.get()));

    controls_.clear();
    declared_.clear();
    controlsCreated_ = false;
    nextId_ = 1000;
    CreateControls();
    for (auto& [id, timer] : timers_)
        timer->Apply();
    RegisterDialogWindow(hwnd());
    Form_Load();
}

void Form::Show() {
    if (!Loaded())
        Load();
    if (!Loaded())
        return;
    CreateControlWindows();
    ShowWindow(hwnd(), SW_SHOW);
    SetForegroundWindow(hwnd());
}

bool Form::ShowModal() {
    if (!Loaded())
        Load();
    if (!Loaded() || inModal_ || IsWindowVisible(hwnd()))
        return false;
    // The other forms take no input while this one is up, and get it back however it ends.
    std::vector<HWND> disabled;
    auto enableOthers = base::scope_exit([&disabled] {
        for (HWND h : disabled) {
            if (IsWindow(h))
                EnableWindow(h, TRUE);
        }
    });
    for (Form* other : LiveForms()) {
        if (other != this && other->Loaded() && IsWindowEnabled(other->hwnd())) {
            EnableWindow(other->hwnd(), FALSE);
            disabled.push_back(other->hwnd());
        }
    }
    inModal_ = true;
    auto leaveModal = base::scope_exit([this] { inModal_ = false; });
    CreateControlWindows();
    ShowWindow(hwnd(), SW_SHOW);
    SetForegroundWindow(hwnd());
    RunMessageLoopUntil([this] { return !Loaded() || !IsWindowVisible(hwnd()); });
    return true;
}

void Form::Hide() {
    if (Loaded())
        ShowWindow(hwnd(), SW_HIDE);
}

bool Form::Visible() const {
    return Loaded() && IsWindowVisible(hwnd());
}

bool Form::Enabled() const {
    return Loaded() && IsWindowEnabled(hwnd());
}

void Form::SetEnabled(bool enabled) {
    if (Loaded())
        EnableWindow(hwnd(), enabled ? TRUE : FALSE);
}

bool Form::Unload(int unloadMode) {
    if (!Loaded())
        return true;
    return RunUnload(unloadMode);
}

void Form::EndSessionUnload() {
    if (unloading_)
        return;
    unloading_ = true;
    auto unloaded = base::scope_exit([this] { unloading_ = false; });
    int cancel = 0;
    try {
        Form_Unload(cancel);
    } catch (...) {
        OutputDebugStringA("Ipshifter: unloading at the end of the session failed\n");
    }
}

bool Form::RunUnload(int unloadMode) {
    if (unloading_)
        return false;
    int cancel = 0;
    Form_QueryUnload(cancel, unloadMode);
    if (cancel)
        return false;
    {
        // A Form_Unload that fails leaves the form loaded, and able to close another time.
        unloading_ = true;
        auto unloaded = base::scope_exit([this] { unloading_ = false; });
        Form_Unload(cancel);
    }
    if (cancel)
        return false;
    DestroyThis();
    return true;
}

void Form::SetTrayCallback(UINT message, UINT iconId) {
    trayMessage_ = message;
    trayIconId_ = iconId;
}

bool Form::RouteToControl(UINT msg, WPARAM wParam, LPARAM lParam, HBRUSH background,
                          COLORREF backgroundColour, LRESULT& result) {
    HWND about = nullptr;
    if (msg == WM_COMMAND || msg == WM_CTLCOLORSTATIC)
        about = reinterpret_cast<HWND>(lParam);
    else if (msg == WM_SETCURSOR)
        about = reinterpret_cast<HWND>(wParam);
    if (!about)
        return false;
    const auto it = controls_.find(about);
    if (it == controls_.end())
        return false;
    Control* control = it->second;
    switch (msg) {
    case WM_COMMAND:
        control->OnCommand(HIWORD(wParam));
        result = 0;
        return true;
    case WM_CTLCOLORSTATIC:
        result = reinterpret_cast<LRESULT>(
            control->OnCtlColor(reinterpret_cast<HDC>(wParam), background, backgroundColour));
        return true;
    default:
        if (!control->OnSetCursor())
            return false;
        result = TRUE;
        return true;
    }
}

UINT Form::PopupMenu(HMENU menu) {
    POINT pt{};
    GetCursorPos(&pt);
    return TrackPopup(menu, hwnd(), pt);
}

bool Form::OnTrayMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (trayMessage_ == 0 || msg != trayMessage_)
        return false;
    if (wParam == trayIconId_) {
        const auto mouseMessage = static_cast<float>(LOWORD(lParam));
        Form_MouseMove(0, 0, mouseMessage * TwipsPerPixelX(), 0.0f);
    }
    return true;
}

void Form::CloseOnRequest(int unloadMode) {
    // A close whose handlers fail leaves the form as it was: the default handling of the message
    // would destroy the window under a program that goes on running, its icon in the tray.
    try {
        RunUnload(unloadMode);
    } catch (...) {
        OutputDebugStringA("Ipshifter: closing the window failed\n");
    }
}

bool Form::OnCloseRequest(UINT msg, WPARAM wParam, LRESULT& result) {
    result = 0;
    switch (msg) {
    case WM_SYSCOMMAND:
        // The title bar's close box, the system menu and Alt+F4 all come this way; a bare
        // WM_CLOSE comes from outside (Task Manager, taskkill, an installer).
        if ((wParam & 0xFFF0) != SC_CLOSE)
            return false;
        CloseOnRequest(kUnloadUser);
        return true;
    case WM_CLOSE:
        CloseOnRequest(kUnloadTaskManager);
        return true;
    case WM_QUERYENDSESSION:
        // The session's end is never refused or held up, whatever the form would prefer.
        try {
            int cancel = 0;
            Form_QueryUnload(cancel, kUnloadSession);
        } catch (...) {
            OutputDebugStringA("Ipshifter: a handler failed at the end of the session\n");
        }
        result = TRUE;
        return true;
    case WM_ENDSESSION:
        if (wParam)
            EndSessionUnload();
        return true;
    default:
        return false;
    }
}

bool Form::OnControlMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (msg != WM_COMMAND && msg != WM_CTLCOLORSTATIC && msg != WM_SETCURSOR)
        return false;
    if (RouteToControl(msg, wParam, lParam, GetSysColorBrush(COLOR_BTNFACE),
                       GetSysColor(COLOR_BTNFACE), result))
        return true;
    if (msg == WM_COMMAND && lParam == 0 && HIWORD(wParam) == 0) {
        OnMenuCommand(LOWORD(wParam));
        result = 0;
        return true;
    }
    return false;
}

void Form::OnTimer(UINT_PTR id) {
    auto it = timers_.find(id);
    if (it != timers_.end() && it->second->Tick)
        it->second->Tick();
}

void Form::OnDestroy() {
    UnregisterDialogWindow(hwnd());
    for (auto& [id, timer] : timers_)
        KillTimer(hwnd(), id);
    for (auto& [h, control] : controls_)
        control->hwnd_ = nullptr;
    controls_.clear();
    controlsCreated_ = false;
}

LRESULT Form::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (OnTrayMessage(msg, wParam, lParam))
        return 0;
    if (OnCloseRequest(msg, wParam, result) || OnControlMessage(msg, wParam, lParam, result))
        return result;
    switch (msg) {
    case WM_SHOWWINDOW:
        // However the window comes to be shown (by the program, from outside, by the shell),
        // its controls are there when it does.
        if (wParam)
            CreateControlWindows();
        break;
    case WM_WINDOWPOSCHANGING:
        if (reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW)
            CreateControlWindows();
        break;
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case WM_DESTROY:
        OnDestroy();
        break;
    }
    return Window::WindowProc(msg, wParam, lParam);
}

} // namespace tk
