// Appending text to a file, for the line logs and journals of the stand-ins.
#pragma once

#include <string>

namespace wz {

// Appends `text` to `path` (created with mode 0644 when missing) in O_APPEND
// mode, so that whole lines of concurrent writers do not interleave. False,
// with errno set, when the file cannot be opened or written.
bool AppendToFile(const std::string& path, const std::string& text);

}  // namespace wz
