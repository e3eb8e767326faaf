#pragma once
// Windows Vista and later keep messages from programs at a lower integrity level away from an
// elevated program's windows (User Interface Privilege Isolation). Ipshifter runs elevated, the
// shell does not: the shell's messages a window needs must be let through by name.
#include <windows.h>

#include <functional>

namespace tk {

// Lets the message reach the window from lower integrity levels: ChangeWindowMessageFilterEx on
// Windows 7 and later, ChangeWindowMessageFilter (process-wide) on Vista, nothing on 2000 and XP,
// which have no such isolation. Both are looked up at run time, so the program still starts where
// they do not exist. False when no filter call was made or it failed.
bool AllowMessageFromLowerIntegrity(HWND hwnd, UINT message);

// Looks up a function of user32.dll by name (nullptr where it does not exist); tests replace it.
// An empty lookup brings the real one back.
using User32Lookup = std::function<FARPROC(const char* name)>;
void SetUser32LookupForTesting(User32Lookup lookup);

} // namespace tk
