// Reading the stop time of a point-in-time restore.
#pragma once

#include <cstdint>
#include <string>

// Parses "YYYY-MM-DD hh:mm:ss[.fff]", or "NN-NN-YYYY hh:mm:ss[.fff]" (also
// with "/"), read month first unless `dateFormat` is 2 (day first); the
// text may stand in single quotes and may end in a zone "Z", "+hh:mm" or
// "-hh:mm" (UTC without one). `ms` receives milliseconds since 1970 (UTC).
bool VdiParseStopTime(const std::string& text, int dateFormat, int64_t& ms);
