// Drives a running Ipshifter from outside, the way a user and the shell would: tray messages to
// its main window, keys to its popup menu, clicks on its buttons, answers to its dialogs. Every
// command waits (with a time-out) until what it asked for is on screen, prints what it found on
// stdout and ends with 0; a failure is explained on stderr and ends with 1.
//
//   ipshifter_driver [--pid N] COMMAND [ARGS...]
//
// The popup menu of another process cannot be read through its menu handle (under Wine the
// handle is private to its process), so the menu is read from the screen: each item is
// highlighted in turn with the Down key, and an item is checked when something is drawn in the
// check-mark margin of its highlight bar.
#include <windows.h>

#include "../../src/base/handle.h"
#include "../../src/base/names.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr DWORD kWaitMs = 10000;

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const std::string& what) {
    throw Failure(what);
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs = kWaitMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(15);
    }
}

std::string ClassOf(HWND hwnd) {
    char name[256] = {};
    GetClassNameA(hwnd, name, sizeof(name));
    return name;
}

// WM_GETTEXT crosses process boundaries; a hung program must not hang the driver.
std::string TextOf(HWND hwnd) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
        return {};
    std::string text(length + 1, '\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutA(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, 5000, &got);
    text.resize(got < length ? got : length);
    return text;
}

DWORD ProcessOf(HWND hwnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

// A window enumeration callback; it must be CALLBACK, which a lambda cannot be on 32-bit.
BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> TopWindows() {
    std::vector<HWND> all;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
    return all;
}

std::vector<HWND> ChildWindows(HWND parent) {
    std::vector<HWND> all;
    EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&all));
    return all;
}

// A top-level window of the process (any process for pid 0) of the class, and of the caption
// when one is given.
HWND FindTop(DWORD pid, const char* className, const char* caption = nullptr,
             bool visibleOnly = false) {
    for (HWND hwnd : TopWindows()) {
        if (pid != 0 && ProcessOf(hwnd) != pid)
            continue;
        if (lstrcmpiA(ClassOf(hwnd).c_str(), className) != 0)
            continue;
        if (caption && TextOf(hwnd) != caption)
            continue;
        if (visibleOnly && !IsWindowVisible(hwnd))
            continue;
        return hwnd;
    }
    return nullptr;
}

RECT WindowRect(HWND hwnd) {
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    return rc;
}

void PrintRect(const char* what, HWND hwnd) {
    const RECT rc = WindowRect(hwnd);
    std::printf("%s %ld %ld %ld %ld\n", what, rc.left, rc.top, rc.right - rc.left,
                rc.bottom - rc.top);
}

// ---- Screen pixels ----

