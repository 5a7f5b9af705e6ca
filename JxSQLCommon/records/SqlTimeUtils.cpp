// Printable times for log lines.
#include "JxSQLCommon/records/SqlTimeUtils.h"

#include <ctime>

#include "WzUtils/WzFormat.h"

std::string GetTimeString(long t) {
    const time_t when = static_cast<time_t>(t);
    struct tm local {};
    if (localtime_r(&when, &local) == nullptr) return std::string();
    char text[32];
    const std::size_t length = std::strftime(text, sizeof(text), "%m/%d/%Y %I:%M:%S %p", &local);
    return std::string(text, length);
}

std::string PRINT_TIMESTR(long t) {
    std::string text = wz::Format("%lu", static_cast<unsigned long>(t));
    const std::string local = GetTimeString(t);
    if (!local.empty()) text += " - " + local;
    return text;
}
