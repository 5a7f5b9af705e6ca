// CTimeStamp: points in time in 100-nanosecond ticks.
#include "WzUtils/CTimeStamp.h"

#include "WzUtils/WzClock.h"

CTimeStamp CTimeStamp::Now() { return CTimeStamp(static_cast<uint64_t>(wz::NowTicks())); }
