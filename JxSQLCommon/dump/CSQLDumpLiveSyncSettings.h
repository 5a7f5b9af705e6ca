// CSQLDumpLiveSyncSettings: the settings and the clock of one live-sync job.
//
// The job keeps running, run after run, for "LiveSyncHoursToStayAlive" hours
// (section "MSSQLAgent"; 0 means one run; above 24 means 1) and waits
// "LiveSyncWaitDurationMinutes" minutes between runs (1 to 60; anything else
// two minutes). Times are taken from the platform clock, so a scaled clock
// (tests) makes the hours and waits pass in seconds.
#pragma once

#include <chrono>
#include <cstdint>

#include "WzUtils/CWzError.h"

class CSQLDumpLiveSyncSettings {
public:
    static constexpr uint32_t kDefaultHoursToStayAlive = 1;
    static constexpr uint32_t kMaxHoursToStayAlive = 24;
    static constexpr uint64_t kDefaultWaitMilliseconds = 120000;

    CSQLDumpLiveSyncSettings() = default;
    virtual ~CSQLDumpLiveSyncSettings();

    // Reads the stay-alive hours and the per-database percentage switch and
    // starts the job's clock. Always succeeds.
    CWzError LoadSettings();
    // The elapsed share of the stay-alive window in percent (100 once it has
    // passed, or when the window is 0).
    uint32_t GetUpdatePercent();
    uint32_t GetTotalJobTimeInMinutes() const;
    // Takes the clock (m_currentTime) and answers the whole hours since the
    // start.
    uint64_t GetElapsedTimeInHours();
    // Whole minutes from the start to the last clock reading.
    uint64_t GetElapsedTimeInMinutes() const;

    // "LiveSyncHoursToStayAlive" as the job uses it (1 when missing or above 24).
    static uint32_t ReadHoursToStayAlive();
    // "LiveSyncWaitDurationMinutes" in milliseconds as the job uses it.
    static uint64_t ReadWaitMilliseconds();
    // Now on the platform clock (scaled in tests).
    static std::chrono::system_clock::time_point Now();

    uint32_t m_hoursToStayAlive = kDefaultHoursToStayAlive;
    uint64_t m_waitMilliseconds = kDefaultWaitMilliseconds;
    std::chrono::system_clock::time_point m_startTime{};
    std::chrono::system_clock::time_point m_currentTime{};
    uint64_t m_runNumber = 1;
    bool m_updatePercentForEachDb = false;
};