class ScreenDc {
public:
    ScreenDc() : dc_(GetDC(nullptr)) {}
    ~ScreenDc() {
        if (dc_)
            ReleaseDC(nullptr, dc_);
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

class MemoryDc {
public:
    explicit MemoryDc(HDC like) : dc_(CreateCompatibleDC(like)) {}
    ~MemoryDc() {
        if (dc_)
            DeleteDC(dc_);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// Pixels of a screen rectangle as COLORREF values, row by row.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;
    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
    bool operator==(const Picture&) const = default;
};

Picture Capture(const RECT& rc) {
    Picture pic;
    pic.width = rc.right - rc.left;
    pic.height = rc.bottom - rc.top;
    if (pic.width <= 0 || pic.height <= 0)
        Fail("nothing to capture");
    ScreenDc screen;
    MemoryDc memory(screen.get());
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = pic.width;
    info.bmiHeader.biHeight = -pic.height; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    base::unique_hbitmap bitmap(
        CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits || !screen.get() || !memory.get())
        Fail("cannot capture the screen");
    HGDIOBJ old = SelectObject(memory.get(), bitmap.get());
    BitBlt(memory.get(), 0, 0, pic.width, pic.height, screen.get(), rc.left, rc.top, SRCCOPY);
    GdiFlush();
    const auto* quads = static_cast<const RGBQUAD*>(bits);
    pic.pixels.resize(static_cast<size_t>(pic.width) * static_cast<size_t>(pic.height));
    for (size_t i = 0; i < pic.pixels.size(); ++i)
        pic.pixels[i] = RGB(quads[i].rgbRed, quads[i].rgbGreen, quads[i].rgbBlue);
    SelectObject(memory.get(), old);
    return pic;
}

// Waits until the window's pixels stop changing: it has been painted.
void WaitPainted(HWND hwnd) {
    Picture last = Capture(WindowRect(hwnd));
    int stable = 0;
    WaitFor(
        [&] {
            Sleep(60);
            Picture now = Capture(WindowRect(hwnd));
            stable = now == last ? stable + 1 : 0;
            last = std::move(now);
            return stable >= 3;
        },
        3000);
}

// ---- The program ----

class Program {
public:
    explicit Program(DWORD pid) : pid_(pid) {}

    HWND Main() const {
        HWND main = FindTop(pid_, kMainWindowClass, kMainWindowTitle);
        if (!main)
            Fail("no Ipshifter main window");
        return main;
    }
    DWORD Pid() const { return pid_ ? pid_ : ProcessOf(Main()); }

    HWND WaitMain() const {
        HWND main = nullptr;
        if (!WaitFor([&] {
                return (main = FindTop(pid_, kMainWindowClass, kMainWindowTitle)) != nullptr;
            }))
            Fail("the Ipshifter main window did not appear");
        return main;
    }

    // The shell's report of a mouse message on the tray icon.
    void Tray(UINT mouseMessage) const {
        PostMessageA(Main(), kTrayCallbackMessage, kTrayIconId, MAKELPARAM(mouseMessage, 0));
    }

    // The popup menu on the screen, if one is open.
    HWND Menu() const { return FindTop(Pid(), "#32768", nullptr, true); }

    HWND WaitTop(const char* className, const char* caption, const char* what) const {
        HWND hwnd = nullptr;
        if (!WaitFor([&] { return (hwnd = FindTop(Pid(), className, caption, true)) != nullptr; }))
            Fail(std::string(what) + " did not appear");
        return hwnd;
    }

private:
    DWORD pid_;
};

// A control of a window by class and exact text.
HWND FindControl(HWND parent, const char* className, const std::string& text) {
    for (HWND child : ChildWindows(parent)) {
        if (lstrcmpiA(ClassOf(child).c_str(), className) == 0 && TextOf(child) == text)
            return child;
    }
    return nullptr;
}

// The field a label names: the nearest control of the class to the label's right whose rows
// overlap the label's.
HWND FieldOf(HWND window, const std::string& label) {
    HWND caption = FindControl(window, "Static", label);
    if (!caption)
        Fail("no label \"" + label + "\"");
    const RECT lr = WindowRect(caption);
    HWND best = nullptr;
    LONG bestGap = 0;
    for (HWND child : ChildWindows(window)) {
        const std::string cls = ClassOf(child);
        if (lstrcmpiA(cls.c_str(), "Edit") != 0 && lstrcmpiA(cls.c_str(), "ComboBox") != 0)
            continue;
        if (GetParent(child) != GetParent(caption))
            continue;
        const RECT r = WindowRect(child);
        if (r.left < lr.right || r.top >= lr.bottom || r.bottom <= lr.top)
            continue;
        const LONG gap = r.left - lr.right;
        if (!best || gap < bestGap) {
            best = child;
            bestGap = gap;
        }
    }
    if (!best)
        Fail("no field beside the label \"" + label + "\"");
    return best;
}

void CALLBACK ClickHandled(HWND, UINT, ULONG_PTR done, LRESULT) {
    *reinterpret_cast<bool*>(done) = true;
}

// A window of the program that waits for the user, other than the given one.
bool ModalOpenBesides(DWORD pid, HWND besides) {
    for (HWND hwnd : {FindTop(pid, "#32770", "Ipshifter", true),
                      FindTop(pid, "IpshifterAbout", "About", true)}) {
        if (hwnd && hwnd != besides)
            return true;
    }
    return false;
}

// Presses a button or check box of the window as a mouse click does. Returns once the program
// has handled the press, or once the press has opened a window that waits for the user.
void Click(HWND window, const std::string& caption) {
    HWND button = FindControl(window, "Button", caption);
    if (!button)
        Fail("no button \"" + caption + "\"");
    if (!IsWindowEnabled(button))
        Fail("the button \"" + caption + "\" is disabled");
    const DWORD pid = ProcessOf(window);
    bool handled = false;
    if (!SendMessageCallbackA(button, BM_CLICK, 0, 0, ClickHandled,
                              reinterpret_cast<ULONG_PTR>(&handled)))
        Fail("the button \"" + caption + "\" cannot be pressed");
    const bool over = WaitFor([&] {
        MSG msg;
        // The answer arrives among this thread's messages.
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        return handled || ModalOpenBesides(pid, window);
    });
    if (!over)
        Fail("the press on \"" + caption + "\" was not handled");
}

void Key(HWND window, WPARAM key) {
    PostMessageA(window, WM_KEYDOWN, key, 0);
    PostMessageA(window, WM_KEYUP, key, 0xC0000001);
}

// ---- The tray menu read from the screen ----

struct Band {
    int top = -1;
    int bottom = -1;
    int left = -1;
    bool found() const { return top >= 0; }
};

bool IsHighlight(COLORREF c) {
    return c == GetSysColor(COLOR_HIGHLIGHT) || c == GetSysColor(COLOR_MENUHILIGHT);
}

// The highlight bar: the rows whose right end (beyond every caption) has the highlight colour.
Band FindBand(const Picture& pic) {
    Band band;
    const int probe = pic.width - 5;
    if (probe < 0)
        return band;
    for (int y = 0; y < pic.height; ++y) {
        if (!IsHighlight(pic.At(probe, y))) {
            if (band.found())
                break;
            continue;
        }
        if (!band.found())
            band.top = y;
        band.bottom = y;
    }
    if (!band.found())
        return band;
    for (int x = 0; x < pic.width; ++x) {
        if (IsHighlight(pic.At(x, band.top))) {
            band.left = x;
            break;
        }
    }
    return band;
}

// Something other than the bar's colour in the check-mark margin at the bar's left end.
bool BandChecked(const Picture& pic, const Band& band) {
    const int margin = GetSystemMetrics(SM_CXMENUCHECK);
    for (int y = band.top; y <= band.bottom; ++y) {
        for (int x = band.left; x < band.left + margin && x < pic.width; ++x) {
            if (!IsHighlight(pic.At(x, y)))
                return true;
        }
    }
    return false;
}

class TrayMenu {
public:
    explicit TrayMenu(const Program& program) : program_(program) {}

    // Opens the menu as a right click on the icon does, with the pointer at (x, y).
    HWND Open(int x, int y) {
        if (program_.Menu())
            Fail("a popup menu is open already");
        SetCursorPos(x, y);
        program_.Tray(WM_RBUTTONDOWN);
        program_.Tray(WM_RBUTTONUP);
        menu_ = program_.WaitTop("#32768", nullptr, "the tray menu");
        WaitPainted(menu_);
        return menu_;
    }

    // Moves the highlight with a key and waits until it has been drawn elsewhere.
    Band Move(WPARAM key) {
        Key(menu_, key);
        Band band;
        if (!WaitFor(
                [&] {
                    band = FindBand(Capture(WindowRect(menu_)));
                    return band.found() && band.top != current_.top;
                },
                3000))
            Fail("the menu highlight did not move");
        current_ = band;
        return band;
    }

    // Every item from the top, with its check mark; the highlight ends on the first item.
    std::vector<bool> ReadChecks() {
        std::vector<bool> checks;
        int first = -1;
        for (int step = 0; step < 64; ++step) {
            const Band band = Move(VK_DOWN);
            if (first >= 0 && band.top <= first)
                return checks;
            if (first < 0)
                first = band.top;
            checks.push_back(BandChecked(Capture(WindowRect(menu_)), band));
        }
        Fail("the menu highlight never came back to the first item");
    }

    // Chooses the item at the position (0 = the first item; separators do not count).
    void Choose(int position) {
        for (int i = 0; i <= position; ++i)
            Move(VK_DOWN);
        Key(menu_, VK_RETURN);
        WaitClosed();
    }

    void ChooseLast() {
        Move(VK_UP);
        Key(menu_, VK_RETURN);
        WaitClosed();
    }

    void Cancel() {
        Key(menu_, VK_ESCAPE);
        WaitClosed();
    }

    void WaitClosed() {
        if (!WaitFor([&] { return !IsWindow(menu_) || !IsWindowVisible(menu_); }))
            Fail("the tray menu did not close");
    }

private:
    const Program& program_;
    HWND menu_ = nullptr;
    Band current_;
};

// Where the pointer stands when the tray menu opens, unless given: right of the screen's middle,
// where the whole menu fits on the screen.
POINT MenuPoint(const std::vector<std::string>& args, size_t from) {
    if (args.size() >= from + 2)
        return POINT{std::atoi(args[from].c_str()), std::atoi(args[from + 1].c_str())};
    return POINT{GetSystemMetrics(SM_CXSCREEN) * 2 / 3, GetSystemMetrics(SM_CYSCREEN) / 3};
}

// ---- Commands ----

void ShowMain(const Program& program) {
    HWND main = program.Main();
    // The shell's report of a double click: down, up, double click, up.
    for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
        program.Tray(message);
    if (!WaitFor([&] { return IsWindowVisible(main) != FALSE; }))
        Fail("the main window did not show");
    WaitPainted(main);
    PrintRect("rect", main);
}

void HideMain(const Program& program) {
    HWND main = program.Main();
    // What the title bar's close box sends; a bare WM_CLOSE would end the program.
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (!WaitFor([&] { return !IsWindowVisible(main); }))
        Fail("the main window did not hide");
}

void OpenAbout(const Program& program) {
    Click(program.Main(), "About");
    HWND about = program.WaitTop("IpshifterAbout", "About", "the About window");
    WaitPainted(about);
    PrintRect("rect", about);
}

void CloseAbout(const Program& program) {
    HWND about = FindTop(program.Pid(), "IpshifterAbout", "About", true);
    if (!about)
        Fail("the About window is not open");
    Click(about, "OK");
    if (!WaitFor([&] { return !IsWindow(about) || !IsWindowVisible(about); }))
        Fail("the About window did not close");
}

HWND WaitDialog(const Program& program, const char* what) {
    return program.WaitTop("#32770", "Ipshifter", what);
}

// The texts of a dialog's labels, joined by blanks (the icon's label has none).
std::string DialogText(HWND dialog) {
    std::string text;
    for (HWND child : ChildWindows(dialog)) {
        if (lstrcmpiA(ClassOf(child).c_str(), "Static") != 0)
            continue;
        const std::string part = TextOf(child);
        if (part.empty())
            continue;
        if (!text.empty())
            text += ' ';
        text += part;
    }
    return text;
}

void WaitDialogGone(HWND dialog) {
    if (!WaitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }))
        Fail("the dialog did not close");
}

// The input box's text field.
HWND InputField(HWND dialog) {
    for (HWND child : ChildWindows(dialog)) {
        if (lstrcmpiA(ClassOf(child).c_str(), "Edit") == 0)
            return child;
    }
    Fail("the dialog has no text field: " + DialogText(dialog));
    return nullptr;
}

void AnswerInput(const Program& program, const std::string& answer) {
    HWND dialog = WaitDialog(program, "the input box");
    HWND edit = InputField(dialog);
    std::printf("prompt %s\n", DialogText(dialog).c_str());
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(answer.c_str()),
                        SMTO_ABORTIFHUNG, 5000, &ignored);
    Click(dialog, "OK");
    WaitDialogGone(dialog);
}

