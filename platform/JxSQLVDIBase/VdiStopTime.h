// Reading the stop time of a point-in-time restore and the time of a mark.
#pragma once

#include <cstdint>
#include <string>

// Parses "YYYY-MM-DD hh:mm:ss[.fff]", or "NN-NN-YYYY hh:mm:ss[.fff]" (also
// with "/"), read month first unless `dateFormat` is 2 (day first); the
// text may stand in single quotes and may end in a zone "Z", "+hh:mm" or
// "-hh:mm" (UTC without one). `ms` receives milliseconds since 1970 (UTC).
bool VdiParseStopTime(const std::string& text, int dateFormat, int64_t& ms);
// The same for a time written in the local time of the instance's machine
// (a zone in the text still wins): the time of a STOPATMARK ... AFTER.
bool VdiParseLocalTime(const std::string& text, int dateFormat, int64_t& ms);
