// CSQLRestoreBase: recovery points. A program of the agent builds a restore
// job object for a clone request of the data-browse service, without a job
// of its own, and takes these steps in order: the request becomes restore
// options and a job context (its job-results folder "RPJob_<id>"), the
// snapshot job's volume snapshots are fetched, each volume gets a mount
// folder and a reservation, and the test clone environments are created
// with the attach request stored on them. Attaching is the caller's part.
#include <unistd.h>

#include <cinttypes>
#include <ctime>
#include <memory>
#include <string>

#include "JxJobClient/JXJobCtrlClient.h"
#include "JXAppMgr/JXClient.h"
#include "JxLib/JXPIAgent.h"
#include "JxLib/JXPIPlatformBase.h"
#include "JxSQLCommon/jobbase/SQLDirectorySettings.h"
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "JxSQLCommon/records/DatabrowseMessages.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxSQLCommon/restore/SqlCloneRecords.h"
#include "JxSQLCommon/restore/TestCloneVolumes.h"
#include "WzUtils/WzFileSystem.h"

namespace {

constexpr int kMountStatusAttached = 59;
constexpr unsigned int kDefaultReservationSeconds = 3600;
constexpr uint64_t kDefaultVdiTimeoutSecs = 300;
constexpr int kAgentAppType = 81;
// The destination entity (18, 8) of a clone request's settings.
constexpr CNFieldId kDestinationClientId{19, 19};
constexpr CNFieldId kDestinationInstanceId{0, 0};
constexpr CNFieldId kDestinationInstanceName{1, 1};

const CNMessageBase* CloneSettingsOf(const databrowse::BrowseRequest& request) {
    using R = databrowse::BrowseRequest;
    const CNMessageBase* advanced = request.getObjectAccessor(R::kAdvanced);
    const CNMessageBase* options = advanced ? advanced->getObjectAccessor(R::Advanced::kBrowseOptions) : nullptr;
    const CNMessageBase* selection = options ? options->getObjectAccessor(R::BrowseOptions::kSelection) : nullptr;
    return selection ? selection->getObjectAccessor(R::Selection::kDatabase) : nullptr;
}

}  // namespace

bool CSQLRestoreBase::PrepareRestoreOptionsForRP(databrowse::BrowseRequest* request) {
    using R = databrowse::BrowseRequest;
    const CNMessageBase* settings = request ? CloneSettingsOf(*request) : nullptr;
    const CNMessageBase* destination = settings ? settings->getObjectAccessor(R::Database::kDestination) : nullptr;
    if (destination == nullptr) {
        EV_ERROR(m_logger, "Invalid databrowse request for clone operation.");
        return false;
    }
    const CNMessageBase* advanced = request->getObjectAccessor(R::kAdvanced);
    const CNMessageBase* source = request->getObjectAccessor(R::kEntity);
    const CNMessageBase* times = request->getObjectAccessor(R::kTimeRange);
    m_restoreOptions.copyPrecedence = static_cast<uint64_t>(advanced->getint64(R::Advanced::kCopyPrecedence));
    m_restoreOptions.destinationClientId = static_cast<uint64_t>(destination->getint64(kDestinationClientId));
    m_restoreOptions.destinationInstanceId = static_cast<uint64_t>(destination->getint64(kDestinationInstanceId));
    m_restoreOptions.sourceClientId =
        source ? static_cast<uint64_t>(source->getint64(JxEntities::GenericEntity::kClientId)) : 0;
    m_restoreOptions.sourceInstanceId =
        source ? static_cast<uint64_t>(source->getint64(JxEntities::GenericEntity::kInstanceId)) : 0;
    const int64_t toTime = times ? times->getint64(R::TimeRange::kToTime) : 0;
    m_restoreOptions.pointInTime = toTime > 0 ? static_cast<uint64_t>(toTime) : static_cast<uint64_t>(::time(nullptr));
    m_restoreOptions.optionFlags = 0;
    EV_DEBUG(m_logger, 2,
             "Recovery point restore options - Destination client [%" PRIu64 "], instance [%" PRIu64
             "]; Source client [%" PRIu64 "], instance [%" PRIu64 "]; ToTime [%" PRIu64 "].",
             m_restoreOptions.destinationClientId, m_restoreOptions.destinationInstanceId,
             m_restoreOptions.sourceClientId, m_restoreOptions.sourceInstanceId, m_restoreOptions.pointInTime);
    if (m_restoreOptions.destinationClientId == 0 || m_restoreOptions.destinationInstanceId == 0 ||
        m_restoreOptions.sourceClientId == 0 || m_restoreOptions.sourceInstanceId == 0) {
        EV_ERROR(m_logger, "Options for clone is invalid and cannot proceed.");
        return false;
    }

    // The context of a job that was never registered: the process's own
    // job id when its caller gave none.
    const std::string instance = destination->getstring(kDestinationInstanceName);
    m_sServername = instance;
    m_wideName.assign(instance.begin(), instance.end());
    m_serverType = "DataBase Engine";
    m_vdiTimeout = kDefaultVdiTimeoutSecs;
    if (m_jobId == 0) m_jobId = static_cast<uint64_t>(::getpid());
    m_restoreTaskId = m_jobId;
    m_updateIntervalSecs = static_cast<uint64_t>(getUpdateIntervalSecs());
    m_jxServerHostName = JXPI_PlatformBase(4).getJxServerHostName();

    std::string directory;
    MSSQLAgentHomeDirectory home;
    (void)home.getOptionValue(directory, true);  // empty when unset: the client's job results below
    if (directory.empty()) {
        JXPI_JxClient client(kAgentAppType);
        std::string clientName;
        if (!client.getClientName(clientName) || !client.getJobResultsDirectory(clientName, directory)) {
            EV_ERROR(m_logger, "Failed to get the job results directory of the local client.");
            return false;
        }
    }
    if (directory.back() != '/') directory += '/';
    m_jobResultsDirectory = directory + "RPJob_" + std::to_string(m_jobId);
    // The folder is where the recovery point's metadata lands: it must exist.
    if (wz::MakeDirectoryTree(m_jobResultsDirectory) != 0) {
        EV_ERROR(m_logger, "Failed to create the job results directory [%s] with error [%d].",
                 m_jobResultsDirectory.c_str(), errno);
        return false;
    }

    m_dataTransferHandler =
        SqlDataTransferHandler(false, m_jobId, m_appNumber, m_jxCellId, m_jxServerHostName, getBkpType(), 0);
    if (m_pJobCtrlClnt == nullptr) {
        m_recoveryPointJobControl = std::make_shared<JXJobCtrlClient>(m_jobId);
        m_pJobCtrlClnt = m_recoveryPointJobControl.get();
    }
    if (!m_pRstJobClnt) {
        if (CWzError e = CreateRestoreObject(SQL_RST_JOB_CLIENT_CREATE); e.IsError()) {
            EV_ERROR(m_logger, "Failed to create the restore job client: %s", e.GetMessage().c_str());
            return false;
        }
    }
    m_dataTransferHandler.setJobControllerObject(m_pJobCtrlClnt);
    m_dataTransferHandler.setRstJobControllerObject(m_pRstJobClnt ? m_pRstJobClnt->Get() : nullptr);
    return true;
}

