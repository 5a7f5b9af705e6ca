// The date text a restore statement is given for a point in time.
#pragma once

#include <ctime>
#include <string>

// `parts` as "MM-DD-YYYY hh:mm:ss" (kind 1), "DD-MM-YYYY hh:mm:ss" (kind 2)
// or "YYYY-MM-DD hh:mm:ss" (any other kind); in single quotes when `quoted`.
std::string SqlRestoreDateText(const struct tm& parts, unsigned long formatKind, bool quoted);
