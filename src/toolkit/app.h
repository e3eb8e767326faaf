#pragma once
// Program-wide services of the window toolkit: the program's version and command line, the
// message loops and ending the program.
#include <functional>
#include <string>

namespace tk {

// The caption of every message box and input box.
inline constexpr const char* kAppTitle = "Ipshifter";

struct FileVersion {
    int major = 0;
    int minor = 0;
    int patch = 0;
    int revision = 0;
};
// The file version in the running executable's own version resource; all zeros without one.
FileVersion AppVersion();

// The arguments of the command line: the text after the program's own path.
std::string CommandLineText();
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

// Ends the program at once, with the given exit code.
void EndProgram(int exitCode = 0);

} // namespace tk
