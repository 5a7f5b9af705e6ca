// DumpSweepUtils: staging mount points and the mounting service.
#include "JxSQLCommon/dump/DumpSweepUtils.h"

#include <cerrno>
#include <cinttypes>
#include <cstring>
#include <list>
#include <memory>
#include <vector>

#include "ArMgrClientAPI/ArMgrClientAPI.h"
#include "JXAppMgr/App_ExecuteSP.h"
#include "EvTaskApiNet/EvTask.h"
#include "JxLib/EvDebug.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/CNSessionMessages.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxSQLCommon/records/PmnMessages.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/TMMsgMessages.h"
#include "JxSession/CJxNetwork.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/FXFile.h"
#include "WzUtils/FXPath.h"
#include "WzUtils/WzFileSystem.h"

namespace {

constexpr int kSendTimeoutSeconds = 45;
constexpr int kReceiveTimeoutSeconds = 180;
constexpr int kDisconnectTimeoutSeconds = 120;
constexpr int64_t kSqlAppType = 81;
// The backup level the scheduled job's backup options carry for a FULL backup.
constexpr int64_t kFullBackupLevel = 6;
// Separates the database names of a scheduled job's backup options.
constexpr char kNameSeparator = '\x12';

EvDebug& Log() {
    static EvDebug log;
    return log;
}

// Drops `suffix` (a last path level) from the end of `path` when it is there.
void DropLastLevel(std::string& path, const std::string& level) {
    const std::string suffix = "/" + level;
    if (path.size() > suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0) {
        path.erase(path.size() - suffix.size());
    }
}

}  // namespace

bool DumpSweepUtils::GetJobResultsDir(const std::string& clientName, std::string& dir) const {
    if (clientName.empty()) {
        EV_ERROR(Log(), "Invalid parameter passed. Source client name is empty");
        return false;
    }
    JXPlatformInfo settings;
    const std::string section = "Machines/" + clientName;
    if (!settings.getString(section, "dJOBRESULTSDIR", dir) || dir.empty()) {
        EV_ERROR(Log(), "Failed to read registry '%s' with error code [%lu] [Reg Error - %d] and error message [%s].",
                 (section + "/dJOBRESULTSDIR").c_str(), static_cast<unsigned long>(settings.getLastError()),
                 settings.getLastError(), settings.getLastErrorMsg().c_str());
        return false;
    }
    return true;
}

std::string DumpSweepUtils::GetStageLocation(const std::string& clientName, uint64_t subclientId) const {
    if (clientName.empty()) {
        EV_ERROR(Log(), "Invalid parameter passed. Job results directory is empty");
        return "";
    }
    std::string location;
    if (!GetJobResultsDir(clientName, location)) {
        EV_ERROR(Log(), "Failed to get the job result directory for the client %s", clientName.c_str());
        return "";
    }
    while (location.size() > 1 && location.back() == '/') location.pop_back();
    DropLastLevel(location, "JobResults");
    DropLastLevel(location, "Pelmanode");
    for (const std::string& level : {std::string("Pelmanode"), std::string("MS SQL Agent"),
                                     std::to_string(subclientId), std::string(MOUNTPOINT_NAME)}) {
        if (FXPath::Append(location, level).IsError()) return "";
    }
    return location;
}

