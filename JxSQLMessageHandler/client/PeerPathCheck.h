// The check every path a peer sends goes through before this machine acts
// on it.
#pragma once

#include <string>

// True for an absolute path shorter than PATH_MAX without a ".." level;
// otherwise false with `why` saying what is wrong.
bool SqlIsAcceptablePeerPath(const std::string& path, std::string& why);
