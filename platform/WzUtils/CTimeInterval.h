// CTimeInterval: a span of time in 100-nanosecond ticks, the closed
// libraries' time unit (10,000,000 ticks a second).
#pragma once

#include <cstdint>

class CTimeInterval {
public:
    static constexpr int64_t kTicksPerSecond = 10000000;
    static constexpr int64_t kTicksPerMillisecond = 10000;

    constexpr CTimeInterval() = default;
    constexpr explicit CTimeInterval(int64_t ticks) : m_ticks(ticks) {}

    // Saturates instead of overflowing for spans beyond the 64-bit range.
    static CTimeInterval FromSeconds(int64_t seconds);

    int64_t GetTicks() const { return m_ticks; }
    // Whole milliseconds, truncated toward zero.
    int64_t AsMilliseconds() const { return m_ticks / kTicksPerMillisecond; }
    double AsSeconds() const { return static_cast<double>(m_ticks) / 1e7; }

private:
    int64_t m_ticks = 0;
};
