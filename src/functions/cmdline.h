#pragma once
#include <string>

// The value of the switch "/name=value" in an argument text, or the empty text. The name is
// given in upper case and found without regard to case; the value ends at the next "/" and
// keeps its spaces; a pair of double quotes around it is removed.
std::string GetCommandLineArgFrom(const std::string& arguments, const std::string& name);

// The same over the program's own command line.
std::string GetCommandLineArg(const std::string& name);
