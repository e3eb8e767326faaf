#include "globals/mdlGVars.h"

std::vector<ProfileRecord> Profiles;
std::vector<std::string> InterfaceNames;
std::vector<std::string> InterfaceKeys;
std::string IniPath;
