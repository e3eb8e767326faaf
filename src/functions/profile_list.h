#pragma once
#include <string>

// Rebuilds the main window's profile list and the tray menu's profile elements from the
// profile table, grouped under the connections in discovery order. When a listed profile has
// exactly the given name and connection, its entry ends selected; otherwise none is.
void RefreshProfileList(const std::string& interfaceName, const std::string& profileName);