// Types the answer on the keyboard, wherever the input box put the focus, and presses Return:
// nothing is written into the field from outside. Prints the prompt and what the field shows
// before Return.
void TypeInput(const Program& program, const std::string& answer) {
    HWND dialog = WaitDialog(program, "the input box");
    HWND edit = InputField(dialog);
    std::printf("prompt %s\n", DialogText(dialog).c_str());
    WaitPainted(dialog);
    // The characters themselves, as a keyboard of any layout would produce them.
    std::wstring wide(answer.size(), L'\0');
    wide.resize(static_cast<size_t>(
        MultiByteToWideChar(CP_ACP, 0, answer.data(), static_cast<int>(answer.size()), wide.data(),
                            static_cast<int>(wide.size()))));
    std::vector<INPUT> keys;
    for (wchar_t c : wide) {
        INPUT key{};
        key.type = INPUT_KEYBOARD;
        key.ki.wScan = static_cast<WORD>(c);
        key.ki.dwFlags = KEYEVENTF_UNICODE;
        keys.push_back(key);
        key.ki.dwFlags |= KEYEVENTF_KEYUP;
        keys.push_back(key);
    }
    if (SendInput(static_cast<UINT>(keys.size()), keys.data(), sizeof(INPUT)) != keys.size())
        Fail("the keys were not taken");
    WaitFor([&] { return TextOf(edit) == answer; }, 3000);
    std::printf("field %s\n", TextOf(edit).c_str());
    INPUT enter[2] = {};
    enter[0].type = enter[1].type = INPUT_KEYBOARD;
    enter[0].ki.wVk = enter[1].ki.wVk = VK_RETURN;
    enter[1].ki.dwFlags = KEYEVENTF_KEYUP;
    if (SendInput(2, enter, sizeof(INPUT)) != 2)
        Fail("Return was not taken");
    WaitDialogGone(dialog);
}