bool CSQLRestoreBase::GetSnapshotInfoForCloneRequest(databrowse::BrowseRequest*, SnapBackupInfo_t&,
                                                     EntitiesForCloneOperation&, bool) {
    return true;
}

bool CSQLRestoreBase::GetSnapVolumeInformation(uint64_t snapJobId, EntitiesForCloneOperation& entities) {
    SMVolSnapInfo& record = entities.snapInfo;
    PrepareTestCloneVolumeQuery(record, snapJobId, m_jobId, m_restoreOptions.copyPrecedence);
    EV_DEBUG(m_logger, 2, "Using copy precedence [%" PRIu64 "] for retrieving snap volumes.",
             m_restoreOptions.copyPrecedence);
    if (!entities.snapClient.getVolumeSnaps(record)) {
        EV_ERROR(m_logger, "getVolumeSnaps failed for afile %u (Status %d)(Error [%d:%s]).", record.getArchFileId(),
                 record.getStatus(), record.getErrorCode(), record.getErrorString().c_str());
        return false;
    }
    return true;
}

bool CSQLRestoreBase::UpdateMountPathAndReserveTime(EntitiesForCloneOperation& entities, std::string mountPath,
                                                    unsigned int reservationSeconds, bool apply) {
    if (!apply) return true;
    if (reservationSeconds == 0) reservationSeconds = kDefaultReservationSeconds;
    std::string hostName;
    (void)JXClient(m_restoreOptions.destinationClientId).getClientName(hostName);  // unknown: no named host
    entities.snapInfo.setMountHostName(hostName);
    SetTestCloneMountPaths(entities.snapInfo, mountPath, static_cast<int>(reservationSeconds), entities.volumeMap);
    for (const auto& [source, volume] : entities.volumeMap) {
        EV_DEBUG(m_logger, 2, "Mount volume [%s] -> [%s]", volume.mountPath.c_str(), source.c_str());
    }
    return true;
}

bool CSQLRestoreBase::CreateCloneForRecoveryPoint(EntitiesForCloneOperation& entities, std::string attachXml,
                                                  bool apply) {
    if (!apply) return true;
    SMVolSnapInfo& record = entities.snapInfo;
    AddAttachRequestToVolumes(record, attachXml);
    EV_DEBUG(m_logger, 2, "Calling createTestCloneEnvs");
    if (!entities.snapClient.createTestCloneEnvs(record)) {
        std::string text;
        const int code = entities.snapClient.getErrCodeAndStr(text);
        EV_ERROR(m_logger, "createTestCloneEnvs failed [%s][%d].", text.c_str(), code);
        return false;
    }
    EV_DEBUG(m_logger, 2, "Successfully cloned all snaps");
    record.setMountStatus(kMountStatusAttached);
    if (!entities.snapClient.updateVolumeSnaps(record)) EV_WARN(m_logger, "Failed to updateVolumeSnaps.");
    return true;
}
