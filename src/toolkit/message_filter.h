#pragma once
// Windows Vista and later keep messages from programs at a lower integrity level away from an
// elevated program's windows (User Interface Privilege Isolation). Ipshifter runs elevated, the
// shell does not: the shell's messages a window needs must be let through by name.
#include <windows.h>

namespace tk {

// Lets the message reach the window from lower integrity levels: ChangeWindowMessageFilterEx on
// Windows 7 and later, ChangeWindowMessageFilter (process-wide) on Vista, nothing on 2000 and XP,
// which have no such isolation. False when no filter call was made or it failed.
bool AllowMessageFromLowerIntegrity(HWND hwnd, UINT message);

} // namespace tk