CWzError DumpSweepUtils::MountMADiskLibrary(const std::string& mountPoint, uint64_t subclientId, MOUNT_METHOD method,
                                            bool refreshCache) {
    Pmn::MAMountPointReq request;
    request.setint64(Pmn::MAMountPointReq::kSubclientId, static_cast<int64_t>(subclientId));
    if (refreshCache) {
        request.setint64(Pmn::MAMountPointReq::kRefreshCache, 1);
    } else {
        if (mountPoint.empty() || subclientId == 0 || m_clientName.empty()) {
            return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "Invalid parameter passed");
        }
        request.setstring(Pmn::MAMountPointReq::kMountPath, mountPoint);
        request.setint64(Pmn::MAMountPointReq::kReserved, 0);
        request.setint64(Pmn::MAMountPointReq::kMount, method == MOUNT_METHOD_MOUNT ? 1 : 0);
        request.setint64(Pmn::MAMountPointReq::kUnmount, method == MOUNT_METHOD_UNMOUNT ? 1 : 0);
    }

    CNSession::LaunchOnDemandServiceReq launch;
    launch.setstring(CNSession::LaunchOnDemandServiceReq::kClientName, m_clientName);
    launch.setstring(CNSession::LaunchOnDemandServiceReq::kServiceName, JXMA_MOUNTING_POINT_SERVICE);
    if (refreshCache) {
        EV_INFO(Log(), "Submitting on demand service task to refresh cache for subclient: [%" PRIu64 "]", subclientId);
    } else {
        EV_INFO(Log(),
                "Submitting on demand service task to mount the disk library from media agent. subclient: [%" PRIu64
                "], mountPoint: [%s], mountMethod: [%d]",
                subclientId, mountPoint.c_str(), static_cast<int>(method));
    }

    CNSession::LaunchOnDemandServiceDetails details;
    CWzError error = m_onDemandClient->SubmitTask(launch, details);
    if (error.IsError()) return error.Push(FXCODELOC, "m_onDemandClient.SubmitTask failed for subclient: %" PRIu64, subclientId);
    CJxNetwork session;
    error = m_onDemandClient->Attach(details, session);
    if (error.IsError()) return error.Push(FXCODELOC, "m_onDemandClient.Attach failed for subclient: %" PRIu64, subclientId);

    bool timedOut = false;
    error = session.SendXMLMessage(request, 0, kSendTimeoutSeconds, timedOut);
    if (error.IsError()) {
        return error.Push(FXCODELOC, "netSession.SendXMLMessage failed for subclient: %" PRIu64, subclientId);
    }
    CNMessageBase* received = nullptr;
    error = session.ReceiveXMLMessage(nullptr, received, nullptr, 0, kReceiveTimeoutSeconds, timedOut);
    std::unique_ptr<CNMessageBase> answer(received);
    if (error.IsError()) {
        return error.Push(FXCODELOC, "netSession.ReceiveXMLMessage failed for subclient: %" PRIu64, subclientId);
    }
    const CNMessageBase* result = answer ? answer->getObjectAccessor(1, 1) : nullptr;
    // The session is ended whatever the answer: an error answer must not
    // leave the service waiting for a disconnect that never comes.
    (void)session.Disconnect(kDisconnectTimeoutSeconds, timedOut);  // the answer is what counts
    if (result == nullptr) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER,
                                         "netSession.ReceiveXMLMessage returned an invalid object for subclient: %" PRIu64,
                                         subclientId);
    }
    const int64_t code = result->getint64(1, 1);
    EV_INFO(Log(), "Response received for subclient: %" PRIu64 ", ErrorCode [%" PRId64 "]", subclientId, code);
    if (code != 0) {
        return FXErrorUtil::ErrorWin32(FXCODELOC, static_cast<uint32_t>(code), "Mounting service answered %" PRId64,
                                       code);
    }
    EV_INFO(Log(), "Connected to ODS [%s] successfully for subclient: %" PRIu64,
            details.getstring(CNSession::LaunchOnDemandServiceDetails::kServiceInstance).c_str(), subclientId);
    return CWzError::Success();
}

CWzError DumpSweepUtils::CreateLogBackupStageMountPoint(uint64_t subclientId, const std::string& location,
                                                        MOUNT_METHOD method) {
    if (location.empty()) {
        EV_ERROR(Log(), "Invalid parameter passed. Staging location passed is empty");
        return FXErrorUtil::ErrorWin32(FXCODELOC, kNoMountPointsCode, "Failed to form the staging location");
    }
    if (wz::MakeDirectoryTree(location) != 0) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Failed to create the mountpoint [%s]. Error: [%s]",
                                       location.c_str(), std::strerror(errno));
    }
    CWzError error = MountMADiskLibrary(location, subclientId, method, false);
    if (error.IsError()) {
        EV_ERROR(Log(), "Failed to mount the disk library from media agent. SubclientID: [%" PRIu64 "], Error: [%s]",
                 subclientId, error.GetMessage().c_str());
    } else {
        EV_INFO(Log(), "Successfully mounted the disk library from media agent. SubclientID: [%" PRIu64
                       "], mountPoint: [%s]", subclientId, location.c_str());
    }
    return error;
}

