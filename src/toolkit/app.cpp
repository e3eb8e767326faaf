#include "toolkit/app.h"

#include <windows.h>

#include "base/platform.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tk {
namespace {

std::vector<HWND> g_dialogWindows;

bool TranslateForDialogs(MSG& msg) {
    for (HWND dlg : g_dialogWindows) {
        if (IsWindow(dlg) && (msg.hwnd == dlg || IsChild(dlg, msg.hwnd)))
            return IsDialogMessageA(dlg, &msg) != FALSE;
    }
    return false;
}

void Dispatch(MSG& msg) {
    if (TranslateForDialogs(msg))
        return;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

} // namespace

FileVersion AppVersion() {
    FileVersion v;
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC info = FindResourceA(self, MAKEINTRESOURCEA(1), reinterpret_cast<LPCSTR>(RT_VERSION));
    HGLOBAL loaded = info ? LoadResource(self, info) : nullptr;
    const auto* data = static_cast<const unsigned char*>(loaded ? LockResource(loaded) : nullptr);
    const DWORD size = info ? SizeofResource(self, info) : 0;
    // The fixed part of a version resource starts with its signature, on a 4-byte boundary.
    constexpr DWORD kSignature = 0xFEEF04BD;
    for (DWORD at = 0; data && at + sizeof(VS_FIXEDFILEINFO) <= size; at += 4) {
        VS_FIXEDFILEINFO fixed;
        std::memcpy(&fixed, data + at, sizeof(fixed));
        if (fixed.dwSignature != kSignature)
            continue;
        v.major = HIWORD(fixed.dwFileVersionMS);
        v.minor = LOWORD(fixed.dwFileVersionMS);
        v.patch = HIWORD(fixed.dwFileVersionLS);
        v.revision = LOWORD(fixed.dwFileVersionLS);
        break;
    }
    return v;
}

std::string ArgumentsFromCommandLine(const std::string& full) {
    size_t i = 0;
    while (i < full.size() && (full[i] == ' ' || full[i] == '\t'))
        ++i;
    if (i < full.size() && full[i] == '"') {
        auto close = full.find('"', i + 1);
        i = close == std::string::npos ? full.size() : close + 1;
    } else {
        while (i < full.size() && full[i] != ' ' && full[i] != '\t')
            ++i;
    }
    while (i < full.size() && (full[i] == ' ' || full[i] == '\t'))
        ++i;
    return full.substr(i);
}

std::string CommandLineText() {
    const char* cmd = platform::Current().GetCommandLineA();
    return ArgumentsFromCommandLine(cmd ? cmd : "");
}

bool ChangeDirectory(const std::string& folder) {
    // "C:" alone would mean the drive's current folder, not its root.
    std::string dir = folder;
    if (dir.empty() || (dir.back() != '\\' && dir.back() != '/'))
        dir += '\\';
    return SetCurrentDirectoryA(dir.c_str()) != FALSE;
}

void DoEvents() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Leave the quit request for the loop that owns it.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        Dispatch(msg);
    }
}

int RunMessageLoop() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        Dispatch(msg);
    return static_cast<int>(msg.wParam);
}

void RunMessageLoopUntil(const std::function<bool()>& done) {
    MSG msg;
    while (!done()) {
        BOOL r = GetMessageA(&msg, nullptr, 0, 0);
        if (r == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (r < 0)
            return;
        Dispatch(msg);
    }
}

void RegisterDialogWindow(void* hwnd) {
    HWND h = static_cast<HWND>(hwnd);
    if (std::find(g_dialogWindows.begin(), g_dialogWindows.end(), h) == g_dialogWindows.end())
        g_dialogWindows.push_back(h);
}

void UnregisterDialogWindow(void* hwnd) {
    HWND h = static_cast<HWND>(hwnd);
    g_dialogWindows.erase(std::remove(g_dialogWindows.begin(), g_dialogWindows.end(), h),
                          g_dialogWindows.end());
}

void EndProgram(int exitCode) {
    platform::Current().ExitProcess(static_cast<UINT>(exitCode));
}

} // namespace tk
