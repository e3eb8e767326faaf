#include "toolkit/message_filter.h"

#include "base/platform.h"

namespace tk {

bool AllowMessageFromLowerIntegrity(HWND hwnd, UINT message) {
    // 1 is MSGFLT_ALLOW for the Ex form, MSGFLT_ADD for the other.
    constexpr DWORD kAllow = 1;
    const platform::Calls& calls = platform::Current();
    if (calls.ChangeWindowMessageFilterEx)
        return calls.ChangeWindowMessageFilterEx(hwnd, message, kAllow, nullptr) != FALSE;
    if (calls.ChangeWindowMessageFilter)
        return calls.ChangeWindowMessageFilter(message, kAllow) != FALSE;
    return false;
}

} // namespace tk
