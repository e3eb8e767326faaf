#include "toolkit/window.h"

#include "base/platform.h"
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

UINT WindowDpi(HWND hwnd) {
    using Fn = UINT(WINAPI*)(HWND);
    static const Fn forWindow = platform::LazyFunction<Fn>("user32.dll", "GetDpiForWindow");
    const UINT dpi = forWindow && hwnd ? forWindow(hwnd) : 0;
    return dpi ? dpi : static_cast<UINT>(ScreenDpi());
}

int SystemMetricForDpi(int index, UINT dpi) {
    using Fn = int(WINAPI*)(int, UINT);
    static const Fn forDpi = platform::LazyFunction<Fn>("user32.dll", "GetSystemMetricsForDpi");
    if (forDpi)
        return forDpi(index, dpi);
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), ScreenDpi());
}

HICON LoadIconForDpi(int iconResource, UINT dpi, bool smallIcon) {
    const int width = SystemMetricForDpi(smallIcon ? SM_CXSMICON : SM_CXICON, dpi);
    const int height = SystemMetricForDpi(smallIcon ? SM_CYSMICON : SM_CYICON, dpi);
    return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(iconResource),
                                         IMAGE_ICON, width, height, 0));
}

void RegisterWindowClass(const char* className, HBRUSH background, int iconResource) {
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
    if (iconResource) {
        // Shared: the class keeps them for the rest of the run, whatever its windows load.
        wc.hIcon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(iconResource),
                                                 IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
        wc.hIconSm = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(iconResource),
                                                   IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                   GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    }
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
