// The smallest window program we can compare start-up against: one class, one hidden window,
// then it ends. It links the same static runtime as the real program, nothing more.
#include <windows.h>

namespace {

LRESULT CALLBACK MinimalProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = MinimalProc;
    wc.hInstance = instance;
    wc.lpszClassName = "IpshifterMinimalWindow";
    if (!RegisterClassA(&wc))
        return 1;
    HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "Minimal", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 200, 100, nullptr, nullptr, instance, nullptr);
    if (!hwnd)
        return 2;
    DestroyWindow(hwnd);
    return 0;
}
