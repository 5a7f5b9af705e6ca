// CSQLDumpLiveSync: the job's start, its restore client and the live-sync
// loop (run, unmount, stay-alive check, wait).
#include "JxSQLCommon/dump/CSQLDumpLiveSync.h"

#include <cinttypes>
#include <new>

#include "JxSQLCommon/dump/CSQLDumpLiveSyncCleanUp.h"
#include "JxSQLCommon/dump/SqlRstJobClientLiveSync.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzClock.h"

namespace {

// The job's percentage is reported only above this floor.
constexpr int kPercentFloor = 5;
// One step of the wait between two runs.
constexpr uint32_t kWaitStepMs = 10000;
constexpr uint64_t kMillisecondsPerMinute = 60000;

}  // namespace

CSQLDumpLiveSync::~CSQLDumpLiveSync() = default;

bool CSQLDumpLiveSync::startRestore(RestoreOptionsParser& parser) { return CSQLRestoreBase::startRestore(parser); }

bool CSQLDumpLiveSync::initializeRestore(RestoreOptionsParser& parser) {
    return CSQLDumpRestore::initializeRestore(parser);
}

CWzError CSQLDumpLiveSync::CreateRestoreObject(SQL_RST_JOB_CLIENT_TYPE type) {
    if (!m_pRstJobClnt) {
        SqlRstJobClientLiveSync* client = new (std::nothrow) SqlRstJobClientLiveSync(this, m_liveSyncSettings);
        if (client != nullptr) m_pRstJobClnt.reset(client);
    }
    if (!m_pRstJobClnt) return FXErrorUtil::ErrorWin32(FXCODELOC, 14, "Out of memory");
    if ((type & SQL_RST_JOB_CLIENT_CREATE) != 0) {
        CWzError error = m_pRstJobClnt->Create();
        if (error.IsError()) {
            m_pRstJobClnt.reset();
            EV_ERROR(m_logger, "Failed to create sub object, restore update object: %s", error.AsString().c_str());
            return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "Failed to create sub object");
        }
    }
    return CWzError::Success();
}

CWzError CSQLDumpLiveSync::JobComplete(const JXJobStatus& status, const JXJobStatusFor& statusFor) {
    if (m_pRstJobClnt && !m_pRstJobClnt->complete(status, statusFor, 0)) {
        EV_WARN(m_logger, "The job manager did not take the end of the job.");
    }
    return CWzError::Success();
}

bool CSQLDumpLiveSync::restore70() {
    CWzError error = LiveSyncDumpRestore();
    if (error.IsSuccess()) return true;
    EV_ERROR(m_logger, "LiveSyncDumpRestore() failed - [%s]", error.AsString().c_str());
    if (!m_pRstJobClnt) {
        EV_ERROR(m_logger, "m_pRstJobClnt not valid");
    } else {
        *m_pRstJobClnt << "Live Sync DB error";
        // The job fails through the result either way.
        (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseLiveSyncDatabase);
    }
    return false;
}

CWzError CSQLDumpLiveSync::LiveSyncDumpRestore() {
    EV_INFO(m_logger, "Running CSQLDumpLiveSync::LiveSyncDumpRestore()");
    CWzError error = m_liveSyncSettings.LoadSettings();
    if (error.IsError()) return error.Push(FXCODELOC, "LoadSettings failed");
    error = DoLiveSyncRstoreLoop(m_liveSyncSettings);
    // A stop between two runs ends the loop after the last run unmounted
    // (and a failed release leaves dumps held after it).
    LetGoAfterTheLastUnmount();
    if (error.IsError()) return error.Push(FXCODELOC, "DoLiveSyncFromDump failed");
    return CWzError::Success();
}

CWzError CSQLDumpLiveSync::DoLiveSyncRstoreLoop(CSQLDumpLiveSyncSettings& settings) {
    for (;;) {
        EV_INFO(m_logger, "[Run: %" PRIu64 "] DoLiveSyncRstoreLoop start...", settings.m_runNumber);
        SQLDumpLiveSync::CleanUp guard(this);
        // Each run reads its options and chains afresh.
        m_restoreOptions = SqlRestoreTaskOptions_t{};
        m_mergedThisRun.clear();
        m_emptyCentralChain.clear();
        m_skippedThisRun.clear();
        m_skipReasons.clear();
        if (quit()) {
            EV_ERROR(m_logger,
                     "Job Manager Issued Job Termination during DoLiveSyncFromDump loop, sweep operation failed");
            return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_ABORT, "Live Sync from dump failed with quit flag set");
        }
        if (!CSQLRestoreBase::restore70()) {
            EV_ERROR(m_logger, "Live Sync CSQLDumpRestore::restore70 failed");
            BeforeLastUnmount();  // the guard unmounts as the loop ends
            return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "Live Sync CSQLDumpRestore::restore70 failed");
        }
        // Whether this run is the last is known before its unmount, so that
        // what the job still holds on the disk library is let go through
        // the mounts, whatever kind of mount they are.
        const bool last = IsLastRun(settings);
        if (last) BeforeLastUnmount();
        CWzError error = guard.Reset();
        if (error.IsError()) return error.Push(FXCODELOC, "cleanUp.Reset() failed");
        if (last) return CWzError::Success();
        error = WaitMinTime(settings);
        if (error.IsError()) {
            EV_INFO(m_logger, "Not treating this as error, since a live sync restore was processed (%s)",
                    error.GetMessage().c_str());
            return CWzError::Success();
        }
    }
}

