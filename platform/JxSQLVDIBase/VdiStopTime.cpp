// The stop time of a point-in-time restore.
#include "JxSQLVDIBase/VdiStopTime.h"

#include <cstdio>
#include <ctime>

namespace {

// Reads the text as VdiParseStopTime says; a text without a zone is UTC, or
// local time when `local`.
bool Parse(const std::string& input, int dateFormat, bool local, int64_t& ms) {
    std::string text = input;
    while (!text.empty() && (text.front() == '\'' || text.front() == ' ')) text.erase(text.begin());
    while (!text.empty() && (text.back() == '\'' || text.back() == ' ')) text.pop_back();
    for (char& c : text) {
        if (c == '/' || c == 'T') c = c == 'T' ? ' ' : '-';
    }
    int zoneSign = 0, zoneHours = 0, zoneMinutes = 0;
    bool zoned = true;
    if (!text.empty() && text.back() == 'Z') {
        text.pop_back();
    } else if (text.size() > 6 && (text[text.size() - 6] == '+' || text[text.size() - 6] == '-') &&
               text[text.size() - 3] == ':') {
        zoneSign = text[text.size() - 6] == '+' ? 1 : -1;
        if (std::sscanf(text.c_str() + text.size() - 5, "%2d:%2d", &zoneHours, &zoneMinutes) != 2) return false;
        text.resize(text.size() - 6);
    } else {
        zoned = false;
    }
    int a = 0, b = 0, c = 0, hour = 0, minute = 0, second = 0, milli = 0, used = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%n", &a, &b, &c, &hour, &minute, &second, &used) != 6) return false;
    if (static_cast<size_t>(used) < text.size()) {
        if (text[static_cast<size_t>(used)] != '.') return false;
        std::string fraction = text.substr(static_cast<size_t>(used) + 1);
        if (fraction.empty() || fraction.size() > 9 || fraction.find_first_not_of("0123456789") != std::string::npos) {
            return false;
        }
        fraction.resize(3, '0');
        milli = std::stoi(fraction.substr(0, 3));
    }
    int year = 0, month = 0, day = 0;
    if (a > 999) {
        year = a, month = b, day = c;
    } else if (dateFormat == 2) {
        day = a, month = b, year = c;
    } else {
        month = a, day = b, year = c;
    }
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60 ||
        hour < 0 || minute < 0 || second < 0 || zoneHours > 14 || zoneMinutes > 59) {
        return false;
    }
    struct tm parts {};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;  // local time: whatever daylight saving says then
    int64_t seconds = static_cast<int64_t>(local && !zoned ? mktime(&parts) : timegm(&parts));
    seconds -= static_cast<int64_t>(zoneSign) * (zoneHours * 3600 + zoneMinutes * 60);
    ms = seconds * 1000 + milli;
    return true;
}

}  // namespace

bool VdiParseStopTime(const std::string& text, int dateFormat, int64_t& ms) {
    return Parse(text, dateFormat, false, ms);
}

bool VdiParseLocalTime(const std::string& text, int dateFormat, int64_t& ms) {
    return Parse(text, dateFormat, true, ms);
}
