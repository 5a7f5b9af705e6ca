// GetJxServerName: the central server's host name as this client's settings
// name it.
#pragma once

#include <string>

// The host name, logged when found; empty when the settings hold none.
std::string GetJxServerName();
