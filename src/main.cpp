// Ipshifter: keeps IPv4 profiles for the machine's connections and applies them from the tray.
#include <windows.h>

#include "functions/exit_codes.h"
#include "main_window/frmMain.h"
#include "toolkit/app.h"
#include "toolkit/dialogs.h"

#include <exception>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    std::string reason;
    try {
        MainForm().Load();
        return tk::RunMessageLoop();
    } catch (const std::exception& e) {
        reason = e.what();
    } catch (...) {
        reason = "an unexpected failure";
    }
    // Nothing handled it on the way out: the user learns why the program ends.
    tk::MsgBox("Ipshifter has to end: " + reason + ".", tk::MsgButtons::Ok, tk::MsgIcon::Critical);
    return kExitFailed;
}
