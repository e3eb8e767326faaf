#pragma once
// The base of every window of the program: one trampoline binds the C++ object to its window at
// WM_NCCREATE and hands it every message; no exception ever leaves it. Also the screen's DPI, in
// which all positions (given in twips) are converted.
#include <windows.h>

namespace tk {

// Screen metrics, as the toolkit converts them.
int ScreenDpi();
float TwipsPerPixelX();
int TwipsToPixels(int twips);

// The dpi a window is drawn at: its own where Windows keeps one per window (10 version 1607 and
// later), the screen's before.
UINT WindowDpi(HWND hwnd);
// A system metric (SM_CXICON, SM_CXSMICON, ...) at a dpi: the platform's own answer where it has
// one per dpi, the screen's scaled to that dpi otherwise.
int SystemMetricForDpi(int index, UINT dpi);
// The program's icon resource at the size the display asks for at that dpi: the small one
// (SM_CXSMICON: title bar, notification area) or the large one (SM_CXICON). The caller owns it.
HICON LoadIconForDpi(int iconResource, UINT dpi, bool smallIcon);

// Registers a window class of the program whose windows go through the trampoline (once per
// name), with the icon resource's shared icons (none for 0); throws when the platform refuses.
void RegisterWindowClass(const char* className, HBRUSH background, int iconResource);

class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND hwnd() const { return hwnd_; }

    // Creates the window of a class registered with RegisterWindowClass, bound to this object.
    bool CreateThis(DWORD exStyle, const char* className, const char* title, DWORD style, int x,
                    int y, int width, int height, HWND parent, HMENU id = nullptr);
    void DestroyThis();

protected:
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);

private:
    friend void RegisterWindowClass(const char*, HBRUSH, int);
    static LRESULT CALLBACK Trampoline(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
};

} // namespace tk
