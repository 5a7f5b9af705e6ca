// CStopWatch: elapsed-time measurement on the platform clock.
#include "WzUtils/CStopWatch.h"

#include "WzUtils/WzClock.h"

void CStopWatch::Start() {
    m_start = wz::ClockMs();
    m_running = true;
}

void CStopWatch::Stop() {
    if (!m_running) return;
    m_stop = wz::ClockMs();
    m_running = false;
}

int64_t CStopWatch::Elapsed() const { return (m_running ? wz::ClockMs() : m_stop) - m_start; }

double CStopWatch::Time() const {
    return static_cast<double>(Elapsed()) / static_cast<double>(kTicksPerSecond);
}
