#include "functions/run.h"

#include "base/error_text.h"
#include "base/handle.h"
#include "base/platform.h"
#include "toolkit/app.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// The standard handles of a child whose output we read: its output and error go into a pipe, its
// input comes from NUL. Only the child's ends are inheritable.
class OutputPipe {
public:
    OutputPipe() {
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        HANDLE read = nullptr, write = nullptr;
        if (!CreatePipe(&read, &write, &inherit, 0))
            return;
        read_.reset(read);
        write_.reset(write);
        SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
        input_.reset(CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 OPEN_EXISTING, 0, nullptr));
    }
    bool Ready() const { return read_ && write_ && input_; }
    void HandTo(STARTUPINFOA& si) const {
        si.dwFlags |= STARTF_USESTDHANDLES;
        si.hStdInput = input_.get();
        si.hStdOutput = write_.get();
        si.hStdError = write_.get();
    }
    // Once the child has its copies: ours would keep the pipe open for ever.
    void CloseChildEnds() {
        write_.reset();
        input_.reset();
    }
    // Takes what is waiting, never more: a child that outlives the wait must not hold it up.
    void Drain(std::string& into) {
        for (;;) {
            DWORD waiting = 0;
            if (!read_ || !PeekNamedPipe(read_.get(), nullptr, 0, nullptr, &waiting, nullptr) ||
                waiting == 0)
                return;
            char buffer[4096];
            DWORD got = 0;
            const DWORD want = waiting < sizeof(buffer) ? waiting : sizeof(buffer);
            if (!ReadFile(read_.get(), buffer, want, &got, nullptr) || got == 0)
                return;
            if (into.size() < kMaxOutput)
                into.append(buffer, std::min<size_t>(got, kMaxOutput - into.size()));
        }
    }

private:
    static constexpr size_t kMaxOutput = 64 * 1024;
    base::unique_handle read_, write_;
    base::unique_file input_;
};

bool StartProcess(const std::string& command, std::int32_t windowStyle, DWORD& pid,
                  std::string& error, base::unique_handle& process, OutputPipe* pipe) {
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = static_cast<WORD>(windowStyle);
    if (pipe)
        pipe->HandTo(si);
    PROCESS_INFORMATION pi{};
    // CreateProcessA may write into the command line.
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    if (!platform::Current().CreateProcessA(nullptr, line.data(), nullptr, nullptr,
                                            pipe ? TRUE : FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                                            &si, &pi)) {
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
                std::int32_t timeoutSeconds, base::unique_handle* stillRunning,
                std::string* output) {
    DWORD pid = 0;
    std::string startError;
    // Held until the process is open by its ID: a process that ends at once can then neither
    // vanish nor hand its ID to another one in between.
    base::unique_handle started;
    OutputPipe pipe;
    OutputPipe* capture = output && pipe.Ready() ? &pipe : nullptr;
    const bool ok = StartProcess(command, windowStyle, pid, startError, started, capture);
    pipe.CloseChildEnds();
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
        if (capture)
            capture->Drain(*output);
        tk::DoEvents();
        Sleep(100);
        if (clock.Seconds() > timeoutSeconds) {
            errorMessage = "Time out !!!";
            exitCode = 0;
            result = false;
        }
    } while (exitCode == STILL_ACTIVE);
    if (capture)
        capture->Drain(*output);
    if (!result && stillRunning)
        *stillRunning = std::move(process);
    return result;
}
