// CSQLRestoreBase: test environments. The snapshot engine itself creates a
// test clone environment of each volume of one full snapshot backup, mounted
// on the destination client under the clone's mount path and reserved for a
// while; the snapshot's databases are then attached from it, under their new
// names, to the destination instance. A recovery point builds its
// environment the same way from the record its caller hands over.
#include <cinttypes>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "EvTaskApiNet/EvRstTask.h"
#include "JXAppMgr/JXClient.h"
#include "JXSnapHandler/JXSnapClientAPI.h"
#include "JobResults/RestoreStatus.h"
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlArchiveManagerRecords.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxSQLCommon/restore/SqlCloneRecords.h"
#include "JxSQLCommon/restore/TestCloneVolumes.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "Messages/CNMessageBase.h"
#include "WzUtils/WzPauseFile.h"

namespace {

constexpr int kMountStatusAttached = 59;
constexpr int kMountStatusAttachFailed = 58;
constexpr int kDefaultReservationSeconds = 3600;
constexpr uint64_t kEngineCanTestClone = 0x1000000;
// Task options: the serialised SQL Server restore options (their common
// mount paths) and the reservation time of a clone.
constexpr unsigned long kOptRestoreOptionList = 0x1A39382A;
constexpr unsigned long kOptReservationSeconds = 0x08260288;
constexpr int kRstOptionModule = 12;
constexpr int kRstOptionMessage = 133;
constexpr CNFieldId kCommonMountPaths{43, 49};
constexpr int kPauseStepMs = 1000;
constexpr int kPauseMaxSteps = 3600;
const char* const kBeforeAttach = "/opt/veltrassa/Pelmanode/BeforeAttach.sleep";
const char* const kAfterAttach = "/opt/veltrassa/Pelmanode/AfterAttach.sleep";

std::vector<SQLPmn::AttachDB> Entries(const SQLPmn::AttachDBMsg& message) {
    std::vector<SQLPmn::AttachDB> entries;
    (void)message.getlistobject(SQLPmn::AttachDBMsg::kDatabases, entries);  // an unreadable list stays empty
    return entries;
}

}  // namespace