CWzError DumpSweepUtils::UnmountRemoteStorages(uint64_t subclientId, const std::string& location) {
    if (location.empty()) {
        EV_ERROR(Log(), "Invalid parameter passed. Staging location passed is empty");
        return FXErrorUtil::ErrorWin32(FXCODELOC, kNoMountPointsCode, "Failed to form the staging location");
    }
    CWzError error = MountMADiskLibrary(location, subclientId, MOUNT_METHOD_UNMOUNT, false);
    if (error.IsError()) {
        EV_ERROR(Log(), "Failed to unmount the disk library from media agent. SubclientID: [%" PRIu64 "], Error: [%s]",
                 subclientId, error.GetMessage().c_str());
    } else {
        EV_INFO(Log(), "Successfully unmounted the disk library from media agent. SubclientID: [%" PRIu64
                       "], mountPath: [%s]", subclientId, location.c_str());
    }
    return error;
}

CWzError DumpSweepUtils::GetMountedRemoteStorages(uint64_t subclientId, const std::string& location,
                                                  std::set<std::string>& paths) {
    CWzError error = CreateLogBackupStageMountPoint(subclientId, location, MOUNT_METHOD_MOUNT);
    if (error.IsError()) return error;
    // The entries of the folder itself, not of the folder and its siblings.
    const std::string pattern = location + "/*";
    std::vector<FXFile::CFileData> entries;
    error = FXFile::JXFindFiles(pattern, entries);
    if (error.IsError()) {
        EV_ERROR(Log(), "No mountpoints present at the location [%s]. Error: [%s]", location.c_str(),
                 error.GetMessage().c_str());
        return error.Push(FXCODELOC, "JXFindFirstFile(%s) - failed", pattern.c_str());
    }
    for (const FXFile::CFileData& entry : entries) {
        const std::string path = location + "/" + entry.name;
        if (entry.isReparsePoint()) {
            paths.insert(path);
            EV_DEBUG(Log(), 1, " Found a valid mountpoint: [%s]", path.c_str());
        } else {
            EV_DEBUG(Log(), 1, "Not considering [%s] as a valid mountpoint", path.c_str());
        }
    }
    if (paths.empty()) {
        return FXErrorUtil::ErrorWin32(FXCODELOC, kNoMountPointsCode, "Cannot find any valid mountpoints");
    }
    return CWzError::Success();
}

CWzError DumpSweepUtils::HasValidMountPoints(bool& valid, uint64_t subclientId, uint64_t otherId, bool flag1,
                                             bool flag2) const {
    valid = false;
    std::vector<ArMgrMountPath> paths;
    const int result = ArMgrClientAPI::getSubclientMountpathList(subclientId, otherId, flag1, flag2, paths);
    if (result != 0) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "Failed to getSubclientMountpathList with error [%d]",
                                         result);
    }
    if (paths.empty()) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "getSubclientMountpathList returned no mount paths");
    }
    for (const ArMgrMountPath& path : paths) {
        if (!path.path.empty() && (path.status == 0 || path.status == -1)) {
            valid = true;
            break;
        }
    }
    if (!valid) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "Failed to find any active mps for sub client [%" PRIu64 "]",
                                         subclientId);
    }
    return CWzError::Success();
}

bool DumpSweepUtils::HasValidMountPoints(uint64_t subclientId, uint64_t otherId, bool flag1, bool flag2) const {
    bool valid = false;
    CWzError error = HasValidMountPoints(valid, subclientId, otherId, flag1, flag2);
    if (error.IsError()) {
        EV_WARN(Log(), "No active mps for sub client [%" PRIu64 "][%s]", subclientId, error.GetMessage().c_str());
    }
    return valid;
}

