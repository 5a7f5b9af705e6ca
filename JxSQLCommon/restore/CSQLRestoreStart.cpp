// CSQLRestoreBase: the start of a restore job (task options, switches, the
// restore sequence) and the job status it reports at the end.
#include <cinttypes>
#include <cstdlib>

#include "EvTaskApiNet/EvRstTask.h"
#include "JxLib/JXGlobalParam.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "WzUtils/FXString.h"

namespace {

constexpr const char* kAgentSection = "MSSQLAgent";

// Task options of a restore job.
constexpr unsigned long kOptChecksum = 1105087590;
constexpr unsigned long kOptContinueAfterError = 1615249930;
constexpr unsigned long kOptRestoreToDisk = 1301980323;
constexpr unsigned long kOptDumpLocation = 13071208;
constexpr unsigned long kOptRestoreToDiskAttach = 1293286866;
constexpr unsigned long kOptVerifyOnly = 231413232;
constexpr unsigned long kOptCloneEnvironment = 656362099;

const char* EnabledText(uint64_t disabled) { return disabled != 0 ? "Disabled" : "Enabled"; }

}  // namespace

bool CSQLRestoreBase::startRestore(RestoreOptionsParser& parser) {
    if (!initializeRestore(parser)) {
        EV_ERROR(m_logger, "Failed to initialize restore ");
        return false;
    }
    EV_DEBUG(m_logger, 1, "!!!! STARTING Restore JobId [%" PRIu64 "] Task Id [%" PRIu64 "]!!!!", m_jobId,
             m_restoreTaskId);

    EvRstTask task(m_jobId);
    JXPlatformInfo settings;
    (void)task.getOptionBool(kOptChecksum, m_bChecksum);  // an absent option keeps the default
    (void)task.getOptionBool(kOptContinueAfterError, m_bContinueAfterError);
    (void)task.getOptionBool(kOptRestoreToDisk, m_restoreToDisk);
    if (m_restoreToDisk) {
        (void)task.getOptionString(kOptDumpLocation, m_dumpLocation);
        (void)task.getOptionBool(kOptRestoreToDiskAttach, m_restoreToDiskAttach);
        if (settings.getString(kAgentSection, "sSkipBackupTypes", m_skipBackupTypes) == 0) m_skipBackupTypes.clear();
        EV_DEBUG(m_logger, 1, "Restore to disk is selected. Dump location = [%s]", m_dumpLocation.c_str());
        if (!m_skipBackupTypes.empty()) {
            EV_DEBUG(m_logger, 1, "sSkipBackupTypes regkey is set = [%s]", m_skipBackupTypes.c_str());
        }
    }

    if (settings.getNumber(kAgentSection, "bDisableAuxCopyRestore", &m_disableAuxCopyRestore) == 0) {
        EV_WARN(m_logger, "Failed to read the registry key 'bDisableAuxCopyRestore'.");
    }
    EV_DEBUG(m_logger, 1, "Restore operation for combined AuxCopy is [%s].", EnabledText(m_disableAuxCopyRestore));
    (void)task.getOptionBool(kOptVerifyOnly, m_verifyOnly);
    (void)task.getOptionBool(kOptCloneEnvironment, m_cloneEnvironment);
    EV_DEBUG(m_logger, 1, "SQLSERVERRSTOPTION_CLONE_ENV [%s]", m_cloneEnvironment ? "true" : "false");

    int status = kJobFailed;
    bool result = false;
    std::string error;
    if (!InitializeLiveSyncJob(task, error)) {
        if (m_pRstJobClnt) {
            *m_pRstJobClnt << error.c_str();
            (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseFreeText);
        }
    } else {
        const int64_t interval = getUpdateIntervalSecs();
        m_updateIntervalSecs = interval > 0 ? static_cast<uint64_t>(interval) : 0;
        if (settings.getNumber(kAgentSection, "bDisableRestoreOptimization", &m_disableRestoreOptimization) == 0) {
            EV_WARN(m_logger, "Failed to read the registry key 'bDisableRestoreOptimization'.");
        }
        EV_DEBUG(m_logger, 1, "Restore optimization is [%s].", EnabledText(m_disableRestoreOptimization));

        // RESTART in the restore statement: the global parameter, replaced by
        // the setting when that is present.
        int64_t appendRestart = 0;
        std::string global;
        if (JXGlobalParam::getProperty("gp_AppendRestartInQuery", global) == 0) {
            FXString::TrimWhiteSpace(global);
            if (!global.empty()) appendRestart = std::atoll(global.c_str());
        }
        int64_t setting = 0;
        if (settings.getNumber(kAgentSection, "rk_AppendRestartInQuery", &setting) != 0) appendRestart = setting;
        m_appendRestartInQuery = appendRestart != 0;
        EV_DEBUG(m_logger, 1, "Append RESTART option via global param/registry key, for restore query: [%s]",
                 m_appendRestartInQuery ? "YES" : "NO");

        CheckForMultiStreamRestore();
        result = restore70();
        status = JobStatusFromCounters(result);
    }
    return CompleteJob(status, result);
}

int CSQLRestoreBase::JobStatusFromCounters(bool& result) const {
    if (!result) return kJobFailed;
    if (m_restoredDbCount == 0) {
        result = false;
        return kJobFailed;
    }
    return m_failedDbCount == 0 ? kJobCompleted : kJobCompletedWithErrors;
}

bool CSQLRestoreBase::CompleteJob(int status, bool result) {
    if (QuitRequested()) status = kJobKilled;
    (void)closeJobResults();  // a job without a results file has nothing to close
    m_reportedJobStatus = status;
    if (m_pRstJobClnt && !m_pRstJobClnt->complete(status, 1, 0)) {
        EV_ERROR(m_logger, "Failed to report the end of the job to the job manager.");
    }
    return result;
}

bool CSQLRestoreBase::startAzureRestore(RestoreOptionsParser& parser) { return StartCloudRestore(parser, true); }

bool CSQLRestoreBase::startAwsRestore(RestoreOptionsParser& parser) { return StartCloudRestore(parser, false); }

bool CSQLRestoreBase::StartCloudRestore(RestoreOptionsParser& parser, bool azure) {
    if (!initializeRestore(parser)) {
        EV_ERROR(m_logger, "Failed to initialize restore ");
        return false;
    }
    EV_DEBUG(m_logger, 1, "!!!! STARTING %s Restore JobId [%" PRIu64 "] Task Id [%" PRIu64 "]!!!!",
             azure ? "Azure" : "Aws", m_jobId, m_restoreTaskId);
    EvRstTask task(m_jobId);
    (void)task.getOptionBool(kOptRestoreToDisk, m_restoreToDisk);  // an absent option keeps the default
    if (m_restoreToDisk) (void)task.getOptionString(kOptDumpLocation, m_dumpLocation);
    (azure ? m_azureRestoreJob : m_awsRestoreJob) = true;
    if (!getRestoreOptions()) {
        EV_ERROR(m_logger, "Failed to get restore options.");
        return false;
    }
    bool result = false;
    if (azure) {
        result = m_destinationAws ? restoreAws() : restoreAzure();
    } else {
        result = m_destinationAzure ? restoreAzure() : restoreAws();
    }
    const int status = JobStatusFromCounters(result);
    return CompleteJob(status, result);
}
