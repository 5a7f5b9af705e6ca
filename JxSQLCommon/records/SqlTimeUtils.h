// Printable times for log lines.
#pragma once

#include <string>

// Local time of `t` (seconds since the epoch) as "MM/DD/YYYY hh:mm:ss AM";
// empty when it cannot be converted.
std::string GetTimeString(long t);

// `t` in decimal, followed by " - " and GetTimeString(t) when that is not empty.
std::string PRINT_TIMESTR(long t);
