// CTimeInterval: spans of time in 100-nanosecond ticks.
#include "WzUtils/CTimeInterval.h"

#include <limits>

CTimeInterval CTimeInterval::FromSeconds(int64_t seconds) {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max() / kTicksPerSecond;
    if (seconds > kMax) return CTimeInterval(std::numeric_limits<int64_t>::max());
    if (seconds < -kMax) return CTimeInterval(std::numeric_limits<int64_t>::min());
    return CTimeInterval(seconds * kTicksPerSecond);
}
