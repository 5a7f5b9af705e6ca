// Network-share names of the UNC paths that peers publish.
#pragma once

#include <string>

// Splits a UNC path "\\host/share[/more]" into the share to remove
// ("\\host/share", or the whole value when no second "/" follows) and the
// host. False for a value without the two leading backslashes or without a
// "/" after the host name.
bool SqlUncShareOf(const std::string& uncPath, std::string& share, std::string& machine);
