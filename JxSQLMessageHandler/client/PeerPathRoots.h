// The folders whose contents peers may ask this machine to read, copy or
// list, and the folder under which they may create and remove directories.
#pragma once

#include <string>
#include <vector>

// Settings store value holding the folders file requests of peers may reach,
// absolute paths separated by ":". When it is absent or empty, the folders
// are this client's job-results directory, the data and log folders of the
// local instances and the snapshot mount base.
inline constexpr const char* kPeerPathRootsSection = "MSSQLAgent";
inline constexpr const char* kPeerPathRootsKey = "sPeerPathRoots";

// This client's job-results directory; empty when it is not configured.
std::string SqlOwnJobResultsDirectory();

// The folders file requests of peers may reach, as configured (see above);
// relative entries are dropped.
std::vector<std::string> SqlPeerFileRoots();
