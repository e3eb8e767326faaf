#pragma once
// The apply script: the netsh commands that give a connection a profile's configuration, with
// progress lines between them, written for the command interpreter.
#include "base/names.h"
#include "globals/mdlGVars.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The apply's two files, in the program's folder: the script, and the file its progress lines
// write the current step into.
std::string ScriptPath(const std::string& folder);
std::string ProgressPath(const std::string& folder);

// The longest value of a profile field that may go into the script; the profile file cannot hold
// a longer one either.
inline constexpr std::size_t kMaxScriptFieldLength = 1023;
// The interpreter cuts longer lines and runs the rest as a command of its own.
inline constexpr std::size_t kMaxScriptLineLength = 8190;

// The elements of a list up to (not including) the first empty one.
std::vector<std::string> UsedPart(const std::vector<std::string>& list);

// The number of progress lines the profile's script holds.
std::int32_t ApplyStepTotal(const ProfileRecord& profile);

// One progress line: echo <step>/<total>>"<folder>\_progress.tmp"
std::string BuildProgressLine(std::int32_t step, std::int32_t total, const std::string& folder);

// The script's lines (ANSI text, no line ends), in order. The profile must have passed
// CheckProfileForScript.
std::vector<std::string> BuildApplyScript(const ProfileRecord& profile, const std::string& folder,
                                          bool hasProfileArgument);

// True when the ANSI text has an exact form in the console (OEM) code page, in which the
// interpreter reads the script.
bool FitsConsoleCodePage(const std::string& text);

// The program folder as the progress lines name it: the folder itself, or its short form where
// the long one holds characters the console code page lacks, or "." where neither fits (the
// script runs in the program folder, the program's current directory).
std::string ProgressFolder(const std::string& folder);

// Empty when the profile can be written into a script safely; otherwise the message for a
// critical message box, naming the bad field.
std::optional<std::string> CheckProfileForScript(const ProfileRecord& profile);

// Writes the lines, each ending CR LF, converted from the ANSI to the console (OEM) code page.
// false with the platform's description of the failure in `error` when it cannot; a file that
// could not be written whole is removed again. A line the interpreter would split (a line break
// in it, or too long) is refused before anything is written.
bool WriteScriptFile(const std::string& path, const std::vector<std::string>& lines,
                     std::string& error);
