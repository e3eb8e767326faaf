// One Ipshifter in the tray per profile file: a second start shows the first one's window, and an
// apply from the command line lets the first one know the new marks.
#include "main_window/frmMain.h"

#include "base/names.h"
#include "functions/instance.h"
#include "functions/profiles.h"
#include "toolkit/app.h"

namespace {

// Long enough for a resident that is still loading a large profile file.
constexpr DWORD kHandOverWaitMs = 10000;
constexpr DWORD kNotifyWaitMs = 3000;

} // namespace

bool frmMain::HandOverToResident() {
    bool existed = false;
    residentMutex_ = CreateNamedMutex(InstanceObjectName(instanceKey_, "resident"), existed);
    // Without the mutex there is nobody to hand over to either: stay, as a lone program would.
    if (!existed)
        return false;
    residentMutex_.reset();
    if (HWND resident = FindResident(instanceKey_, kMainWindowClass, hwnd(), kHandOverWaitMs)) {
        // The user started this process; the resident may come to the front in its place.
        DWORD pid = 0;
        GetWindowThreadProcessId(resident, &pid);
        AllowSetForegroundWindow(pid);
        PostMessageA(resident, InstanceMessage(), kInstanceShowWindow,
                     static_cast<LPARAM>(instanceKey_));
    }
    Unload(tk::kUnloadCode);
    return true;
}

void frmMain::TellResidentMarksChanged() {
    if (residentMutex_ || !NamedMutexExists(InstanceObjectName(instanceKey_, "resident")))
        return;
    if (HWND resident = FindResident(instanceKey_, kMainWindowClass, hwnd(), kNotifyWaitMs))
        PostMessageA(resident, InstanceMessage(), kInstanceReloadMarks,
                     static_cast<LPARAM>(instanceKey_));
}

bool frmMain::OnInstanceRequest(UINT msg, WPARAM request, LPARAM key, LRESULT& result) {
    if (msg == 0 || msg != InstanceMessage())
        return false;
    result = 0;
    // Only the resident answers, and only requests about its own profile file.
    if (!residentMutex_ || static_cast<std::uint32_t>(key) != instanceKey_)
        return true;
    switch (request) {
    case kInstanceIdentify:
        result = static_cast<LRESULT>(instanceKey_);
        break;
    case kInstanceShowWindow:
        mnuSetup_Click();
        break;
    case kInstanceReloadMarks:
        ReloadSelectedMarks();
        break;
    default:
        break;
    }
    return true;
}
