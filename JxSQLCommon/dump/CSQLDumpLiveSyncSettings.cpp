// CSQLDumpLiveSyncSettings: the live-sync settings and the job's clock.
#include "JxSQLCommon/dump/CSQLDumpLiveSyncSettings.h"

#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/dump/CSQLDumpLiveSyncCleanUp.h"
#include "WzUtils/WzClock.h"

namespace {

constexpr const char* kAgentSection = "MSSQLAgent";
constexpr uint64_t kMaxWaitMinutes = 60;
constexpr uint64_t kMillisecondsPerMinute = 60000;

uint64_t WholeMinutes(std::chrono::system_clock::duration elapsed) {
    const auto minutes = std::chrono::duration_cast<std::chrono::minutes>(elapsed).count();
    return minutes > 0 ? static_cast<uint64_t>(minutes) : 0;
}

}  // namespace

CSQLDumpLiveSyncSettings::~CSQLDumpLiveSyncSettings() = default;

std::chrono::system_clock::time_point CSQLDumpLiveSyncSettings::Now() {
    // The platform clock, so that a scaled clock shortens the window too.
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::milliseconds(wz::ClockMs())));
}

uint32_t CSQLDumpLiveSyncSettings::ReadHoursToStayAlive() {
    uint32_t hours = kDefaultHoursToStayAlive;
    if (JXPlatformInfo().getNumber(kAgentSection, "LiveSyncHoursToStayAlive", &hours) == 0) {
        hours = kDefaultHoursToStayAlive;
    }
    return hours > kMaxHoursToStayAlive ? kDefaultHoursToStayAlive : hours;
}

uint64_t CSQLDumpLiveSyncSettings::ReadWaitMilliseconds() {
    uint64_t minutes = 0;
    if (JXPlatformInfo().getNumber(kAgentSection, "LiveSyncWaitDurationMinutes", &minutes) == 0) minutes = 0;
    if (minutes == 0 || minutes > kMaxWaitMinutes) return kDefaultWaitMilliseconds;
    return minutes * kMillisecondsPerMinute;
}

CWzError CSQLDumpLiveSyncSettings::LoadSettings() {
    m_hoursToStayAlive = ReadHoursToStayAlive();
    int64_t perDb = 0;
    if (JXPlatformInfo().getNumber(kAgentSection, "nProxyUpdatePercentForEachDB", &perDb) == 0) perDb = 0;
    m_updatePercentForEachDb = perDb != 0;
    m_startTime = Now();
    return CWzError::Success();
}

uint32_t CSQLDumpLiveSyncSettings::GetTotalJobTimeInMinutes() const { return m_hoursToStayAlive * 60; }

uint64_t CSQLDumpLiveSyncSettings::GetElapsedTimeInHours() {
    m_currentTime = Now();
    const auto hours = std::chrono::duration_cast<std::chrono::hours>(m_currentTime - m_startTime).count();
    return hours > 0 ? static_cast<uint64_t>(hours) : 0;
}

uint64_t CSQLDumpLiveSyncSettings::GetElapsedTimeInMinutes() const { return WholeMinutes(m_currentTime - m_startTime); }

uint32_t CSQLDumpLiveSyncSettings::GetUpdatePercent() {
    if (GetElapsedTimeInHours() >= m_hoursToStayAlive) return SQLDumpLiveSync::OneHundredPercent;
    const uint32_t total = GetTotalJobTimeInMinutes();
    if (total == 0) return SQLDumpLiveSync::OneHundredPercent;
    const double share = static_cast<double>(GetElapsedTimeInMinutes()) / static_cast<double>(total) * 100.0;
    return static_cast<uint32_t>(share);
}
