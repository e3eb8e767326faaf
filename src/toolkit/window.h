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

// Registers a window class of the program whose windows go through the trampoline (once per
// name); throws when the platform refuses.
void RegisterWindowClass(const char* className, HBRUSH background, HICON icon);

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
    friend void RegisterWindowClass(const char*, HBRUSH, HICON);
    static LRESULT CALLBACK Trampoline(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
};

} // namespace tk
