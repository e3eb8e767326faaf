#pragma once
// The names by which other programs find Ipshifter, and the files it leaves beside itself: one
// definition each. The setup script takes the texts from here (scripts/make_dist.sh reads this
// file and hands them to makensis), and the tests and the test driver include it. Each text
// stays on one line of the form  inline constexpr char kName[] = "text";  for that reader.
#include <windows.h>

// The main window, which a second start, the setup and the uninstaller look for.
inline constexpr char kMainWindowClass[] = "IpshifterMain";
inline constexpr char kMainWindowTitle[] = "Ipshifter";

// The shell reports the tray icon's clicks with this message, which nothing else sends, and
// names the icon in its wParam.
inline constexpr UINT kTrayCallbackMessage = WM_APP + 1;
inline constexpr UINT kTrayIconId = 1;

// The profile file, and the file a save writes before it replaces the profile file.
inline constexpr char kProfileFileName[] = "Ipshifter.ini";
inline constexpr char kProfileSaveSuffix[] = ".new";

// The apply's two files: the script, and the file its progress lines write the current step
// into.
inline constexpr char kScriptFileName[] = "_ipshifter.cmd";
inline constexpr char kProgressFileName[] = "_progress.tmp";
