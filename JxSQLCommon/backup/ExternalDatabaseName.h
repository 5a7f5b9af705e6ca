// Database names that arrive from outside the job (plug-in options,
// on-demand lists, replies of the availability-group master) must fit on one
// line of a collect file, which readers take into a 1024-byte buffer.
#pragma once

#include <string>

namespace jxsql {

// At most this many bytes, without the line end.
inline constexpr size_t kMaxCollectFileNameBytes = 1023;

// True when `name` can be written as one line of a collect file; otherwise
// `why` says what is wrong with it.
bool IsCollectFileName(const std::string& name, std::string& why);

}  // namespace jxsql