bool CSQLRestoreBase::createTestEnvironment(std::list<SqlRestoreDbInfo_t>& dbs, SqlRecoveryPointInfo_t* recoveryPoint) {
    const bool cloneJob = recoveryPoint == nullptr;
    try {
        m_cloneDetachedDatabases.clear();
        // The full snapshot backup of every database, and which databases it holds.
        SqlSnapJobDetails_t details;
        std::set<uint64_t> jobIds;
        std::map<std::string, std::string> targets;   // source name -> name to attach under
        for (SqlRestoreDbInfo_t& db : dbs) {
            std::list<SqlAFilesPerBackup_t> chain = db.restoreChain;
            if (chain.empty() && !getAFilesToRestore(false, db, chain)) {
                if (!cloneJob) {
                    ++m_failedDbCount;
                    EV_ERROR(m_logger, "Failed to get AFiles for database [%s].", TargetName(db).c_str());
                    return false;
                }
                RecordFailedDatabase(TargetName(db));
                continue;
            }
            const uint64_t before = details.jobId;
            details.jobId = 0;
            if (!GetSnapJobDetailsFromBackupList('D', details, chain)) {
                EV_ERROR(m_logger, "Failed to get FULL snap information from backup list.");
                return false;
            }
            if (details.jobId == 0) {
                // No full snapshot backup: the database cannot be in the environment.
                EV_WARN(m_logger, "Database [%s] has no full snapshot backup and is skipped.", TargetName(db).c_str());
                if (cloneJob) RecordSkippedDatabase(TargetName(db));
                details.jobId = before;
                continue;
            }
            jobIds.insert(details.jobId);
            targets[db.sDbName] = TargetName(db);
        }
        if (jobIds.size() > 1) {
            if (cloneJob && m_pRstJobClnt) (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseSeveralSnapJobs);
            EV_ERROR(m_logger, "All databases are not in the same full snap backup job. Unable to perform clone env.");
            return false;
        }
        if (details.jobId == 0) {
            EV_ERROR(m_logger, "Invalid full backup job id fetched.");
            if (cloneJob && m_pRstJobClnt) (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseNoSnapJob);
            return false;
        }
        EV_INFO(m_logger, "Creating Clone Env from snap taken by job [%" PRIu64 "]", details.jobId);

        // Where and for how long.
        int reservation = recoveryPoint ? recoveryPoint->reservationSeconds : 0;
        std::string mountPath;
        if (recoveryPoint && !recoveryPoint->mountPath.empty()) {
            mountPath = recoveryPoint->mountPath;
        } else {
            EvRstTask task(m_jobId);
            std::list<std::string> options;
            (void)task.getOptionString(kOptRestoreOptionList, options);  // absent: the empty list below
            if (options.empty()) {
                EV_ERROR(m_logger, "Mount path is empty.");
                return false;
            }
            for (const std::string& text : options) {
                CNMessageBase option(kRstOptionModule, kRstOptionMessage);
                if (option.unserialize(text) != kMsgOk) {
                    EV_ERROR(m_logger, "TMMsg::SqlServerRstOption Unserialization failed for Common Mount Path.");
                    return false;
                }
                // An option without common mount paths names none: it is passed over.
                const std::vector<std::string> paths = option.getliststring(kCommonMountPaths);
                if (paths.empty()) {
                    EV_WARN(m_logger, "A restore option of the task has no common mount path.");
                    continue;
                }
                mountPath = paths.front();
            }
            if (task.getOptionInt(kOptReservationSeconds, reservation) == 0) {
                EV_DEBUG(m_logger, 2, "SQLSERVERRSTOPTION_CLONE_RESRV_TIME_PERIOD [%d]", reservation);
            }
        }
        EV_DEBUG(m_logger, 2, "Mount location for clone operation [%s], and reservation period set for clone [%d].",
                 mountPath.c_str(), reservation);
        if (mountPath.empty()) {
            EV_ERROR(m_logger, "Mount path is empty.");
            return false;
        }
        if (mountPath[0] != '/' || mountPath.find("/../") != std::string::npos ||
            mountPath.compare(mountPath.size() >= 3 ? mountPath.size() - 3 : 0, 3, "/..") == 0) {
            EV_ERROR(m_logger, "Mount path [%s] is not a plain absolute path.", mountPath.c_str());
            return false;
        }
        if (reservation <= 0) reservation = kDefaultReservationSeconds;

        // The volume snapshots of the job, each given a folder of its own.
        JXSnapClientAPI snapClient;
        SMVolSnapInfo record;
        PrepareTestCloneVolumeQuery(record, details.jobId, m_jobId, m_restoreOptions.copyPrecedence);
        EV_DEBUG(m_logger, 2, "Using copy precedence [%" PRIu64 "] for retrieving snap volumes.",
                 m_restoreOptions.copyPrecedence);
        if (!snapClient.getVolumeSnaps(record) || record.numOfVolume() == 0) {
            EV_ERROR(m_logger, "getVolumeSnaps failed for afile %u (Status %d)(Error [%d:%s])", record.getArchFileId(),
                     record.getStatus(), record.getErrorCode(), record.getErrorString().c_str());
            return false;
        }
        std::string hostName;
        (void)JXClient(m_restoreOptions.destinationClientId).getClientName(hostName);  // an unknown client mounts on no named host
        record.setMountHostName(hostName);
        std::map<std::string, SqlSMVolInfo> volumeMap;
        SetTestCloneMountPaths(record, mountPath, reservation, volumeMap);
        if (!cloneJob && !CheckIfAllVolumesCanCreateTestClone(record)) {
            EV_WARN(m_logger, "Clone operation is not supported for all volumes.");
            return false;
        }
        EV_DEBUG(m_logger, 2, "Mount Host Name = [%s], MountPath = [%s]", hostName.c_str(), mountPath.c_str());

        // The attach request: the snapshot's databases of this job, under
        // their new names, with their files in the environment.
        GetArchFileInfoForSnapJob_Ret_t archiveInfo;
        if (!downloadMetadata(m_restoreOptions.sourceClientId, details, archiveInfo)) {
            EV_ERROR(m_logger, "Failed to download metadata for job id [%" PRIu64 "].", details.jobId);
            return false;
        }
        std::string folder = m_jobResultsDirectory;
        if (folder.empty() || folder.back() != '/') folder += '/';
        const std::string base = folder + std::to_string(details.jobId) + "_Full";
        SQLPmn::AttachDBMsg read;
        if (!getDBInfoFromMetadata(base + "_BCD.xml", base + "_WRT.xml", mountPath, read, volumeMap)) {
            EV_ERROR(m_logger, "Failed to get database info from BCD");
            return false;
        }
        SQLPmn::AttachDBMsg message;
        message.setstring(SQLPmn::AttachDBMsg::kInstanceName, m_sServername);
        for (SQLPmn::AttachDB& entry : Entries(read)) {
            const std::string source = entry.getstring(SQLPmn::AttachDB::kAttachName);
            auto target = targets.find(source);
            if (target == targets.end()) continue;   // in the snapshot, not in this job
            entry.setstring(SQLPmn::AttachDB::kAttachName, target->second);
            entry.setstring(SQLPmn::AttachDB::kSourceName, source);
            message.addlistobject(SQLPmn::AttachDBMsg::kDatabases, entry);
        }
        // Each file from the environment of the volume that holds it, as a
        // browse mount maps them: a file may lie deeper than the volume's top.
        if (!MapAttachRequestToMounts(message, record, volumeMap, false)) return false;
        // An environment that would attach nothing is not built at all.
        const size_t count = Entries(message).size();
        if (count == 0) {
            EV_ERROR(m_logger, "The snapshot of job [%" PRIu64 "] holds none of the databases to clone.", details.jobId);
            return false;
        }
        if (recoveryPoint) {
            CNMessageBase point(SQLPmn::AttachDBMsg::kRecoveryPointModule, SQLPmn::AttachDBMsg::kRecoveryPointMessage);
            JxEntities::GenericEntity entity;
            entity.setint64(JxEntities::GenericEntity::kClientId, recoveryPoint->clientId);
            entity.setint64(JxEntities::GenericEntity::kBackupSetId, recoveryPoint->idA);
            point.setint64(SQLPmn::AttachDBMsg::kRecoveryPointIdC, recoveryPoint->idC);
            point.setint64(SQLPmn::AttachDBMsg::kRecoveryPointIdB, recoveryPoint->idB);
            point.setObjectAccessor(SQLPmn::AttachDBMsg::kRecoveryPointEntity, entity);
            message.setObjectAccessor(SQLPmn::AttachDBMsg::kRecoveryPoint, point);
        }
        std::string attachXml;
        if (message.serialize(attachXml) != kMsgOk) {
            EV_ERROR(m_logger, "Failed to serialize the attach message object");
            return false;
        }
        EV_DEBUG(m_logger, 2, "Attach DB request = [%s]", attachXml.c_str());

        // The destination instance, for clone jobs as for recovery points.
        CsqlDMO dmo;
        if (!InitializeDestinationDmo(dmo)) return false;
        m_cloneMountPath = mountPath;
        if ((m_restoreOptions.optionFlags & kRstOverwrite) != 0) {
            if (CWzError e = DetachOverwrittenClones(dmo, message); e.IsError()) {
                EV_ERROR(m_logger, "Failed to detach databases.");
                return false;
            }
        }

        AddAttachRequestToVolumes(record, attachXml);
        EV_DEBUG(m_logger, 2, "Calling createTestCloneEnvs");
        if (!snapClient.createTestCloneEnvs(record)) {
            std::string text;
            const int code = snapClient.getErrCodeAndStr(text);
            EV_ERROR(m_logger, "createTestCloneEnvs failed [%s][%d]", text.c_str(), code);
            AttachBackOverwrittenClones(dmo, m_sServername);
            return false;
        }
        EV_DEBUG(m_logger, 2, "Successfully mounted all snaps");
        (void)wz::WaitWhilePauseFile(kBeforeAttach, kPauseStepMs, kPauseMaxSteps);  // bounded; goes on either way
        std::string error;
        if (dmo.AttachDatabases(attachXml, error)) {
            (void)wz::WaitWhilePauseFile(kAfterAttach, kPauseStepMs, kPauseMaxSteps);  // bounded; goes on either way
            m_cloneDetachedDatabases.clear();  // replaced for good by the clones
            record.setMountStatus(kMountStatusAttached);
            if (!snapClient.updateVolumeSnaps(record)) EV_WARN(m_logger, "Failed to updateVolumeSnaps.");
            RecordAttachedClones(message, !cloneJob);
            return true;
        }
        EV_ERROR(m_logger, "Failed to attach databases. %s", error.c_str());
        bool deleted = true;
        if (!cloneJob && !snapClient.deleteTestCloneEnvs(record)) {
            deleted = false;
            EV_ERROR(m_logger, "Failed to delete test clone environment on attach failure.");
        }
        AttachBackOverwrittenClones(dmo, m_sServername);
        if (cloneJob || !deleted) {
            record.setMountStatus(kMountStatusAttachFailed);
            if (!snapClient.updateVolumeSnaps(record)) EV_ERROR(m_logger, "Failed to updateVolumeSnaps.");
        }
        return false;
    } catch (...) {
        EV_ERROR(m_logger, "createTestEnvironment: Caught exception during Clone operation.");
        return false;
    }
}

bool CSQLRestoreBase::CheckIfAllVolumesCanCreateTestClone(SMVolSnapInfo& record) {
    for (auto v = record.volumeListBegin(); v != record.volumeListEnd(); ++v) {
        const uint32_t volumeId = v->getSMVolumeId();
        const uint64_t engineId = record.getSnapEngineIdForVolume(volumeId);
        EV_DEBUG(m_logger, 3, "Checking if volume [%u] of engine [%" PRIu64 "] supports test clone.", volumeId, engineId);
        bool capable = false;
        for (const SMSnapShotEngineInfo& engine : record.snapEngineList()) {
            if (engine.getSnapEngineId() == engineId) capable = (engine.getCapabilities() & kEngineCanTestClone) != 0;
        }
        if (!capable) {
            EV_ERROR(m_logger, "Volume [%u] of engine type [%" PRIu64 "] does not support test clone.", volumeId, engineId);
            return false;
        }
    }
    EV_DEBUG(m_logger, 2, "All volumes support test clone environment.");
    return true;
}
