#pragma once
// Program-wide services of the window toolkit: the program's folder, version and command line,
// event processing and ending the program. Each value a test must control has an override.
#include <functional>
#include <optional>
#include <string>

namespace tk {

// The caption of every message box and input box.
inline constexpr const char* kAppTitle = "Ipshifter";

// The folder of the running executable, without a trailing backslash.
std::string AppPath();
void SetAppPathForTesting(std::optional<std::string> folder);

// The full path of the running executable.
std::string AppExePath();

struct FileVersion {
    int major = 0;
    int minor = 0;
    int patch = 0;
    int revision = 0;
};
// The file version of the given module file, or all zeros when it has none.
FileVersion ReadFileVersion(const std::string& exePath);
// The version of the running executable (the program's own resource).
FileVersion AppVersion();

// The arguments of the command line: the text after the program's own path.
std::string CommandLineText();
void SetCommandLineForTesting(std::optional<std::string> args);
// Cuts the program token (quoted or not) and the blanks after it from a whole command line.
std::string ArgumentsFromCommandLine(const std::string& fullCommandLine);

// Makes a folder the current directory.
bool ChangeDirectory(const std::string& folder);

// Handles every pending window event once, then returns.
void DoEvents();
// Runs the message loop until WM_QUIT; returns its exit code.
int RunMessageLoop();
// Runs the message loop until done() is true (nested loops of modal windows).
void RunMessageLoopUntil(const std::function<bool()>& done);
// Registers a top-level window whose controls take keyboard navigation (Tab, Enter).
void RegisterDialogWindow(void* hwnd);
void UnregisterDialogWindow(void* hwnd);

// Ends the program at once. Tests replace it; the replacement returns to the caller.
void EndProgram();
void SetEndProgramHandler(std::function<void()> handler);

} // namespace tk
