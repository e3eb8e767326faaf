#pragma once
// Shared test fixtures: scratch folders, file helpers, answered dialogs, child processes and
// windows of other processes.
#include <windows.h>

#include <gtest/gtest.h>

#include "toolkit/dialogs.h"
#include "toolkit/handle.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// Fails every test that shows a modal box nobody answers, and keeps EndProgram from ending
// the test process.
class NoRealDialogs : public testing::Environment {
public:
    void SetUp() override;
};

// Number of EndProgram calls since the last reset.
int EndProgramCalls();
void ResetEndProgramCalls();

// Records message boxes and answers them from a queue (OK, or No for Yes/No when empty).
class DialogRecorder {
public:
    DialogRecorder();
    ~DialogRecorder();
    std::vector<tk::MessageBoxRequest> messages;
    std::deque<tk::MsgResult> answers;
    // Input boxes: prompts and defaults seen, and the answers to give.
    std::vector<std::pair<std::string, std::string>> inputs;
    std::deque<std::string> inputAnswers;
    // The prompts only, in order.
    std::vector<std::string> Prompts() const;
};

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
bool CopyFileTo(const std::string& from, const std::string& to);
// The text split at CR LF; the piece after the last CR LF is kept only when not empty.
std::vector<std::string> SplitCrLf(const std::string& text);
// The folder that holds the test program, Ipshifter.exe and the helper programs.
std::string BinDir();
// Names of the files in a folder (no subfolders).
std::vector<std::string> ListFiles(const std::string& folder);

// Starts a program; the handle is owned by the result.
struct Process {
    tk::unique_handle handle;
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
