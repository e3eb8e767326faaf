#include "toolkit/window.h"

#include <commctrl.h>

#include "toolkit/app.h"
#include "toolkit/dialogs.h"

#include <algorithm>
#include <set>
#include <stdexcept>

namespace tk {
namespace {

std::set<Form*>& LiveForms() {
    static std::set<Form*> forms;
    return forms;
}

std::string WindowText(HWND hwnd) {
    if (!hwnd)
        return {};
    int len = GetWindowTextLengthA(hwnd);
    if (len <= 0)
        return {};
    std::string text(static_cast<size_t>(len) + 1, '\0');
    int got = GetWindowTextA(hwnd, text.data(), len + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}

constexpr const char* kPanelClass = "IpshifterPanel";

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

int ScreenDpi() {
    static int dpi = [] {
        HDC dc = GetDC(nullptr);
        int v = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
        if (dc)
            ReleaseDC(nullptr, dc);
        return v > 0 ? v : 96;
    }();
    return dpi;
}

float TwipsPerPixelX() {
    return 1440.0f / static_cast<float>(ScreenDpi());
}

int TwipsToPixels(int twips) {
    return MulDiv(twips, ScreenDpi(), 1440);
}

// ---- Window ----

Window::~Window() {
    DestroyThis();
}

void Window::RegisterClassOnce(const char* className, HBRUSH background, HICON icon) {
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof(existing);
    HINSTANCE inst = GetModuleHandleA(nullptr);
    if (GetClassInfoExA(inst, className, &existing))
        return;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = Trampoline;
    wc.hInstance = inst;
    wc.hIcon = icon;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    RegisterClassExA(&wc);
}

bool Window::CreateThis(DWORD exStyle, const char* className, const char* title, DWORD style, int x,
                        int y, int width, int height, HWND parent) {
    HWND h = CreateWindowExA(exStyle, className, title, style, x, y, width, height, parent, nullptr,
                             GetModuleHandleA(nullptr), this);
    return h != nullptr;
}

void Window::DestroyThis() {
    if (hwnd_)
        DestroyWindow(hwnd_);
}

LRESULT Window::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd_, msg, wParam, lParam);
}

LRESULT CALLBACK Window::Trampoline(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* self = nullptr;
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
        self = static_cast<Window*>(cs->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    }
    if (!self)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    LRESULT result = 0;
    try {
        result = self->WindowProc(msg, wParam, lParam);
    } catch (...) {
        // A failing handler must not unwind through the window system; the message then gets
        // the handling Windows gives it by default (which, for one, lets a log-off go on).
        OutputDebugStringA("Ipshifter: a window message handler failed\n");
        result = DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    return result;
}

// ---- Control ----

void Control::CreateIn(Form& form, Frame* container, const char* className, const char* text,
                       DWORD style, DWORD exStyle, TwipsRect rect, FontKind font) {
    form_ = &form;
    container_ = container;
    hwnd_ = nullptr;
    enabled_ = true;
    visible_ = true;
    className_ = className;
    text_ = text;
    style_ = style;
    exStyle_ = exStyle;
    rect_ = rect;
    font_ = font;
    ownFont_ = nullptr;
    if (container)
        container->children_.push_back(this);
    form.Declare(this);
}

HWND Control::hwnd() const {
    if (!hwnd_ && form_ && form_->Loaded())
        form_->CreateControlWindows();
    return hwnd_;
}

void Control::Realize() {
    HWND parent = container_ ? container_->ChildParent() : form_->hwnd();
    POINT origin = container_ ? container_->ChildOrigin() : POINT{0, 0};
    hwnd_ = CreateWindowExA(
        exStyle_, className_, text_.c_str(),
        style_ | WS_CHILD | WS_CLIPSIBLINGS | (EffectiveVisible() ? WS_VISIBLE : 0) |
            (EffectiveEnabled() ? 0 : WS_DISABLED),
        TwipsToPixels(origin.x + rect_.left), TwipsToPixels(origin.y + rect_.top),
        TwipsToPixels(rect_.width), TwipsToPixels(rect_.height), parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(form_->NextControlId())),
        GetModuleHandleA(nullptr), nullptr);
    if (!hwnd_)
        throw std::runtime_error("control not created");
    // Creation order is the tab order: each control goes below the ones made before it.
    SetWindowPos(hwnd_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SendMessageA(hwnd_, WM_SETFONT,
                 reinterpret_cast<WPARAM>(ownFont_ ? ownFont_ : form_->Font(font_)), FALSE);
    form_->Register(this);
    AfterRealize();
}

void Control::SetFont(HFONT font) {
    ownFont_ = font;
    if (hwnd_)
        SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void Control::SetEnabled(bool enabled) {
    enabled_ = enabled;
    ApplyState();
}

void Control::SetVisible(bool visible) {
    visible_ = visible;
    ApplyState();
}

bool Control::EffectiveEnabled() const {
    return enabled_ && (!container_ || container_->EffectiveEnabled());
}

bool Control::EffectiveVisible() const {
    return visible_ && (!container_ || container_->EffectiveVisible());
}

bool Control::SetFocus() {
    if (!hwnd_ || !IsWindowVisible(hwnd_) || !IsWindowEnabled(hwnd_))
        return false;
    ::SetFocus(hwnd_);
    return GetFocus() == hwnd_;
}

void Control::ApplyState() {
    if (!hwnd_)
        return;
    EnableWindow(hwnd_, EffectiveEnabled() ? TRUE : FALSE);
    bool show = EffectiveVisible();
    if ((IsWindowVisible(hwnd_) != FALSE) != show || !show)
        ShowWindow(hwnd_, show ? SW_SHOWNA : SW_HIDE);
}

// ---- Frame ----

void Frame::CreateGroup(Form& form, Frame* container, const char* caption, TwipsRect rect,
                        FontKind font) {
    isPanel_ = false;
    frameRect_ = rect;
    children_.clear();
    CreateIn(form, container, "BUTTON", caption, BS_GROUPBOX, 0, rect, font);
}

void Frame::CreatePanel(Form& form, Frame* container, TwipsRect rect, COLORREF background) {
    isPanel_ = true;
    frameRect_ = rect;
    children_.clear();
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof(existing);
    HINSTANCE inst = GetModuleHandleA(nullptr);
    if (!GetClassInfoExA(inst, kPanelClass, &existing)) {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = PanelProc;
        wc.hInstance = inst;
        wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        wc.lpszClassName = kPanelClass;
        RegisterClassExA(&wc);
    }
    background_.reset(CreateSolidBrush(background));
    CreateIn(form, container, kPanelClass, "", WS_CLIPCHILDREN, 0, rect, FontKind::Normal);
}

void Frame::AfterRealize() {
    if (isPanel_)
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(background_.get()));
}

HWND Frame::ChildParent() const {
    if (isPanel_)
        return hwnd_;
    return container_ ? container_->ChildParent() : form_->hwnd();
}

POINT Frame::ChildOrigin() const {
    if (isPanel_)
        return POINT{0, 0};
    POINT o = container_ ? container_->ChildOrigin() : POINT{0, 0};
    return POINT{o.x + frameRect_.left, o.y + frameRect_.top};
}

void Frame::ApplyState() {
    Control::ApplyState();
    for (Control* child : children_)
        child->ApplyState();
}

LRESULT CALLBACK Frame::PanelProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto brush = reinterpret_cast<HBRUSH>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    switch (msg) {
    case WM_ERASEBKGND:
        if (brush) {
            RECT rc;
            GetClientRect(hwnd, &rc);
            FillRect(reinterpret_cast<HDC>(wParam), &rc, brush);
            return 1;
        }
        break;
    case WM_CTLCOLORSTATIC:
        if (brush) {
            LOGBRUSH lb{};
            GetObjectA(brush, sizeof(lb), &lb);
            SetBkColor(reinterpret_cast<HDC>(wParam), lb.lbColor);
            return reinterpret_cast<LRESULT>(brush);
        }
        break;
    case WM_COMMAND:
        return SendMessageA(GetParent(hwnd), msg, wParam, lParam);
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// ---- Label, Image, Button ----

void Label::Create(Form& form, Frame* container, const char* caption, TwipsRect rect, Align align,
                   FontKind font) {
    DWORD style = SS_NOTIFY | SS_NOPREFIX;
    style |= align == Align::Right ? SS_RIGHT : align == Align::Center ? SS_CENTER : SS_LEFT;
    caption_ = caption;
    growsLeft_ = align == Align::Right;
    CreateIn(form, container, "STATIC", caption, style, 0, rect, font);
}

void Label::AfterRealize() {
    SetWindowTextA(hwnd_, caption_.c_str());
    if (!growsLeft_ || caption_.empty())
        return;
    // A label names the field to its right: where the font's text is wider than the box, the
    // box grows to the left rather than cut the first letters off.
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(hwnd_, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32A(dc, caption_.c_str(), static_cast<int>(caption_.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    RECT r;
    GetWindowRect(hwnd_, &r);
    MapWindowPoints(nullptr, GetParent(hwnd_), reinterpret_cast<POINT*>(&r), 2);
    const int needed = extent.cx + 1;
    if (needed > r.right - r.left)
        SetWindowPos(hwnd_, nullptr, r.right - needed, r.top, needed, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

void Label::SetCaption(const std::string& caption) {
    caption_ = caption;
    if (hwnd_)
        SetWindowTextA(hwnd_, caption.c_str());
}

void Label::OnCommand(WORD code) {
    if (code == STN_CLICKED && Click)
        Click();
}

void Image::CreateIcon(Form& form, Frame* container, HICON icon, TwipsRect rect) {
    icon_ = icon;
    bitmap_ = nullptr;
    CreateIn(form, container, "STATIC", "", SS_ICON | SS_REALSIZEIMAGE, 0, rect, FontKind::Normal);
}

void Image::CreateBitmap(Form& form, Frame* container, HBITMAP bitmap, TwipsRect rect) {
    icon_ = nullptr;
    bitmap_ = bitmap;
    CreateIn(form, container, "STATIC", "", SS_BITMAP, 0, rect, FontKind::Normal);
}

void Image::AfterRealize() {
    if (icon_)
        SendMessageA(hwnd_, STM_SETICON, reinterpret_cast<WPARAM>(icon_), 0);
    if (bitmap_)
        SendMessageA(hwnd_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap_));
}

void Button::Create(Form& form, Frame* container, const char* caption, TwipsRect rect) {
    caption_ = caption;
    CreateIn(form, container, "BUTTON", caption, BS_PUSHBUTTON | WS_TABSTOP, 0, rect,
             FontKind::Normal);
}

void Button::OnCommand(WORD code) {
    if (code == BN_CLICKED && Click)
        Click();
}

// ---- CheckBox ----

void CheckBox::Create(Form& form, Frame* container, const char* caption, TwipsRect rect) {
    value_ = 0;
    CreateIn(form, container, "BUTTON", caption, BS_AUTOCHECKBOX | WS_TABSTOP, 0, rect,
             FontKind::Normal);
}

void CheckBox::AfterRealize() {
    SendMessageA(hwnd_, BM_SETCHECK, value_ ? BST_CHECKED : BST_UNCHECKED, 0);
}

int CheckBox::Value() const {
    return value_;
}

void CheckBox::SetValue(int value) {
    const int v = value ? 1 : 0;
    if (!form_ || v == value_)
        return;
    value_ = v;
    if (hwnd_)
        SendMessageA(hwnd_, BM_SETCHECK, v ? BST_CHECKED : BST_UNCHECKED, 0);
    if (Click)
        Click();
}

void CheckBox::OnCommand(WORD code) {
    if (code != BN_CLICKED)
        return;
    value_ = SendMessageA(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    if (Click)
        Click();
}

// ---- TextBox ----

void TextBox::Create(Form& form, Frame* container, TwipsRect rect, bool multiLine) {
    DWORD style = WS_TABSTOP;
    style |=
        multiLine ? ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL : ES_AUTOHSCROLL;
    text_.clear();
    CreateIn(form, container, "EDIT", "", style, WS_EX_CLIENTEDGE, rect, FontKind::Normal);
}

void TextBox::AfterRealize() {
    SetWindowTextA(hwnd_, text_.c_str());
}

// Once on screen the user edits the window's text; until then only the program sets it.
std::string TextBox::Text() const {
    return hwnd_ ? WindowText(hwnd_) : text_;
}

void TextBox::SetText(const std::string& text) {
    text_ = text;
    if (hwnd_)
        SetWindowTextA(hwnd_, text.c_str());
}

void TextBox::OnCommand(WORD code) {
    if (code == EN_SETFOCUS && GotFocus)
        GotFocus();
}

// ---- ComboBox ----

void ComboBox::Create(Form& form, Frame* container, TwipsRect rect) {
    // The window height includes the dropped-down list.
    TwipsRect withList = rect;
    withList.height = rect.height + 15 * 200;
    items_.clear();
    index_ = -1;
    CreateIn(form, container, "COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0,
             withList, FontKind::Normal);
}

void ComboBox::AfterRealize() {
    for (size_t i = 0; i < items_.size(); ++i) {
        SendMessageA(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(items_[i].first.c_str()));
        SendMessageA(hwnd_, CB_SETITEMDATA, i, static_cast<LPARAM>(items_[i].second));
    }
    SendMessageA(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(index_), 0);
}

int ComboBox::AddItem(const std::string& text) {
    if (!form_)
        return -1;
    items_.emplace_back(text, 0);
    if (hwnd_)
        SendMessageA(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    return static_cast<int>(items_.size()) - 1;
}

void ComboBox::Clear() {
    items_.clear();
    index_ = -1;
    if (hwnd_)
        SendMessageA(hwnd_, CB_RESETCONTENT, 0, 0);
}

int ComboBox::ListCount() const {
    return static_cast<int>(items_.size());
}

std::string ComboBox::List(int index) const {
    if (index < 0 || index >= ListCount())
        return {};
    return items_[static_cast<size_t>(index)].first;
}

int ComboBox::ItemData(int index) const {
    if (index < 0 || index >= ListCount())
        return -1;
    return items_[static_cast<size_t>(index)].second;
}

void ComboBox::SetItemData(int index, int data) {
    if (index < 0 || index >= ListCount())
        return;
    items_[static_cast<size_t>(index)].second = data;
    if (hwnd_)
        SendMessageA(hwnd_, CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data));
}

int ComboBox::ListIndex() const {
    return index_;
}

void ComboBox::SetListIndex(int index) {
    if (!form_)
        return;
    index_ = index >= 0 && index < ListCount() ? index : -1;
    if (hwnd_)
        SendMessageA(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(index_), 0);
    if (Click)
        Click();
}

std::string ComboBox::Text() const {
    return List(ListIndex());
}

void ComboBox::OnCommand(WORD code) {
    if (code != CBN_SELCHANGE)
        return;
    index_ = static_cast<int>(SendMessageA(hwnd_, CB_GETCURSEL, 0, 0));
    if (Click)
        Click();
}

// ---- Timer ----

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

// ---- MenuArray ----

void MenuArray::Load(int index) {
    if (index != UBound() + 1)
        throw std::out_of_range("menu elements are added at the end");
    items_.push_back(items_.front());
}

void MenuArray::Unload(int index) {
    if (index < 1 || index != UBound())
        throw std::out_of_range("menu elements are removed from the top down");
    items_.pop_back();
}

// ---- Form ----

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
    controlsCreated_ = true;
    LoadCommonControls();
    for (Control* control : declared_)
        control->Realize();
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
    HINSTANCE inst = GetModuleHandleA(nullptr);
    if (iconResource_) {
        iconBig_.reset(static_cast<HICON>(LoadImageA(inst, MAKEINTRESOURCEA(iconResource_),
                                                     IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                     GetSystemMetrics(SM_CYICON), 0)));
        iconSmall_.reset(static_cast<HICON>(LoadImageA(inst, MAKEINTRESOURCEA(iconResource_),
                                                       IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                       GetSystemMetrics(SM_CYSMICON), 0)));
    }
    RegisterClassOnce(className_, GetSysColorBrush(COLOR_BTNFACE), iconBig_.get());

    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    const DWORD exStyle = WS_EX_CONTROLPARENT;
    RECT rc{0, 0, TwipsToPixels(clientWidthTwips_), TwipsToPixels(clientHeightTwips_)};
    AdjustWindowRectEx(&rc, style, FALSE, exStyle);
    const int width = rc.right - rc.left;
    const int height2 = rc.bottom - rc.top;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + std::max(0L, (work.right - work.left - width) / 2);
    const int y = work.top + std::max(0L, (work.bottom - work.top - height2) / 2);
    if (!CreateThis(exStyle, className_, caption_.c_str(), style, x, y, width, height2, nullptr))
        throw std::runtime_error("window not created");
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
    std::vector<HWND> disabled;
    for (Form* other : LiveForms()) {
        if (other != this && other->Loaded() && IsWindowEnabled(other->hwnd())) {
            EnableWindow(other->hwnd(), FALSE);
            disabled.push_back(other->hwnd());
        }
    }
    inModal_ = true;
    CreateControlWindows();
    ShowWindow(hwnd(), SW_SHOW);
    SetForegroundWindow(hwnd());
    RunMessageLoopUntil([this] { return !Loaded() || !IsWindowVisible(hwnd()); });
    inModal_ = false;
    for (HWND h : disabled) {
        if (IsWindow(h))
            EnableWindow(h, TRUE);
    }
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
    int cancel = 0;
    try {
        Form_Unload(cancel);
    } catch (...) {
        OutputDebugStringA("Ipshifter: unloading at the end of the session failed\n");
    }
    unloading_ = false;
}

bool Form::RunUnload(int unloadMode) {
    if (unloading_)
        return false;
    int cancel = 0;
    Form_QueryUnload(cancel, unloadMode);
    if (cancel)
        return false;
    unloading_ = true;
    Form_Unload(cancel);
    unloading_ = false;
    if (cancel)
        return false;
    DestroyThis();
    return true;
}

void Form::SetTrayCallback(UINT message, UINT iconId) {
    trayMessage_ = message;
    trayIconId_ = iconId;
}

void AppendMenuElement(HMENU menu, const MenuItem& item, UINT id) {
    if (!item.Visible)
        return;
    if (item.IsSeparator) {
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        return;
    }
    // A single "&" would underline the next letter and vanish itself.
    std::string text;
    for (char c : item.Caption) {
        if (c == '&')
            text += '&';
        text += c;
    }
    UINT flags = MF_STRING;
    if (!item.Enabled)
        flags |= MF_GRAYED;
    if (item.Checked)
        flags |= MF_CHECKED;
    AppendMenuA(menu, flags, id, text.c_str());
}

UINT Form::PopupMenu(HMENU menu) {
    POINT pt{};
    GetCursorPos(&pt);
    return TrackPopup(menu, hwnd(), pt);
}

LRESULT Form::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (trayMessage_ != 0 && msg == trayMessage_) {
        if (wParam == trayIconId_) {
            const auto mouseMessage = static_cast<float>(LOWORD(lParam));
            Form_MouseMove(0, 0, mouseMessage * TwipsPerPixelX(), 0.0f);
        }
        return 0;
    }
    switch (msg) {
    case WM_SYSCOMMAND:
        // The title bar's close box, the system menu and Alt+F4 all come this way; a bare
        // WM_CLOSE comes from outside (Task Manager, taskkill, an installer).
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            RunUnload(kUnloadUser);
            return 0;
        }
        break;
    case WM_CLOSE:
        RunUnload(kUnloadTaskManager);
        return 0;
    case WM_QUERYENDSESSION: {
        // The session's end is never refused or held up, whatever the form would prefer.
        try {
            int cancel = 0;
            Form_QueryUnload(cancel, kUnloadSession);
        } catch (...) {
            OutputDebugStringA("Ipshifter: a handler failed at the end of the session\n");
        }
        return TRUE;
    }
    case WM_ENDSESSION:
        if (wParam)
            EndSessionUnload();
        return 0;
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
    case WM_COMMAND:
        if (lParam) {
            auto it = controls_.find(reinterpret_cast<HWND>(lParam));
            if (it != controls_.end())
                it->second->OnCommand(HIWORD(wParam));
        } else if (HIWORD(wParam) == 0) {
            OnMenuCommand(LOWORD(wParam));
        }
        return 0;
    case WM_TIMER: {
        auto it = timers_.find(wParam);
        if (it != timers_.end() && it->second->Tick)
            it->second->Tick();
        return 0;
    }
    case WM_CTLCOLORSTATIC:
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_DESTROY:
        UnregisterDialogWindow(hwnd());
        for (auto& [id, timer] : timers_)
            KillTimer(hwnd(), id);
        for (auto& [h, control] : controls_)
            control->hwnd_ = nullptr;
        controls_.clear();
        controlsCreated_ = false;
        break;
    }
    return Window::WindowProc(msg, wParam, lParam);
}

} // namespace tk
