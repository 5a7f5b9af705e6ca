// SqlRstJobClientLiveSync: the restore client of a live-sync job.
//
// A live-sync job runs the whole restore sequence many times; if every run
// added its database and byte counts, the job manager would show the totals
// of all runs and a percentage that restarts at every run. This client
// passes progress, keep-alives, events and completion on to the job manager,
// drops the per-run counters (logging that it did), and lets the live-sync
// loop set the job's percentage from the elapsed share of its window.
#pragma once

#include <cstdint>

#include "JxLib/EvEvent.h"
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"

class CSQLDumpLiveSync;
class CSQLDumpLiveSyncSettings;

class SqlRstJobClientLiveSync : public SqlRstJobClient {
public:
    SqlRstJobClientLiveSync(CSQLDumpLiveSync* owner, CSQLDumpLiveSyncSettings& settings);
    ~SqlRstJobClientLiveSync() override;

    bool complete(JXJobStatus status, JXJobStatusFor statusFor, JXPendingCause cause) override;
    bool setPendingCauseAndCriticalEvent(int cause) override;
    bool addJobProgress(int step) override;
    bool markJobAlive() override;
    void setNumFailures2Add(int64_t count) override;
    bool setNoDBsRestoredSoFar(int64_t count) override;
    void setTotBytes2Xfer(int64_t bytes) override;
    bool updateInfo(bool force, bool* changed) override;
    bool setNoDBsToRestore(int64_t count) override;
    void setActiveFile(const char* name) override;
    // Also moves the job's percentage to the elapsed share of the window when
    // "nProxyUpdatePercentForEachDB" is set.
    bool setCurrentDatabase(const char* name) override;
    void setNumSkipped2Add(int64_t count) override;
    void setUncompBytes2Add(int64_t bytes) override;
    bool setUnCompBytesSoFar(int64_t bytes) override;
    bool getPreparedJobFromForeignJob(JobManager::PreparedJobsFromForeignReq& request,
                                      JobManager::PreparedJobsFromForeignResp& reply) override;
    bool setPendingCauseAndEvent(int cause, int eventId) override;
    void setToken(const char* token) override;
    void InfoEvent(int messageId) override;

    virtual bool setPercentage(int percent);
    // Sends `percent` (and an update) only when it is above `floor`; at or
    // below it nothing is sent and the answer is true.
    virtual bool setPercentageAndUpdate(int percent, int floor);

private:
    // Logs that a per-run counter was dropped.
    void Skipped();

    EvEvent m_event;
    CSQLDumpLiveSync* m_owner = nullptr;
    CSQLDumpLiveSyncSettings& m_settingsRef;
    bool m_skipCounters = true;
};
