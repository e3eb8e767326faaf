#pragma once
// One Ipshifter stays in the tray per profile file. The program's named kernel objects and the
// requests its windows send each other carry a key made from the file's path, so that copies in
// other folders, and other programs' windows, are never taken for it.
#include <windows.h>

#include "base/handle.h"

#include <cstdint>
#include <string>

// The same file gives the same key whatever the letter case of its path; never 0.
std::uint32_t InstanceKey(const std::string& iniPath);
// "Local\Ipshifter-0123ABCD-<what>", in the namespace of the logon session (whose tray it is).
std::string InstanceObjectName(std::uint32_t key, const char* what);

// The one window message instances send each other: wParam a request, lParam the key.
UINT InstanceMessage();
enum InstanceRequest : WPARAM {
    kInstanceIdentify = 1, // the resident for the key answers with the key
    kInstanceShowWindow = 2,
    kInstanceReloadMarks = 3, // another process applied a profile: its marks are in the file
};

// The main window of the resident for the key, never `self`: each window of the class is asked
// in turn until one answers with the key or the time runs out. nullptr when none answered.
HWND FindResident(std::uint32_t key, const char* windowClass, HWND self, DWORD timeoutMs);

// A mutex of that name; `existed` tells whether another process had made it already.
base::unique_handle CreateNamedMutex(const std::string& name, bool& existed);
bool NamedMutexExists(const std::string& name);

// Owns a mutex from a successful try until the end of its scope. A null mutex counts as owned:
// without one nothing can be coordinated, and the work goes on as it would alone.
class ScopedTryLock {
public:
    explicit ScopedTryLock(HANDLE mutex);
    ~ScopedTryLock();
    ScopedTryLock(const ScopedTryLock&) = delete;
    ScopedTryLock& operator=(const ScopedTryLock&) = delete;
    bool Owned() const { return owned_; }

private:
    HANDLE mutex_;
    bool owned_;
};
