#include "globals/mdlGVars.h"

std::vector<ProfileRecord> Profiles;
std::vector<std::string> InterfaceNames;
std::string IniPath;
