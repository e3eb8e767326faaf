#include "toolkit/window.h"

#include "base/scope_exit.h"

#include <stdexcept>
#include <string>

namespace tk {

int ScreenDpi() {
    static const int dpi = [] {
        HDC dc = GetDC(nullptr);
        if (!dc)
            return 96;
        auto release = base::scope_exit([dc] { ReleaseDC(nullptr, dc); });
        const int v = GetDeviceCaps(dc, LOGPIXELSX);
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

void RegisterWindowClass(const char* className, HBRUSH background, HICON icon) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExA(instance, className, &existing))
        return;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = Window::Trampoline;
    wc.hInstance = instance;
    wc.hIcon = icon;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    if (!RegisterClassExA(&wc))
        throw std::runtime_error(std::string("window class not registered: ") + className);
}

Window::~Window() {
    DestroyThis();
}

bool Window::CreateThis(DWORD exStyle, const char* className, const char* title, DWORD style, int x,
                        int y, int width, int height, HWND parent, HMENU id) {
    return CreateWindowExA(exStyle, className, title, style, x, y, width, height, parent, id,
                           GetModuleHandleA(nullptr), this) != nullptr;
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
        self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        if (self) {
            self->hwnd_ = hwnd;
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
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

} // namespace tk