bool CSQLDumpLiveSync::IsLastRun(CSQLDumpLiveSyncSettings& settings) {
    if (TransferLeftRunning()) {
        EV_ERROR(m_logger, "A data transfer of this run still runs: no further run is started.");
        return true;
    }
    return DoneWaiting(settings);
}

void CSQLDumpLiveSync::LetGoAfterTheLastUnmount() {
    if (!HoldsOnDiskLibrary()) return;
    if (m_settings.AppIDs.empty()) {
        // Unmounted: the same storage is mounted again under the same
        // folders, so that the paths the job holds by lead to it again.
        if (m_lastRunStorage.AppIDs.empty()) {
            EV_WARN(m_logger,
                    "The job holds dumps of the disk library, but no storage is known to let them go through.");
            return;
        }
        m_settings.AppIDs = m_lastRunStorage.AppIDs;
        m_settings.mountRoot = m_lastRunStorage.mountRoot;
        m_settings.jobID = m_lastRunStorage.jobID;
        m_settings.databases = m_lastRunStorage.databases;
    }
    EV_INFO(m_logger,
            "The job still holds dumps of the disk library after its last unmount; mounting it again to let "
            "them go.");
    SQLDumpLiveSync::CleanUp guard(this);
    CWzError error = MountAll(m_settings);
    if (error.IsError()) {
        EV_WARN(m_logger, "Mounting the storage of the last run again failed: %s", error.AsString().c_str());
    }
    BeforeLastUnmount();
    error = guard.Reset();
    if (error.IsError()) EV_WARN(m_logger, "Unmount after letting go failed: %s", error.AsString().c_str());
}

bool CSQLDumpLiveSync::DoneWaiting(CSQLDumpLiveSyncSettings& settings) {
    // Re-read, so that a changed setting takes effect at the next check.
    settings.m_hoursToStayAlive = CSQLDumpLiveSyncSettings::ReadHoursToStayAlive();
    if (settings.m_hoursToStayAlive == 0) {
        EV_INFO(m_logger, "Sqlbackup Live Sync stay alive time is set to 0 to run loop once");
        return true;
    }
    if (settings.GetElapsedTimeInHours() >= settings.m_hoursToStayAlive) {
        EV_INFO(m_logger, "Sqlbackup Live Sync stay alive time has expired");
        return true;
    }
    return false;
}

CWzError CSQLDumpLiveSync::WaitMinTime(CSQLDumpLiveSyncSettings& settings) {
    if (!m_pRstJobClnt) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "m_pRstJobClnt not set");
    settings.m_waitMilliseconds = CSQLDumpLiveSyncSettings::ReadWaitMilliseconds();
    (void)m_pRstJobClnt->markJobAlive();  // a missed keep-alive is repeated at the next wait
    const uint32_t total = settings.GetTotalJobTimeInMinutes();
    if (total != 0) {
        const double share =
            static_cast<double>(settings.GetElapsedTimeInMinutes()) / static_cast<double>(total) * 100.0;
        auto* client = dynamic_cast<SqlRstJobClientLiveSync*>(m_pRstJobClnt.get());
        // Progress only: the wait goes on whether the job manager took it or not.
        if (client != nullptr) (void)client->setPercentageAndUpdate(static_cast<int>(share), kPercentFloor);
    }
    EV_INFO(m_logger, "[Run: %" PRIu64 "] Start of wait of %" PRIu64 " minute(s)", settings.m_runNumber,
            settings.m_waitMilliseconds / kMillisecondsPerMinute);
    uint64_t counted = 0;
    for (;;) {
        const int64_t before = wz::ClockMs();
        if (quit()) {
            EV_INFO(m_logger, "Quit set in WaitMinTime");
            return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_ABORT, "WaitMinTime quit");
        }
        const int64_t took = wz::ClockMs() - before;
        counted += took > 0 ? static_cast<uint64_t>(took) : 0;
        if (counted >= settings.m_waitMilliseconds) break;
        WZSLEEP_InTeRnAl(kWaitStepMs);
        counted += kWaitStepMs;
        if (counted >= settings.m_waitMilliseconds) break;
    }
    EV_INFO(m_logger, "[Run: [%" PRIu64 "] Wait done", settings.m_runNumber);
    ++settings.m_runNumber;
    return CWzError::Success();
}

void CSQLDumpLiveSync::BeforeLastUnmount() {}

bool CSQLDumpLiveSync::HoldsOnDiskLibrary() const { return false; }

CWzError CSQLDumpLiveSync::UnMountAll() {
    CWzError error = CSQLDumpRestore::UnMountAll(m_settings);
    if (error.IsError()) return error.Push(FXCODELOC, "UnMountAll failed");
    if (!m_settings.AppIDs.empty()) {
        m_lastRunStorage = DumpRestoreSettings{};
        m_lastRunStorage.AppIDs = m_settings.AppIDs;
        m_lastRunStorage.mountRoot = m_settings.mountRoot;
        m_lastRunStorage.jobID = m_settings.jobID;
        for (const auto& [name, info] : m_settings.databases) m_lastRunStorage.databases[name];
    }
    m_settings.AppIDs.clear();
    m_settings.databases.clear();  // drops every database's marker files
    m_settings.mountRoot.clear();
    m_settings.jobID.clear();
    // What could not be unmounted stays in unmountFailed for the next try.
    EV_INFO(m_logger, "Mounts and marker files cleared, ready for next run");
    return CWzError::Success();
}
