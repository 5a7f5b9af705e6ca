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

// Waits on another process: in a program, for a program it starts (its
// start, its call-back, its answers), and in such a program, for the one
// that started it. With time scaled down, such a budget is a few real
// milliseconds that a busy machine can spend before it even runs the other
// process; the floor makes these waits last at least that many real
// milliseconds whatever the scale, and they still end as soon as the other
// process answers. 0 (the default) leaves them scaled like every other wait;
// unscaled, every budget is far longer than any floor. A program reads the
// floor from the environment variable JX_HELPER_WAIT_FLOOR_MS once, so that
// a helper takes the floor of the test that starts it.
inline constexpr const char* kHelperWaitFloorEnv = "JX_HELPER_WAIT_FLOOR_MS";

int64_t HelperWaitFloorMs();
void SetHelperWaitFloorMs(int64_t realMs);
// The platform milliseconds a wait on another process gets for a budget of
// `platformMs`: the budget, or what lasts the floor when that is longer.
int64_t HelperWaitMs(int64_t platformMs);
// The same in platform seconds (the network layer's unit), at most INT_MAX.
int HelperWaitSeconds(int seconds);

// Tests: moves the platform clock on by `platformMs` at once, as if that much
// time had passed with nothing done. Every later reading of ClockMs, and so
// every deadline measured on it, sees the step; sleeps are not shortened.
void AdvanceClock(int64_t platformMs);

}  // namespace wz
