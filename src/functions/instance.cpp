#include "functions/instance.h"

#include <cstdio>
#include <vector>

std::uint32_t InstanceKey(const std::string& iniPath) {
    std::vector<char> upper(iniPath.begin(), iniPath.end());
    if (!upper.empty())
        CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
    // FNV-1a
    std::uint32_t hash = 2166136261u;
    for (char c : upper) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash ? hash : 1;
}

std::string InstanceObjectName(std::uint32_t key, const char* what) {
    char name[64];
    std::snprintf(name, sizeof(name), "Local\\Ipshifter-%08lX-%s", static_cast<unsigned long>(key),
                  what);
    return name;
}

UINT InstanceMessage() {
    static const UINT message = RegisterWindowMessageA("Ipshifter.Instance");
    return message;
}

namespace {

struct Candidates {
    const char* windowClass;
    HWND self;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectCandidate(HWND hwnd, LPARAM param) {
    auto* c = reinterpret_cast<Candidates*>(param);
    char name[64] = {};
    if (hwnd != c->self && GetClassNameA(hwnd, name, sizeof(name)) > 0 &&
        lstrcmpA(name, c->windowClass) == 0)
        c->found.push_back(hwnd);
    return TRUE;
}

} // namespace

HWND FindResident(std::uint32_t key, const char* windowClass, HWND self, DWORD timeoutMs) {
    const UINT message = InstanceMessage();
    if (message == 0)
        return nullptr;
    const DWORD start = GetTickCount();
    for (;;) {
        Candidates c{windowClass, self, {}};
        EnumWindows(CollectCandidate, reinterpret_cast<LPARAM>(&c));
        for (HWND hwnd : c.found) {
            // A resident still starting answers once it reaches its message loop.
            DWORD_PTR reply = 0;
            if (SendMessageTimeoutA(hwnd, message, kInstanceIdentify, static_cast<LPARAM>(key),
                                    SMTO_ABORTIFHUNG | SMTO_BLOCK, 1000, &reply) &&
                static_cast<std::uint32_t>(reply) == key)
                return hwnd;
        }
        if (GetTickCount() - start >= timeoutMs)
            return nullptr;
        Sleep(100);
    }
}

base::unique_handle CreateNamedMutex(const std::string& name, bool& existed) {
    base::unique_handle mutex(CreateMutexA(nullptr, FALSE, name.c_str()));
    existed = mutex && GetLastError() == ERROR_ALREADY_EXISTS;
    return mutex;
}

bool NamedMutexExists(const std::string& name) {
    base::unique_handle mutex(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()));
    return static_cast<bool>(mutex);
}

ScopedTryLock::ScopedTryLock(HANDLE mutex) : mutex_(mutex), owned_(true) {
    if (!mutex_)
        return;
    // An owner that ended without letting go leaves the mutex abandoned, and ours.
    const DWORD r = WaitForSingleObject(mutex_, 0);
    owned_ = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
    if (!owned_)
        mutex_ = nullptr;
}

ScopedTryLock::~ScopedTryLock() {
    if (mutex_)
        ReleaseMutex(mutex_);
}
