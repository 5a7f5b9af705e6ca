// CSQLRestoreBase: the out-of-place snapshot destination of a restore task
// and the multi-stream switch of snapshot restores, read by every job.
#include <cinttypes>
#include <cstdlib>

#include "EvTaskApiNet/EvRstTask.h"
#include "JxLib/JXGlobalParam.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"

namespace {
constexpr unsigned long kOptSnapDestinationClient = 460525918;
constexpr unsigned long kOptSnapDestinationInstance = 383853076;
}  // namespace

void CSQLRestoreBase::readSnapDestinationRestoreOptionsIfPresent() {
    EvRstTask task(m_jobId);
    SqlSnapDestinationInstance_t& destination = m_restoreOptions.snapDestination;
    destination.instanceId = 0;
    destination.clientId = 0;
    unsigned long clientId = 0;
    int rc = task.getOptionULong(kOptSnapDestinationClient, clientId);
    if (rc == EVTASK_ERR_NOT_FOUND) return;  // not an out-of-place restore
    if (rc != 0) {
        EV_ERROR(m_logger, "Failed to get destination instance ID with error [%d].", rc);
        return;
    }
    if (clientId == 0) return;
    unsigned long instanceId = 0;
    rc = task.getOptionULong(kOptSnapDestinationInstance, instanceId);
    if (rc == EVTASK_ERR_NOT_FOUND) return;
    if (rc != 0) {
        EV_ERROR(m_logger, "Failed to get destination instance ID with error [%d].", rc);
        return;
    }
    if (instanceId == 0) return;
    destination.clientId = clientId;
    destination.instanceId = instanceId;
    if (destination.stageFolder.empty()) {
        EV_DEBUG(m_logger, 3,
                 "Failed to get destination stage folder from task options. Searching for 'SnapOopStageFolder' key.");
        JXPlatformInfo settings;
        if (settings.getString("MSSQLAgent", "SnapOopStageFolder", destination.stageFolder) == 0) {
            destination.stageFolder.clear();
            EV_DEBUG(m_logger, 3, "Failed to get destination stage folder from regkey with error [%d].",
                     settings.getLastError());
        }
    }
}

void CSQLRestoreBase::CheckForMultiStreamRestore() {
    std::string value;
    if (JXGlobalParam::getProperty("bEnableSQLSnapRestoreStreams", value) != 0) return;
    const unsigned long streams = static_cast<unsigned long>(std::atol(value.c_str()));
    EV_DEBUG(m_logger, 6, "Set value for enable multi-stream Snap Restore [%lu].", streams);
    m_multiStreamRestore = streams != 0;
}