void AnswerBox(const Program& program) {
    HWND dialog = WaitDialog(program, "a message box");
    std::printf("message %s\n", DialogText(dialog).c_str());
    Click(dialog, "OK");
    WaitDialogGone(dialog);
}

void SetField(const Program& program, const std::string& label,
              const std::vector<std::string>& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i)
        text += (i ? "\r\n" : "") + lines[i];
    HWND field = FieldOf(program.Main(), label);
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                             SMTO_ABORTIFHUNG, 5000, &ignored))
        Fail("the field \"" + label + "\" took no text");
    if (TextOf(field) != text)
        Fail("the field \"" + label + "\" shows another text");
}

// Lines of a multi-line text, one output line each.
void PrintLines(const std::string& prefix, const std::string& text) {
    size_t start = 0;
    for (;;) {
        const size_t end = text.find("\r\n", start);
        std::printf("%s%s\n", prefix.c_str(), text.substr(start, end - start).c_str());
        if (end == std::string::npos)
            return;
        start = end + 2;
    }
}

// The entries of a drop-down list, as the list itself gives them, and the selected position.
// Asked in UTF-16: Wine hands the ANSI form of these messages across processes as UTF-16 all
// the same, beyond the buffer.
struct ListEntries {
    std::vector<std::string> texts;
    LONG_PTR selected = -1;
};

