// Copies one file into an index directory under the platform root.
#pragma once

#include <string>

namespace jobresults {

// Copies the regular file `from` to `directory`/<its file name>, creating
// the directory; false with `error` set when it cannot.
bool CopyIntoIndex(const std::string& from, const std::string& directory, std::string& error);

}  // namespace jobresults
