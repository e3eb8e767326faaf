#pragma once
// Shared test fixtures: scratch folders, file helpers, answered dialogs, child processes and
// windows of other processes.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/handle.h"
#include "base/platform.h"
#include "toolkit/app.h"
#include "toolkit/dialogs.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// Fails every test that shows a modal box or a popup menu nobody answers, and keeps the program's
// end from ending the test process (it is counted instead).
class NoRealDialogs : public testing::Environment {
public:
    void SetUp() override;
};

// Number of times the program ended since the last reset.
int EndProgramCalls();
void ResetEndProgramCalls();
// The exit code the program last ended with.
int LastExitCode();

// A message box as the program asked for it.
struct MessageBoxRecord {
    std::string prompt;
    tk::MsgButtons buttons = tk::MsgButtons::Ok;
    tk::MsgIcon icon = tk::MsgIcon::None;
};
MessageBoxRecord DecodeMessageBox(LPCSTR text, UINT type);
int ButtonOf(tk::MsgResult answer);

// Records message boxes and answers them from a queue (OK, or No for Yes/No when empty), and
// answers input boxes by typing into the program's own dialog.
class DialogRecorder {
public:
    DialogRecorder();
    ~DialogRecorder();
    DialogRecorder(const DialogRecorder&) = delete;
    DialogRecorder& operator=(const DialogRecorder&) = delete;
    std::vector<MessageBoxRecord> messages;
    std::deque<tk::MsgResult> answers;
    // Input boxes: prompts and defaults seen, and the answers to give.
    std::vector<std::pair<std::string, std::string>> inputs;
    std::deque<std::string> inputAnswers;
    // The prompts only, in order.
    std::vector<std::string> Prompts() const;
    // Replaces the recording of message boxes, for a test that must look around when one shows.
    std::function<tk::MsgResult(const MessageBoxRecord&)> onMessage;

private:
    platform::Override<decltype(platform::Calls::MessageBoxA)> box_;
    platform::Override<decltype(platform::Calls::DialogBoxIndirectParamA)> input_;
};

// Runs the program's input dialog for real, without showing it: reads its prompt and default
// text, types the answer and presses OK (Cancel without an answer). Returns what the dialog call
// returns.
INT_PTR AnswerInputDialog(HINSTANCE instance, LPCDLGTEMPLATEA dialog, HWND owner, DLGPROC proc,
                          LPARAM param, const std::string* answer, std::string& prompt,
                          std::string& defaultText);

// The program as started from `folder` (its executable there) with the given argument text.
class ProgramStartedIn {
public:
    ProgramStartedIn(const std::string& folder, const std::string& arguments);

private:
    std::string exe_;
    std::string commandLine_;
    platform::Override<decltype(platform::Calls::GetModuleFileNameA)> module_;
    platform::Override<decltype(platform::Calls::GetCommandLineA)> commandLineCall_;
};

// Windows reporting a version (platform id, major, minor) to the program.
class VersionReported {
public:
    VersionReported(DWORD platformId, DWORD major, DWORD minor);

private:
    platform::Override<decltype(platform::Calls::GetVersionExA)> call_;
};

// The shell's notification area, recording each request and answering it with success.
class TrayRecorder {
public:
    TrayRecorder();
    std::vector<DWORD> messages;
    std::vector<NOTIFYICONDATAA> records;

private:
    platform::Override<decltype(platform::Calls::Shell_NotifyIconA)> call_;
};

// Stands in for the platform's process start while it lives. `start` gets the command line and
// the show-window code; it starts something itself (StartForReal, filling `info`, whose handles
// the program closes) and returns TRUE, or fails with TRUE's opposite after SetLastError.
using StartFn =
    std::function<BOOL(const std::string& commandLine, WORD showWindow, PROCESS_INFORMATION& info)>;
class ProcessStarts {
public:
    explicit ProcessStarts(StartFn start);

private:
    platform::Override<decltype(platform::Calls::CreateProcessA)> call_;
};
// Starts a command line for real, without a window, as the program's start does.
BOOL StartForReal(const std::string& commandLine, PROCESS_INFORMATION& info);

// The file version resource of a module file, or all zeros when it has none.
tk::FileVersion ReadFileVersion(const std::string& path);

// One picture of an icon resource: its width in pixels, whether it is stored as PNG, and its
// bytes as the resource holds them.
struct IconPicture {
    int size = 0;
    bool png = false;
    std::string bytes;
};
// The pictures of the first icon group of a module file (an executable of either bitness), or of
// the given group in an already loaded module; empty when there is none.
std::vector<IconPicture> IconPictures(const std::string& path);
std::vector<IconPicture> IconPictures(HMODULE module, LPCSTR group);

// A folder under the temporary folder, removed with everything in it at the end.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& hint = "ipst");
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

void RemoveTree(const std::string& path);
bool FileExists(const std::string& path);
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
// Lines as a file written by the platform holds them: each ended by CR LF.
std::string CrLfText(const std::vector<std::string>& lines);
bool CopyFileTo(const std::string& from, const std::string& to);
// The text split at CR LF; the piece after the last CR LF is kept only when not empty.
std::vector<std::string> SplitCrLf(const std::string& text);
// The folder that holds the test program, Ipshifter.exe and the helper programs.
std::string BinDir();
// Names of the files in a folder (no subfolders).
std::vector<std::string> ListFiles(const std::string& folder);

// Starts a program; the handle is owned by the result.
struct Process {
    base::unique_handle handle;
    DWORD pid = 0;
};
Process StartProcess(const std::string& commandLine, const std::string& workingDir = {});
// Waits for the process to end; returns its exit code, or -1 after the time-out.
int WaitProcess(const Process& p, DWORD timeoutMs);
bool IsRunning(const Process& p);

// Pumps window messages of this thread while waiting for a condition, up to a time-out.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// Top-level windows of another process.
HWND FindProcessWindow(DWORD pid, const char* className, const char* title);
// The text of a message box: its static control with text.
std::string MessageBoxText(HWND box);

// Sets an environment variable for the programs started while it lives.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        SetEnvironmentVariableA(name, value);
    }
    ~ScopedEnvironment() { SetEnvironmentVariableA(name_, nullptr); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* name_;
};

// Makes Wine report a Windows version to one program for the lifetime of the object.
class WineVersionFor {
public:
    WineVersionFor(const std::string& exeName, const std::string& version);
    ~WineVersionFor();

private:
    std::string key_;
};

// A child mode of the test program: "ipshifter_tests --child NAME ARGS...".
using ChildMain = std::function<int(const std::vector<std::string>& args)>;
struct ChildRegistrar {
    ChildRegistrar(const std::string& name, ChildMain main);
};
bool RunChildMode(int argc, char** argv, int& exitCode);
std::string ChildCommandLine(const std::string& name, const std::vector<std::string>& args);

} // namespace testsupport
