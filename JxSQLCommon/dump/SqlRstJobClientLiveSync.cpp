// SqlRstJobClientLiveSync: progress, keep-alive, events and completion go to
// the job manager; the per-run counters are dropped.
#include "JxSQLCommon/dump/SqlRstJobClientLiveSync.h"

#include "JxSQLCommon/dump/CSQLDumpLiveSyncSettings.h"

namespace {
constexpr int kSkipLineLevel = 3;
}  // namespace

SqlRstJobClientLiveSync::SqlRstJobClientLiveSync(CSQLDumpLiveSync* owner, CSQLDumpLiveSyncSettings& settings)
    : m_owner(owner), m_settingsRef(settings) {}

SqlRstJobClientLiveSync::~SqlRstJobClientLiveSync() = default;

void SqlRstJobClientLiveSync::Skipped() { m_event.debugLvl(kSkipLineLevel, "Skipping function for live sync..."); }

bool SqlRstJobClientLiveSync::complete(JXJobStatus status, JXJobStatusFor statusFor, JXPendingCause cause) {
    return Get() != nullptr && SqlRstJobClient::complete(status, statusFor, cause);
}

bool SqlRstJobClientLiveSync::setPendingCauseAndCriticalEvent(int cause) {
    return Get() != nullptr && SqlRstJobClient::setPendingCauseAndCriticalEvent(cause);
}

bool SqlRstJobClientLiveSync::addJobProgress(int step) {
    return Get() != nullptr && SqlRstJobClient::addJobProgress(step);
}

bool SqlRstJobClientLiveSync::markJobAlive() { return Get() != nullptr && SqlRstJobClient::markJobAlive(); }

void SqlRstJobClientLiveSync::setNumFailures2Add(int64_t count) {
    if (m_skipCounters) return Skipped();
    SqlRstJobClient::setNumFailures2Add(count);
}

bool SqlRstJobClientLiveSync::setNoDBsRestoredSoFar(int64_t count) {
    if (m_skipCounters) {
        Skipped();
        return true;
    }
    return SqlRstJobClient::setNoDBsRestoredSoFar(count);
}

void SqlRstJobClientLiveSync::setTotBytes2Xfer(int64_t bytes) {
    if (m_skipCounters) return Skipped();
    SqlRstJobClient::setTotBytes2Xfer(bytes);
}

bool SqlRstJobClientLiveSync::updateInfo(bool force, bool* changed) {
    return Get() != nullptr && SqlRstJobClient::updateInfo(force, changed);
}

bool SqlRstJobClientLiveSync::setNoDBsToRestore(int64_t count) {
    if (m_skipCounters) {
        Skipped();
        return true;
    }
    return SqlRstJobClient::setNoDBsToRestore(count);
}

void SqlRstJobClientLiveSync::setActiveFile(const char* name) {
    if (Get() != nullptr) SqlRstJobClient::setActiveFile(name);
}

bool SqlRstJobClientLiveSync::setCurrentDatabase(const char* name) {
    if (Get() == nullptr) return false;
    const bool result = SqlRstJobClient::setCurrentDatabase(name);
    if (m_settingsRef.m_updatePercentForEachDb) {
        // The database's progress is the window's elapsed share; a refused
        // report changes nothing for the restore.
        (void)SqlRstJobClient::addJobProgress(static_cast<int>(m_settingsRef.GetUpdatePercent()));
    }
    return result;
}

void SqlRstJobClientLiveSync::setNumSkipped2Add(int64_t count) {
    if (m_skipCounters) return Skipped();
    SqlRstJobClient::setNumSkipped2Add(count);
}

void SqlRstJobClientLiveSync::setUncompBytes2Add(int64_t bytes) {
    if (m_skipCounters) return Skipped();
    SqlRstJobClient::setUncompBytes2Add(bytes);
}

bool SqlRstJobClientLiveSync::setUnCompBytesSoFar(int64_t bytes) {
    if (m_skipCounters) {
        Skipped();
        return true;
    }
    return SqlRstJobClient::setUnCompBytesSoFar(bytes);
}

bool SqlRstJobClientLiveSync::getPreparedJobFromForeignJob(JobManager::PreparedJobsFromForeignReq& request,
                                                           JobManager::PreparedJobsFromForeignResp& reply) {
    if (m_skipCounters) {
        Skipped();
        return true;
    }
    return SqlRstJobClient::getPreparedJobFromForeignJob(request, reply);
}

bool SqlRstJobClientLiveSync::setPendingCauseAndEvent(int cause, int eventId) {
    return Get() != nullptr && SqlRstJobClient::setPendingCauseAndEvent(cause, eventId);
}

void SqlRstJobClientLiveSync::setToken(const char* token) {
    if (Get() != nullptr) SqlRstJobClient::setToken(token);
}

void SqlRstJobClientLiveSync::InfoEvent(int messageId) {
    if (Get() != nullptr) SqlRstJobClient::InfoEvent(messageId);
}

bool SqlRstJobClientLiveSync::setPercentage(int percent) {
    JXRstJobClient* client = Get();
    return client != nullptr && client->setPercentage(percent);
}

bool SqlRstJobClientLiveSync::setPercentageAndUpdate(int percent, int floor) {
    if (percent <= floor) return true;
    JXRstJobClient* client = Get();
    if (client == nullptr) return false;
    if (!client->setPercentage(percent)) return false;
    return client->updateInfo(false, nullptr);
}
