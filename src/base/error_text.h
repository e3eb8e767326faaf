#pragma once
#include <windows.h>

#include <string>

namespace base {

// The platform's description of an error code, without its trailing line break.
std::string SystemErrorText(DWORD code);

} // namespace base
