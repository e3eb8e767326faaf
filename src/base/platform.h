#pragma once
// The platform calls that tests replace, in one table. Each slot holds the real call; a test puts
// its own in for a scope with platform::Override. Every other platform call is made directly.
//
// The DLLs that a start does not need (shell32 for the tray and the homepage, ws2_32 for address
// checks, version, iphlpapi for the live settings an apply is checked against) are not imported:
// LazyProc looks their functions up on first use, so that a start does not pay for loading them.
#include <windows.h>
#include <iphlpapi.h>
#include <shellapi.h>

#include <functional>
#include <utility>

namespace platform {

struct Calls {
    // Modal boxes: message boxes, and the dialog of the input box.
    std::function<int(HWND owner, LPCSTR text, LPCSTR caption, UINT type)> MessageBoxA;
    std::function<INT_PTR(HINSTANCE, LPCDLGTEMPLATEA, HWND owner, DLGPROC, LPARAM)>
        DialogBoxIndirectParamA;
    // The popup menu; with TPM_RETURNCMD the chosen command, 0 for none.
    std::function<BOOL(HMENU, UINT flags, int x, int y, int reserved, HWND owner, const RECT*)>
        TrackPopupMenu;
    // The notification area.
    std::function<BOOL(DWORD message, PNOTIFYICONDATAA data)> Shell_NotifyIconA;
    // Starting programs, opening the homepage, ending the program.
    std::function<BOOL(LPCSTR application, LPSTR commandLine, LPSECURITY_ATTRIBUTES process,
                       LPSECURITY_ATTRIBUTES thread, BOOL inherit, DWORD flags, LPVOID environment,
                       LPCSTR directory, LPSTARTUPINFOA startup, LPPROCESS_INFORMATION info)>
        CreateProcessA;
    std::function<HINSTANCE(HWND owner, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                            LPCSTR directory, INT show)>
        ShellExecuteA;
    std::function<void(UINT code)> ExitProcess;
    // What the program learns of the system and of its own start.
    std::function<BOOL(LPOSVERSIONINFOA info)> GetVersionExA;
    std::function<LPSTR()> GetCommandLineA;
    std::function<DWORD(HMODULE, LPSTR buffer, DWORD size)> GetModuleFileNameA;
    // The adapters' settings in use (IP Helper); ERROR_NOT_SUPPORTED where it is missing.
    std::function<ULONG(PIP_ADAPTER_INFO info, PULONG size)> GetAdaptersInfo;
    std::function<DWORD(ULONG index, PIP_PER_ADAPTER_INFO info, PULONG size)> GetPerAdapterInfo;
    // Writing the profile file and the apply script.
    std::function<BOOL(HANDLE, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED)> WriteFile;
    // Reading the profile file: a key, a key as a number, a section, the names of the sections.
    std::function<DWORD(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                        LPCSTR file)>
        GetPrivateProfileStringA;
    std::function<UINT(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR file)>
        GetPrivateProfileIntA;
    std::function<DWORD(LPCSTR section, LPSTR buffer, DWORD size, LPCSTR file)>
        GetPrivateProfileSectionA;
    std::function<DWORD(LPSTR buffer, DWORD size, LPCSTR file)> GetPrivateProfileSectionNamesA;
    // Windows 7 and later, and Vista; null where the platform has none.
    using FilterExFn = BOOL(WINAPI*)(HWND, UINT message, DWORD action, void* status);
    using FilterFn = BOOL(WINAPI*)(UINT message, DWORD action);
    FilterExFn ChangeWindowMessageFilterEx = nullptr;
    FilterFn ChangeWindowMessageFilter = nullptr;
};

// The table the program calls through, filled with the real calls on first use.
Calls& Current();

// Replaces one slot until the end of the scope, then puts back what was there.
template <typename Slot> class Override {
public:
    template <typename F>
    Override(Slot Calls::*slot, F&& replacement)
        : slot_(slot), saved_(std::exchange(Current().*slot, Slot(std::forward<F>(replacement)))) {}
    ~Override() { Current().*slot_ = std::move(saved_); }
    Override(const Override&) = delete;
    Override& operator=(const Override&) = delete;

private:
    Slot Calls::*slot_;
    Slot saved_;
};
template <typename Slot, typename F> Override(Slot Calls::*, F&&) -> Override<Slot>;

// A function of a system DLL, loaded from the system folder (never the program's) on first use;
// nullptr where the DLL or the function does not exist.
FARPROC LazyProc(const char* dll, const char* function);
template <typename Fn> Fn LazyFunction(const char* dll, const char* function) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(LazyProc(dll, function)));
}

} // namespace platform
