#include "toolkit/app.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace tk {
namespace {

std::optional<std::string> g_appPathOverride;
std::optional<std::string> g_commandLineOverride;
std::function<void()> g_endProgram;
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

std::string AppExePath() {
    std::vector<char> buf(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0)
            return {};
        if (n < buf.size())
            return std::string(buf.data(), n);
        buf.resize(buf.size() * 2);
    }
}

std::string AppPath() {
    if (g_appPathOverride)
        return *g_appPathOverride;
    std::string exe = AppExePath();
    auto slash = exe.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

void SetAppPathForTesting(std::optional<std::string> folder) {
    g_appPathOverride = std::move(folder);
}

FileVersion ReadFileVersion(const std::string& exePath) {
    FileVersion v;
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(exePath.c_str(), &ignored);
    if (size == 0)
        return v;
    std::vector<char> data(size);
    if (!GetFileVersionInfoA(exePath.c_str(), 0, size, data.data()))
        return v;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    char root[] = "\\";
    if (!VerQueryValueA(data.data(), root, reinterpret_cast<void**>(&info), &len) || !info ||
        len < sizeof(VS_FIXEDFILEINFO))
        return v;
    v.major = HIWORD(info->dwFileVersionMS);
    v.minor = LOWORD(info->dwFileVersionMS);
    v.patch = HIWORD(info->dwFileVersionLS);
    v.revision = LOWORD(info->dwFileVersionLS);
    return v;
}

FileVersion AppVersion() {
    return ReadFileVersion(AppExePath());
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
    if (g_commandLineOverride)
        return *g_commandLineOverride;
    const char* cmd = GetCommandLineA();
    return ArgumentsFromCommandLine(cmd ? cmd : "");
}

void SetCommandLineForTesting(std::optional<std::string> args) {
    g_commandLineOverride = std::move(args);
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

void EndProgram() {
    if (g_endProgram) {
        g_endProgram();
        return;
    }
    ExitProcess(0);
}

void SetEndProgramHandler(std::function<void()> handler) {
    g_endProgram = std::move(handler);
}

} // namespace tk
