#include "functions/run.h"

#include "base/error_text.h"
#include "base/handle.h"
#include "base/platform.h"
#include "toolkit/app.h"

#include <utility>
#include <vector>

namespace {

bool StartProcess(const std::string& command, std::int32_t windowStyle, DWORD& pid,
                  std::string& error, base::unique_handle& process) {
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = static_cast<WORD>(windowStyle);
    PROCESS_INFORMATION pi{};
    // CreateProcessA may write into the command line.
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    if (!platform::Current().CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE,
                                            CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
        error = base::SystemErrorText(GetLastError());
        return false;
    }
    base::unique_handle thread(pi.hThread);
    process.reset(pi.hProcess);
    pid = pi.dwProcessId;
    return true;
}

// Seconds since construction on a clock that neither jumps nor wraps at midnight.
class Stopwatch {
public:
    Stopwatch() {
        LARGE_INTEGER f{};
        if (QueryPerformanceFrequency(&f) && f.QuadPart > 0) {
            frequency_ = static_cast<double>(f.QuadPart);
            LARGE_INTEGER now{};
            QueryPerformanceCounter(&now);
            start_ = now.QuadPart;
        } else {
            startTicks_ = GetTickCount();
        }
    }
    double Seconds() const {
        if (frequency_ == 0)
            return (GetTickCount() - startTicks_) / 1000.0;
        LARGE_INTEGER now{};
        QueryPerformanceCounter(&now);
        return static_cast<double>(now.QuadPart - start_) / frequency_;
    }

private:
    double frequency_ = 0;
    LONGLONG start_ = 0;
    DWORD startTicks_ = 0;
};

} // namespace

bool RunAndWait(const std::string& command, std::int32_t windowStyle, std::string& errorMessage,
                std::int32_t timeoutSeconds, base::unique_handle* stillRunning) {
    DWORD pid = 0;
    std::string startError;
    // Held until the process is open by its ID: a process that ends at once can then neither
    // vanish nor hand its ID to another one in between.
    base::unique_handle started;
    const bool ok = StartProcess(command, windowStyle, pid, startError, started);
    if (!ok) {
        errorMessage = startError;
        return false;
    }

    base::unique_handle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid));
    started.reset();
    if (!process) {
        errorMessage = "This program could not determine whether the process started."
                       "Please watch the program and check it completes.";
        return false;
    }

    bool result = true;
    DWORD exitCode = 0;
    const Stopwatch clock;
    do {
        GetExitCodeProcess(process.get(), &exitCode);
        tk::DoEvents();
        Sleep(100);
        if (clock.Seconds() > timeoutSeconds) {
            errorMessage = "Time out !!!";
            exitCode = 0;
            result = false;
        }
    } while (exitCode == STILL_ACTIVE);
    if (!result && stillRunning)
        *stillRunning = std::move(process);
    return result;
}