ListEntries ReadList(HWND combo) {
    ListEntries list;
    DWORD_PTR count = 0, selected = 0;
    if (!SendMessageTimeoutW(combo, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count) ||
        !SendMessageTimeoutW(combo, CB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, 5000, &selected))
        Fail("the list does not answer");
    list.selected = static_cast<LONG_PTR>(selected);
    for (DWORD_PTR i = 0; i < count; ++i) {
        DWORD_PTR length = 0;
        SendMessageTimeoutW(combo, CB_GETLBTEXTLEN, i, 0, SMTO_ABORTIFHUNG, 5000, &length);
        std::wstring wide(length + 1, L'\0');
        DWORD_PTR got = 0;
        SendMessageTimeoutW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide.data()),
                            SMTO_ABORTIFHUNG, 5000, &got);
        wide.resize(got < length ? got : length);
        std::string text(wide.size() * 2 + 1, '\0');
        const int n =
            WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), text.data(),
                                static_cast<int>(text.size()), nullptr, nullptr);
        text.resize(n > 0 ? static_cast<size_t>(n) : 0);
        list.texts.push_back(text);
    }
    return list;
}

void PrintList(HWND combo) {
    const ListEntries list = ReadList(combo);
    for (size_t i = 0; i < list.texts.size(); ++i) {
        const bool selected = static_cast<LONG_PTR>(i) == list.selected;
        std::printf("entry %c %s\n", selected ? '*' : '-', list.texts[i].c_str());
    }
}

