// The platform's one sleep and one clock.
//
// Every wait and time-out of the system goes through here. A time scale
// (environment variable JX_TIME_SCALE, default 1) lets tests run long waits
// fast: with scale 0.001 a 120-second time-out passes in 120 ms of real time,
// and ClockMs() advances 1000 platform milliseconds per real millisecond, so
// budgets measured with it stay consistent with the scaled sleeps.
#pragma once

#include <cstdint>

// Sleeps `milliseconds` of platform time.
void WZSLEEP_InTeRnAl(uint32_t milliseconds);

namespace wz {

inline constexpr const char* kTimeScaleEnv = "JX_TIME_SCALE";

double TimeScale();
void SetTimeScale(double scale);

// Real milliseconds that `platformMs` platform milliseconds last (at least 1
// when platformMs > 0).
int64_t RealMs(int64_t platformMs);

// Monotonic platform time in milliseconds.
int64_t ClockMs();

// Wall-clock time as 100-nanosecond ticks since 1601-01-01 (the closed
// libraries' time unit).
int64_t NowTicks();

}  // namespace wz