bool DumpSweepUtils::SendSLAInfoToCS(uint64_t subclientId, std::vector<SQLPmn::SqlUpdateBackupInfo>& records) const {
    if (records.empty()) return true;
    static constexpr const char* kLabel = "SP: SqlUpdateBackupDumpInfo(to send SLA info to CS)";
    SQLPmn::SqlUpdateBackupDumpInfoReq request;
    JxEntities::GenericEntity entity;
    entity.setint64(JxEntities::GenericEntity::kSubclientId, static_cast<int64_t>(subclientId));
    request.setObjectAccessor(SQLPmn::SqlUpdateBackupDumpInfoReq::kEntity, entity);
    request.setlistobject(SQLPmn::SqlUpdateBackupDumpInfoReq::kBackupInfos, records);
    std::string input;
    if (request.serialize(input) != 0) {
        EV_ERROR(Log(), "Failed to serialize the request of %s.", kLabel);
        return false;
    }
    EV_DEBUG(Log(), 3, "Input XML - %s: [%s].", kLabel, input.c_str());
    std::string output;
    const int result = App_ExecuteSP().executeStoredProcedure(request.getTagID(), input, output, nullptr);
    if (result != 0) {
        EV_ERROR(Log(), "Execution of %s failed with error [%d].", kLabel, result);
        return false;
    }
    SQLPmn::GenericResp answer;
    if (answer.unserialize(output) != 0 || answer.getint64(SQLPmn::GenericResp::kErrorCode) != 0) {
        EV_ERROR(Log(), "Executed %s. Failed with error [%lld: %s].", kLabel,
                 static_cast<long long>(answer.getint64(SQLPmn::GenericResp::kErrorCode)),
                 answer.getstring(SQLPmn::GenericResp::kErrorText).c_str());
        return false;
    }
    EV_DEBUG(Log(), 3, "Output XML - %s: [%s].", kLabel, output.c_str());
    return true;
}

bool DumpSweepUtils::CreateFullBackupTask(int clientId, int subclientId, int instanceId,
                                          const std::set<std::string>& databases, long long& jobId) const {
    JxEntities::GenericEntity entity;
    entity.setint64(JxEntities::GenericEntity::kApplicationType, kSqlAppType);
    entity.setstring(JxEntities::GenericEntity::kApplicationName, "SQL Server");
    entity.setint64(JxEntities::GenericEntity::kInstanceId, instanceId);
    entity.setint64(JxEntities::GenericEntity::kClientId, clientId);
    entity.setint64(JxEntities::GenericEntity::kSubclientId, subclientId);
    const std::vector<CNMessageBase> entities = {entity};

    TMMsg::Pattern pattern;
    TMMsg::JobOption jobOptions;
    if (!jobOptions.isSet(TMMsg::JobOption::kBackupOptions)) {
        jobOptions.setObjectAccessor(TMMsg::JobOption::kBackupOptions,
                                     CNMessageBase(TMMsg::JobOption::kBackupOptionsModule,
                                                   TMMsg::JobOption::kBackupOptionsMessage));
    }
    CNMessageBase* backupOptions = jobOptions.getObjectAccessor(TMMsg::JobOption::kBackupOptions);
    if (backupOptions == nullptr) {
        EV_ERROR(Log(), "pBackupOptions is NULL");
        return false;
    }
    backupOptions->setint64(TMMsg::JobOption::kBackupLevel, kFullBackupLevel);
    backupOptions->setint64(TMMsg::JobOption::kBackupOption16, 0);
    backupOptions->setint64(TMMsg::JobOption::kBackupOption33, 1);
    backupOptions->setint64(TMMsg::JobOption::kBackupOption65, 1);
    std::string listed;  // for the log
    if (!databases.empty()) {
        std::string joined;
        for (const std::string& name : databases) {
            if (!joined.empty()) {
                joined += kNameSeparator;
                listed += ",";
            }
            joined += name;
            listed += name;
        }
        backupOptions->setstring(TMMsg::JobOption::kDatabaseNames, joined);
    }

    std::list<long long> jobIds;
    std::string errorText;
    const int result = EvTask::createScheduleJob(2, 2, jobIds, errorText, 1, entities, pattern, jobOptions, 0, 0,
                                                 false, 1, std::string(), std::string());
    if (result != 0 || jobIds.empty()) {
        EV_ERROR(Log(), "Unable to create FULL backup job. Error: [%d: %s]", result, errorText.c_str());
        return false;
    }
    jobId = jobIds.front();
    EV_INFO(Log(), "Successfully started FULL backup job %lld for database(s): %s", jobId, listed.c_str());
    return true;
}