// Picks the entry with exactly this text, as a user's pick does: the list changes its
// selection and tells its window.
void ChooseEntry(HWND combo, const std::string& text) {
    const ListEntries list = ReadList(combo);
    for (size_t i = 0; i < list.texts.size(); ++i) {
        if (list.texts[i] != text)
            continue;
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(combo, CB_SETCURSEL, i, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
        SendMessageTimeoutA(GetParent(combo), WM_COMMAND,
                            MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                            reinterpret_cast<LPARAM>(combo), SMTO_ABORTIFHUNG, 5000, &ignored);
        return;
    }
    Fail("no entry \"" + text + "\" in the list");
}

void Exit(const Program& program) {
    const DWORD pid = program.Pid();
    base::unique_handle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid));
    if (!process)
        Fail("cannot watch the program's process");
    TrayMenu menu(program);
    const POINT at = MenuPoint({}, 0);
    menu.Open(at.x, at.y);
    menu.ChooseLast();
    if (WaitForSingleObject(process.get(), kWaitMs) != WAIT_OBJECT_0)
        Fail("the program did not end");
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    std::printf("exit code %lu\n", code);
}

void Usage() {
    std::fputs(
        "usage: ipshifter_driver [--pid N] COMMAND [ARGS...]\n"
        "  wait-main                  wait until the main window exists\n"
        "  show-main                  double click on the tray icon; prints the window rect\n"
        "  hide-main                  close the main window as its close box does (it hides)\n"
        "  open-about                 press About; prints the About window's rect\n"
        "  close-about                press OK in the About window\n"
        "  open-tray-menu [X Y]       right click on the tray icon; prints the menu's rect\n"
        "  cancel-menu                close the open popup menu with Escape\n"
        "  read-tray-menu             prints each tray menu item's check mark\n"
        "  choose-tray-item N|last    choose the item at position N (from 0) of the tray menu\n"
        "  click CAPTION              press a button or check box of the main window\n"
        "  set-text LABEL [LINE...]   fill the field beside a label, one line per argument\n"
        "  get-text LABEL             print the lines of the field beside a label\n"
        "  is-enabled LABEL|CAPTION   print enabled or disabled\n"
        "  is-checked CAPTION         print checked or unchecked\n"
        "  list LABEL                 print the entries of the list beside a label\n"
        "  choose LABEL TEXT          pick the entry of the list beside a label\n"
        "  answer-input TEXT          answer the input box; prints its prompt\n"
        "  type-input TEXT            type into the input box and press Return; prints its\n"
        "                             prompt and the field's text before Return\n"
        "  answer-box                 press OK in a message box; prints its text\n"
        "  exit                       choose Exit in the tray menu; prints the exit code\n",
        stderr);
}

