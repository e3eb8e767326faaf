#include "base/platform.h"

#include <map>
#include <string>

namespace platform {

FARPROC LazyProc(const char* dll, const char* function) {
    static std::map<std::string, HMODULE> loaded;
    auto it = loaded.find(dll);
    if (it == loaded.end()) {
        // By full path: a DLL of the same name in the program's folder must not be taken.
        char system[MAX_PATH] = {};
        const UINT n = GetSystemDirectoryA(system, MAX_PATH);
        HMODULE module = nullptr;
        if (n > 0 && n < MAX_PATH)
            module = LoadLibraryA((std::string(system, n) + "\\" + dll).c_str());
        // Loaded for the rest of the run: its functions stay in use.
        it = loaded.emplace(dll, module).first;
    }
    return it->second ? GetProcAddress(it->second, function) : nullptr;
}

namespace {

BOOL NotifyIcon(DWORD message, PNOTIFYICONDATAA data) {
    using Fn = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAA);
    static const Fn call = LazyFunction<Fn>("shell32.dll", "Shell_NotifyIconA");
    return call ? call(message, data) : FALSE;
}

HINSTANCE Execute(HWND owner, LPCSTR operation, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                  INT show) {
    using Fn = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
    static const Fn call = LazyFunction<Fn>("shell32.dll", "ShellExecuteA");
    return call ? call(owner, operation, file, parameters, directory, show) : nullptr;
}

ULONG AdaptersInfo(PIP_ADAPTER_INFO info, PULONG size) {
    using Fn = ULONG(WINAPI*)(PIP_ADAPTER_INFO, PULONG);
    static const Fn call = LazyFunction<Fn>("iphlpapi.dll", "GetAdaptersInfo");
    return call ? call(info, size) : ERROR_NOT_SUPPORTED;
}

DWORD PerAdapterInfo(ULONG index, PIP_PER_ADAPTER_INFO info, PULONG size) {
    using Fn = DWORD(WINAPI*)(ULONG, PIP_PER_ADAPTER_INFO, PULONG);
    static const Fn call = LazyFunction<Fn>("iphlpapi.dll", "GetPerAdapterInfo");
    return call ? call(index, info, size) : ERROR_NOT_SUPPORTED;
}

BOOL VersionEx(LPOSVERSIONINFOA info) {
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)
#endif
    return ::GetVersionExA(info);
}

template <typename Fn> Fn User32Function(const char* name) {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    return user32 ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(user32, name)))
                  : nullptr;
}

Calls RealCalls() {
    Calls c;
    c.MessageBoxA = ::MessageBoxA;
    c.DialogBoxIndirectParamA = ::DialogBoxIndirectParamA;
    c.TrackPopupMenu = ::TrackPopupMenu;
    c.Shell_NotifyIconA = NotifyIcon;
    c.CreateProcessA = ::CreateProcessA;
    c.ShellExecuteA = Execute;
    c.ExitProcess = ::ExitProcess;
    c.GetVersionExA = VersionEx;
    c.GetCommandLineA = ::GetCommandLineA;
    c.GetModuleFileNameA = ::GetModuleFileNameA;
    c.GetAdaptersInfo = AdaptersInfo;
    c.GetPerAdapterInfo = PerAdapterInfo;
    c.WriteFile = ::WriteFile;
    c.GetPrivateProfileStringA = ::GetPrivateProfileStringA;
    c.GetPrivateProfileIntA = ::GetPrivateProfileIntA;
    c.GetPrivateProfileSectionA = ::GetPrivateProfileSectionA;
    c.GetPrivateProfileSectionNamesA = ::GetPrivateProfileSectionNamesA;
    c.ChangeWindowMessageFilterEx =
        User32Function<Calls::FilterExFn>("ChangeWindowMessageFilterEx");
    c.ChangeWindowMessageFilter = User32Function<Calls::FilterFn>("ChangeWindowMessageFilter");
    return c;
}

} // namespace

Calls& Current() {
    static Calls calls = RealCalls();
    return calls;
}

} // namespace platform
