// CStopWatch: elapsed-time measurement on the platform clock.
//
// Ticks are platform milliseconds (wz::ClockMs), so a scaled clock in tests
// gives scaled elapsed times. A new stop watch is running.
#pragma once

#include <cstdint>

class CStopWatch {
public:
    CStopWatch() { Start(); }

    // Starts (or restarts) the measurement.
    void Start();
    // Freezes the elapsed time until the next Start.
    void Stop();
    // Elapsed seconds: elapsed ticks divided by the tick frequency.
    double Time() const;

private:
    int64_t Elapsed() const;

    static constexpr int64_t kTicksPerSecond = 1000;
    int64_t m_start = 0;
    int64_t m_stop = 0;
    bool m_running = false;
};