int Run(std::vector<std::string> args) {
    DWORD pid = 0;
    if (args.size() >= 2 && args[0] == "--pid") {
        pid = std::strtoul(args[1].c_str(), nullptr, 10);
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty()) {
        Usage();
        return 2;
    }
    const std::string command = args[0];
    const Program program(pid);
    const auto need = [&](size_t count) {
        if (args.size() < count + 1)
            Fail(command + ": missing arguments");
    };

    if (command == "wait-main") {
        HWND main = program.WaitMain();
        std::printf("main pid %lu visible %d\n", ProcessOf(main), IsWindowVisible(main) ? 1 : 0);
    } else if (command == "show-main") {
        ShowMain(program);
    } else if (command == "hide-main") {
        HideMain(program);
    } else if (command == "open-about") {
        OpenAbout(program);
    } else if (command == "close-about") {
        CloseAbout(program);
    } else if (command == "open-tray-menu") {
        TrayMenu menu(program);
        const POINT at = MenuPoint(args, 1);
        PrintRect("rect", menu.Open(at.x, at.y));
    } else if (command == "cancel-menu") {
        HWND menu = program.Menu();
        if (!menu)
            Fail("no popup menu is open");
        Key(menu, VK_ESCAPE);
        if (!WaitFor([&] { return !IsWindow(menu) || !IsWindowVisible(menu); }))
            Fail("the popup menu did not close");
    } else if (command == "read-tray-menu") {
        TrayMenu menu(program);
        const POINT at = MenuPoint({}, 0);
        menu.Open(at.x, at.y);
        const std::vector<bool> checks = menu.ReadChecks();
        menu.Cancel();
        for (size_t i = 0; i < checks.size(); ++i)
            std::printf("item %zu %s\n", i, checks[i] ? "checked" : "unchecked");
    } else if (command == "choose-tray-item") {
        need(1);
        TrayMenu menu(program);
        const POINT at = MenuPoint({}, 0);
        menu.Open(at.x, at.y);
        if (args[1] == "last")
            menu.ChooseLast();
        else
            menu.Choose(std::atoi(args[1].c_str()));
    } else if (command == "click") {
        need(1);
        Click(program.Main(), args[1]);
    } else if (command == "set-text") {
        need(1);
        SetField(program, args[1], std::vector<std::string>(args.begin() + 2, args.end()));
    } else if (command == "get-text") {
        need(1);
        PrintLines("line ", TextOf(FieldOf(program.Main(), args[1])));
    } else if (command == "is-enabled") {
        need(1);
        HWND control = FindControl(program.Main(), "Button", args[1]);
        if (!control)
            control = FieldOf(program.Main(), args[1]);
        std::printf("%s\n", IsWindowEnabled(control) ? "enabled" : "disabled");
    } else if (command == "is-checked") {
        need(1);
        HWND box = FindControl(program.Main(), "Button", args[1]);
        if (!box)
            Fail("no check box \"" + args[1] + "\"");
        const bool checked = SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
        std::printf("%s\n", checked ? "checked" : "unchecked");
    } else if (command == "choose") {
        need(2);
        ChooseEntry(FieldOf(program.Main(), args[1]), args[2]);
    } else if (command == "list") {
        need(1);
        PrintList(FieldOf(program.Main(), args[1]));
    } else if (command == "answer-input") {
        need(1);
        AnswerInput(program, args[1]);
    } else if (command == "type-input") {
        need(1);
        TypeInput(program, args[1]);
    } else if (command == "answer-box") {
        AnswerBox(program);
    } else if (command == "exit") {
        Exit(program);
    } else {
        Usage();
        return 2;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        const int code = Run(std::vector<std::string>(argv + 1, argv + argc));
        std::fflush(stdout);
        return code;
    } catch (const Failure& failure) {
        std::fflush(stdout);
        std::fprintf(stderr, "ipshifter_driver: %s\n", failure.what());
        return 1;
    }
}
