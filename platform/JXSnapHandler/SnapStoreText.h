// Small helpers of the snapshot engine's text files: tab-separated lines of
// fields, and decimal numbers in them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace snapstore {

// The fields of one line, split at every tab (empty fields kept).
std::vector<std::string> Fields(const std::string& line);

// A plain decimal number (digits only) that fits 64 bits.
bool ParseUnsigned(const std::string& text, uint64_t& value);

}  // namespace snapstore
