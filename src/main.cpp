// Ipshifter: keeps IPv4 profiles for the machine's connections and applies them from the tray.
#include <windows.h>

#include "main_window/frmMain.h"
#include "toolkit/app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        MainForm().Load();
    } catch (...) {
        return 1;
    }
    return tk::RunMessageLoop();
}
