#include "toolkit/message_filter.h"

namespace tk {
namespace {

User32Lookup& TestLookup() {
    static User32Lookup lookup;
    return lookup;
}

FARPROC LookUp(const char* name) {
    if (TestLookup())
        return TestLookup()(name);
    HMODULE user32 = GetModuleHandleA("user32.dll");
    return user32 ? GetProcAddress(user32, name) : nullptr;
}

// As declared by the Windows 7 headers; 1 is MSGFLT_ALLOW for the Ex form, MSGFLT_ADD for the
// other.
using FilterExFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
using FilterFn = BOOL(WINAPI*)(UINT, DWORD);
constexpr DWORD kAllow = 1;

template <typename Fn> Fn As(FARPROC proc) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(proc));
}

} // namespace

bool AllowMessageFromLowerIntegrity(HWND hwnd, UINT message) {
    if (auto filterEx = As<FilterExFn>(LookUp("ChangeWindowMessageFilterEx")))
        return filterEx(hwnd, message, kAllow, nullptr) != FALSE;
    if (auto filter = As<FilterFn>(LookUp("ChangeWindowMessageFilter")))
        return filter(message, kAllow) != FALSE;
    return false;
}

void SetUser32LookupForTesting(User32Lookup lookup) {
    TestLookup() = std::move(lookup);
}

} // namespace tk
