#pragma once
#include <string>

namespace base {

// The full path of the running executable.
std::string ProgramPath();
// The folder of the running executable, without a trailing backslash: where the profile file,
// the apply script and its progress file live.
std::string ProgramFolder();

} // namespace base
