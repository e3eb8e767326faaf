// Ipshifter: keeps IPv4 profiles for the machine's connections and applies them from the tray.
#include <windows.h>
#include <commctrl.h>

#include "main_window/frmMain.h"
#include "toolkit/app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    try {
        MainForm().Load();
    } catch (...) {
        return 1;
    }
    return tk::RunMessageLoop();
}
