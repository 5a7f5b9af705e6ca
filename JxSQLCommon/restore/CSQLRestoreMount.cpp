// CSQLRestoreBase: mounts the full snapshot backup of a database for a live
// browse, attaches the database from the mounted copy under its browse name,
// and maps paths of the source machine into the mounted copy; also the
// snapshot and browse operations that have nothing to do on this platform.
//
// The mount stays after MountDbSnap returns, reserved for the browse
// session's time; the snapshot engine releases it, and detaches the
// database recorded with it, once the reservation has passed.
#include <strings.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <list>
#include <map>
#include <string>
#include <vector>

#include "JXSnapHandler/JXSnapClientAPI.h"
#include "JxLib/JXPIAgent.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/DatabrowseMessages.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlArchiveManagerRecords.h"
#include "JxSQLCommon/records/SqlSnapshotRecords.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/WzClock.h"
#include "WzUtils/WzPauseFile.h"

namespace {

constexpr uint32_t kRetrieveFlags = 25;
// The set's job id is a fixed marker (the 32-bit pattern of -123456), not a job.
constexpr uint64_t kMountSetJobId = 0xFFFE1DC0u;
constexpr int kCopyParamType = 2;
constexpr uint32_t kMountActionFlags = 0x22;
constexpr int kMetaDataRefVolume = 1;
constexpr int kErrMountedForJob = 60332;
constexpr int kErrMountedForJobToo = 60214;
constexpr int kDefaultSessionMinutes = 20;
constexpr size_t kMaxMetadataPath = 1024;
constexpr int kPauseStepMs = 1000;
constexpr int kPauseMaxSteps = 3600;
const char* const kMountPause = "/opt/veltrassa/Pelmanode/MountDbSnap.sleep";
const char* const kBeforeAttachPause = "/opt/veltrassa/Pelmanode/BeforeAttach.sleep";

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

// The second entry of a string list field, or "" when it has none.
std::string SecondEntry(const CNMessageBase& message, CNFieldId field) {
    const std::vector<std::string> list = message.getliststring(field);
    return list.size() > 1 ? list[1] : std::string();
}

std::string DisplayName(const SqlRestoreDbInfo_t& db) { return db.newDbName.empty() ? db.sDbName : db.newDbName; }

// The map key of a mounted volume.
std::string VolumeKey(const SMVolumeInfo& volume, bool byVolumeId) {
    return byVolumeId ? std::to_string(volume.getSMVolumeId()) : volume.getSourcePath();
}

// Points the map entries of the set's volumes at where they are mounted
// (after a mount, or after the engine answered where the set already is).
void RecordMountedVolumes(const SMVolSnapInfo& snaps, std::map<std::string, SqlSMVolInfo>& volumes, bool byVolumeId) {
    for (auto v = snaps.volumeListBegin(); v != snaps.volumeListEnd(); ++v) {
        SqlSMVolInfo& entry = volumes[VolumeKey(*v, byVolumeId)];
        entry.mountPath = v->getMountPath();
        entry.volumeId = v->getSMVolumeId();
    }
}

// Keeps only the browsed database of an attach request, under its browse
// name; false when the request does not hold it.
bool KeepBrowsedDatabase(SQLPmn::AttachDBMsg& message, const SqlRestoreDbInfo_t& db) {
    std::vector<SQLPmn::AttachDB> entries;
    if (message.isSet(SQLPmn::AttachDBMsg::kDatabases) &&
        !message.getlistobject(SQLPmn::AttachDBMsg::kDatabases, entries)) {
        return false;
    }
    for (SQLPmn::AttachDB& entry : entries) {
        if (entry.getstring(SQLPmn::AttachDB::kAttachName) != db.sDbName) continue;
        entry.setstring(SQLPmn::AttachDB::kSourceName, db.sDbName);
        entry.setstring(SQLPmn::AttachDB::kAttachName, DisplayName(db));
        SQLPmn::AttachDBMsg kept;
        kept.setstring(SQLPmn::AttachDBMsg::kInstanceName, message.getstring(SQLPmn::AttachDBMsg::kInstanceName));
        kept.addlistobject(SQLPmn::AttachDBMsg::kDatabases, entry);
        message = kept;
        return true;
    }
    return false;
}

size_t DatabaseCount(const SQLPmn::AttachDBMsg& message) {
    std::vector<SQLPmn::AttachDB> entries;
    if (message.isSet(SQLPmn::AttachDBMsg::kDatabases)) {
        (void)message.getlistobject(SQLPmn::AttachDBMsg::kDatabases, entries);  // an unreadable list counts 0
    }
    return entries.size();
}

}  // namespace

bool CSQLRestoreBase::MapAttachRequestToMounts(SQLPmn::AttachDBMsg& message, const SMVolSnapInfo& snaps,
                                               std::map<std::string, SqlSMVolInfo>& volumes, bool byVolumeId) {
    std::vector<SQLPmn::AttachDB> entries;
    if (message.isSet(SQLPmn::AttachDBMsg::kDatabases) &&
        !message.getlistobject(SQLPmn::AttachDBMsg::kDatabases, entries)) {
        EV_ERROR(m_logger, "The attach request holds an unreadable database list.");
        return false;
    }
    std::map<std::string, SqlSMVolInfo> mapped = volumes;
    for (SQLPmn::AttachDB& entry : entries) {
        const std::string name = entry.getstring(SQLPmn::AttachDB::kAttachName);
        const std::string source =
            entry.isSet(SQLPmn::AttachDB::kSourceName) ? entry.getstring(SQLPmn::AttachDB::kSourceName) : name;
        std::vector<std::string> files = entry.getliststring(SQLPmn::AttachDB::kFilePaths);
        for (std::string& file : files) {
            const SMVolumeInfo* holder = nullptr;
            size_t longest = 0;
            for (auto v = snaps.volumeListBegin(); v != snaps.volumeListEnd(); ++v) {
                const std::string prefix = WithSlash(v->getSourcePath());
                if (v->getMountPath().empty() || file.compare(0, prefix.size(), prefix) != 0) continue;
                if (prefix.size() > longest) {
                    longest = prefix.size();
                    holder = &*v;
                }
            }
            if (holder == nullptr) {
                EV_ERROR(m_logger, "File [%s] of database [%s] lies on no mounted volume.", file.c_str(),
                         source.c_str());
                return false;
            }
            file = WithSlash(holder->getMountPath()) + file.substr(longest);
            SqlSMVolInfo& volume = mapped[VolumeKey(*holder, byVolumeId)];
            volume.mountPath = holder->getMountPath();
            volume.volumeId = holder->getSMVolumeId();
            if (std::find(volume.databases.begin(), volume.databases.end(), source) == volume.databases.end()) {
                volume.databases.push_back(source);
            }
        }
        entry.setliststring(SQLPmn::AttachDB::kFilePaths, files);
    }
    SQLPmn::AttachDBMsg out;
    out.setstring(SQLPmn::AttachDBMsg::kInstanceName, message.getstring(SQLPmn::AttachDBMsg::kInstanceName));
    for (const SQLPmn::AttachDB& entry : entries) out.addlistobject(SQLPmn::AttachDBMsg::kDatabases, entry);
    message = out;
    volumes = mapped;
    return true;
}

bool CSQLRestoreBase::MountDbSnap(databrowse::BrowseRequest* request, uint64_t& mountId) {
    mountId = 0;
    SqlSnapJobDetails_t details;
    try {
        (void)wz::WaitWhilePauseFile(kMountPause, kPauseStepMs, kPauseMaxSteps);  // bounded; goes on either way
        m_mountedVolumeMap.clear();
        m_mountedSnapInfo.reset(0);
        m_vsaBackupMount = false;
        m_restoreToDisk = false;
        if (request == nullptr) {
            EV_ERROR(m_logger, "No browse request to mount a database for.");
            return false;
        }

        // The request: the browsed instance and client, the time and the database.
        using BR = databrowse::BrowseRequest;
        using Entity = JxEntities::GenericEntity;
        const CNMessageBase* entity = request->getObjectAccessor(BR::kEntity);
        const CNMessageBase* range = request->getObjectAccessor(BR::kTimeRange);
        const CNMessageBase* advanced = request->getObjectAccessor(BR::kAdvanced);
        const CNMessageBase* options = advanced ? advanced->getObjectAccessor(BR::Advanced::kBrowseOptions) : nullptr;
        const CNMessageBase* selection = options ? options->getObjectAccessor(BR::BrowseOptions::kSelection) : nullptr;
        const CNMessageBase* database = selection ? selection->getObjectAccessor(BR::Selection::kDatabase) : nullptr;
        const CNMessageBase* destination = database ? database->getObjectAccessor(BR::Database::kDestination) : nullptr;
        const int64_t instanceId = entity ? entity->getint64(Entity::kInstanceId) : 0;
        const int64_t clientId = entity ? entity->getint64(Entity::kClientId) : 0;
        int64_t toTime = range ? range->getint64(BR::TimeRange::kToTime) : 0;
        if (database == nullptr || database->getstring(BR::Database::kName).empty() || instanceId <= 0 ||
            clientId <= 0 || toTime < 0 || toTime > UINT32_MAX) {
            EV_ERROR(m_logger, "The browse request names no database, instance or client, or an invalid time.");
            return false;
        }
        if (toTime == 0) toTime = wz::NowTicks() / 10000000 - 11644473600LL;
        SqlRestoreDbInfo_t db;
        db.sDbName = database->getstring(BR::Database::kName);
        db.newDbName = database->getstring(BR::Database::kRestoreName);
        db.databaseId = 0;
        db.relocationList.push_back(SecondEntry(*database, BR::Database::kLogicalNames));
        db.oldFiles.push_back(SecondEntry(*database, BR::Database::kPhysicalPaths));
        db.newFiles.push_back(SecondEntry(*database, BR::Database::kPhysicalPaths));
        m_sServername = destination ? destination->getstring(Entity::kInstanceName) : std::string();
        m_serverType = "DataBase Engine";
        const std::string machine = JXPlatformInfo(JXPI_Focus::getFocus()).getPhysicalMachine();
        std::string resultsDirectory;
        if (!JXPI_JxClient().getJobResultsDirectory(machine, resultsDirectory) || resultsDirectory.empty()) {
            EV_ERROR(m_logger, "Failed to get the job results directory of client [%s].", machine.c_str());
            return false;
        }
        m_jobResultsDirectory = resultsDirectory;
        EV_DEBUG(m_logger, 2, "Input params [%" PRIu64 "], [%s] [%s] [%s] [%s] [%s].", db.databaseId,
                 db.relocationList.front().c_str(), db.oldFiles.front().c_str(), db.newFiles.front().c_str(),
                 db.sDbName.c_str(), db.newDbName.c_str());
        const std::string display = DisplayName(db);
        m_restoreDbList.push_back(db);

        // The full snapshot backup the browse time falls into.
        std::list<SqlAFilesPerBackup_t> backups;
        if (!getAFilesForMountDatabase(db, backups, static_cast<uint64_t>(instanceId),
                                       static_cast<unsigned int>(toTime))) {
            EV_ERROR(m_logger, "Failed to get archive files list for database [%s].", display.c_str());
            return false;
        }
        if (!GetSnapJobDetailsFromBackupList('D', details, backups)) {
            EV_ERROR(m_logger, "Failed to get FULL snap information from backup list.");
            return false;
        }
        if (details.jobId == 0) {
            EV_ERROR(m_logger, "Invalid full backup job id fetched.");
            return false;
        }
        EV_DEBUG(m_logger, 2, "Mouning the snapshot created by job [%" PRIu64 "]", details.jobId);
        mountId = details.jobId;

        int sessionMinutes = kDefaultSessionMinutes;
        int configured = 0;
        if (JXPlatformInfo(JXPI_Focus::getFocus()).getNumber("Pelmanode", "nAppMiningSessionTimeoutInMinutes",
                                                             &configured) == 0) {
            EV_DEBUG(m_logger, 2, "nAppMiningSessionTimeoutInMinutes not set.");
        } else if (configured <= 0) {
            EV_WARN(m_logger, "nAppMiningSessionTimeoutInMinutes [%d] is no time; using [%d].", configured,
                    kDefaultSessionMinutes);
        } else {
            sessionMinutes = configured;
            EV_DEBUG(m_logger, 2, "nAppMiningSessionTimeoutInMinutes set to [%d].", sessionMinutes);
        }
        const long reservation = sessionMinutes;
        const long noHours = 0;

        // The snapshot volumes of that job, each mounted under the job-results directory.
        m_mountedSnapInfo.setRetrieveValidFlags(kRetrieveFlags);
        m_mountedSnapInfo.setSnapJobId(details.jobId);
        m_mountedSnapInfo.setJobId(kMountSetJobId);
        m_mountedSnapInfo.setCopyParam(0);
        EV_DEBUG(m_logger, 2, "Using copy precedence [%lu] for retrieving snap volumes.", 0UL);
        m_mountedSnapInfo.setCopyParamType(kCopyParamType);
        if (!JXSnapClientAPI::getVolumeSnaps(m_mountedSnapInfo) || m_mountedSnapInfo.numOfVolume() == 0) {
            EV_ERROR(m_logger, "getVolumeSnaps failed for afile [%u] (Status %d)(Error [%d:%s])",
                     m_mountedSnapInfo.getArchFileId(), m_mountedSnapInfo.getStatus(),
                     m_mountedSnapInfo.getErrorCode(), m_mountedSnapInfo.getErrorString().c_str());
            return false;
        }
        m_mountedSnapInfo.setMountHostName(machine);
        for (auto v = m_mountedSnapInfo.volumeListBegin(); v != m_mountedSnapInfo.volumeListEnd(); ++v) {
            const std::string mountPath = WithSlash(m_jobResultsDirectory) + getGUID() + "/";
            v->setMountPath(mountPath);
            v->setMountPathFlag(1);
            m_mountedSnapInfo.setSnapActionFlags(m_mountedSnapInfo.getSnapActionFlags() | kMountActionFlags);
            if ((v->getVolumeFlags() & kSMVolumeFlagVsa) != 0) {
                EV_DEBUG(m_logger, 2, "VSA backup job detected");
                m_vsaBackupMount = true;
            } else if (m_mountedVolumeMap.count(v->getSourcePath()) == 0) {
                SqlSMVolInfo entry;
                entry.mountPath = mountPath;
                entry.volumeId = v->getSMVolumeId();
                m_mountedVolumeMap[v->getSourcePath()] = entry;
                EV_DEBUG(m_logger, 2, "For Vol id [%s], adding path to map [%s].", v->getSourcePath().c_str(),
                         mountPath.c_str());
            }
            EV_DEBUG(m_logger, 2, "Mount Host Name = [%s], MountPath = [%s].", machine.c_str(), mountPath.c_str());
        }
        m_restoreOptions.sourceClientId = static_cast<uint64_t>(clientId);
        m_restoreOptions.destinationClientId = static_cast<uint64_t>(clientId);
        m_restoreOptions.copyPrecedence = 0;
        m_jobId = 0;
        m_restoreOptions.sourceInstanceId = static_cast<uint64_t>(instanceId);
        m_restoreOptions.destinationInstanceId = static_cast<uint64_t>(instanceId);

        GetArchFileInfoForSnapJob_Ret_t archiveInfo;
        if (!downloadMetadata(static_cast<uint64_t>(clientId), details, archiveInfo)) {
            EV_ERROR(m_logger, "Failed to download metadata for job id [%" PRIu64 "].", details.jobId);
            return false;
        }

        (void)wz::WaitWhilePauseFile(kBeforeAttachPause, kPauseStepMs, kPauseMaxSteps);  // bounded; goes on either way
        if (!JXSnapClientAPI::mountVolumes(m_mountedSnapInfo)) {
            std::string text;
            const int code = JXSnapClientAPI::getErrCodeAndStr(text);
            if (code != kErrMountedForJob && code != kErrMountedForJobToo) {
                EV_ERROR(m_logger, "mountVolumes failed with error [%s][%d].", text.c_str(), code);
                return false;
            }
            // The engine answered where the set is mounted: path translation
            // uses those paths, and the database attached then is still there.
            EV_WARN(m_logger, "Database is already mounted for this job");
            RecordMountedVolumes(m_mountedSnapInfo, m_mountedVolumeMap, m_vsaBackupMount);
            if (!JXSnapClientAPI::extendSnapVolumeMount(m_mountedSnapInfo, noHours, reservation)) {
                (void)JXSnapClientAPI::getErrCodeAndStr(text);  // only the text is logged
                EV_WARN(m_logger, "Failed to extend the mount reservation: [%s].", text.c_str());
            }
            return true;
        }
        if (m_vsaBackupMount) RecordMountedVolumes(m_mountedSnapInfo, m_mountedVolumeMap, true);
        m_mountedSnapInfo.setMountStatus(kSMMountStatusAttached);
        if (!JXSnapClientAPI::updateVolumeSnaps(m_mountedSnapInfo)) EV_ERROR(m_logger, "Failed to updateVolumeSnaps.");
        EV_DEBUG(m_logger, 2, "Successfully mounted all snaps, reverting vss snap");
        std::string revertText;
        if (!RevertVSSSnap(archiveInfo, mountId, revertText)) {
            EV_ERROR(m_logger, "Failed to revert snap.");
            return false;
        }

        // The attach request of the browsed database, its files in the mount.
        std::string directory = m_jobResultsDirectory;
        while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
        const std::string base = directory + "/" + std::to_string(mountId) + "_Full";
        const std::string bcdPath = base + "_BCD.xml";
        const std::string writerPath = base + "_WRT.xml";
        SQLPmn::AttachDBMsg message;
        auto markAttachFailed = [&]() {
            m_mountedSnapInfo.setMountStatus(kSMMountStatusAttachFailed);
            if (!JXSnapClientAPI::updateVolumeSnaps(m_mountedSnapInfo)) {
                EV_ERROR(m_logger, "Failed to updateVolumeSnaps.");
            }
        };
        if (bcdPath.size() > kMaxMetadataPath ||
            !getDBInfoFromMetadata(bcdPath, writerPath, std::string(), message, m_mountedVolumeMap)) {
            EV_ERROR(m_logger, "Failed to get database info from BCD");
            markAttachFailed();
            return false;
        }
        if (!KeepBrowsedDatabase(message, db)) {
            EV_ERROR(m_logger, "The snapshot of job [%" PRIu64 "] holds no database [%s].", mountId, db.sDbName.c_str());
            markAttachFailed();
            return false;
        }
        if (!MapAttachRequestToMounts(message, m_mountedSnapInfo, m_mountedVolumeMap, m_vsaBackupMount)) {
            markAttachFailed();
            return false;
        }
        (void)wz::WaitWhilePauseFile(kBeforeAttachPause, kPauseStepMs, kPauseMaxSteps);  // bounded; goes on either way
        std::string text;
        if (message.serialize(text) != kMsgOk) {
            EV_ERROR(m_logger, "Failed to serialize the attach message object");
            markAttachFailed();
            return false;
        }
        EV_DEBUG(m_logger, 2, "Attach DB request = [%s]", text.c_str());

        CsqlDMO dmo;
        const int64_t destinationId = destination ? destination->getint64(Entity::kInstanceId) : 0;
        dmo.setInstanceId(static_cast<unsigned long>(destinationId > 0 ? destinationId : instanceId));
        if (!dmo.initialize(m_sServername, false)) {
            EV_ERROR(m_logger, "Failed to initialize dmo.");
            markAttachFailed();
            return false;
        }
        std::string attachError;
        if (!dmo.AttachDatabases(text, attachError)) {
            EV_ERROR(m_logger, "Failed to attach databases.");
            markAttachFailed();
            return false;
        }
        for (const auto& [key, volume] : m_mountedVolumeMap) {
            if (std::find(volume.databases.begin(), volume.databases.end(), db.sDbName) == volume.databases.end()) {
                continue;
            }
            SMMetaDataInfo item;
            item.setMetaDataType(kSMMetaDataAttachRequest);
            item.setRefType(kMetaDataRefVolume);
            item.setRefId(volume.volumeId);
            item.setMetaData(text);
            m_mountedSnapInfo.addMetaData(item, true);
            EV_DEBUG(m_logger, 2, "Database [%s] will be detached during unmount of volume(%u) [%s].", display.c_str(),
                     volume.volumeId, volume.mountPath.c_str());
        }
        if (!JXSnapClientAPI::extendSnapVolumeMount(m_mountedSnapInfo, noHours, reservation)) {
            EV_WARN(m_logger, "Failed to extend the mount reservation.");
        }
        if (!JXSnapClientAPI::updateVolumeSnaps(m_mountedSnapInfo)) EV_ERROR(m_logger, "Failed to updateVolumeSnaps.");
        m_restoredDbCount = DatabaseCount(message);
        (void)addClonedDBsToDonotBackupSC(message);  // a failure is reported by the call itself
        return true;
    } catch (...) {
        EV_ERROR(m_logger, "Caught exception during revert operation.");
        return false;
    }
}

bool CSQLRestoreBase::TranslatePath(const char* sourcePath, std::string& mountPath, uint64_t /*unused*/,
                                    std::string databaseName) {
    const std::string source = sourcePath != nullptr ? sourcePath : "";
    EV_DEBUG(m_logger, 2, "Getting mount path for source path %s", source.c_str());
    for (auto v = m_mountedSnapInfo.volumeListBegin(); v != m_mountedSnapInfo.volumeListEnd(); ++v) {
        const std::string prefix = WithSlash(v->getSourcePath());
        // File names are case-sensitive here: /Data and /data are two volumes.
        if (source.size() < prefix.size() || source.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string rest = source.substr(prefix.size());
        if (!m_vsaBackupMount) {
            mountPath = v->getMountPath();
        } else {
            auto entry = m_mountedVolumeMap.find(VolumeKey(*v, true));
            if (entry == m_mountedVolumeMap.end() || entry->second.mountPath.empty()) {
                EV_ERROR(m_logger, "Volume [%u] of source path %s is not mounted.", v->getSMVolumeId(), source.c_str());
                return false;
            }
            mountPath = entry->second.mountPath;
            std::vector<std::string>& names = entry->second.databases;
            if (std::find(names.begin(), names.end(), databaseName) == names.end()) names.push_back(databaseName);
        }
        mountPath = WithSlash(mountPath) + rest;
        EV_DEBUG(m_logger, 2, "source path %s, mountPath path %s", source.c_str(), mountPath.c_str());
        return true;
    }
    EV_ERROR(m_logger, "Failed to get mount path for source path %s", source.c_str());
    return false;
}

bool CSQLRestoreBase::GetMountDrive(SMVolSnapInfo* info, std::string sourceVolume, std::string& mountedDrive) {
    EV_DEBUG(m_logger, 1, "started");
    if (info == nullptr) return false;
    for (auto v = info->volumeListBegin(); v != info->volumeListEnd(); ++v) {
        const SMSnapInfo* snap = info->GetSnapInfoByVolumeId(v->getSMVolumeId());
        if (snap == nullptr) continue;
        EV_DEBUG(m_logger, 2, "orig vol %s, source vol %s, new vol %s", snap->getSnapSourceDevice().c_str(),
                 sourceVolume.c_str(), snap->getSnapDevice().c_str());
        if (snap->getSnapSourceDevice() != sourceVolume) continue;
        mountedDrive = snap->getSnapDevice();
        EV_DEBUG(m_logger, 2, "Source drive [%s], Mounted drive [%s]", sourceVolume.c_str(), mountedDrive.c_str());
        return true;
    }
    return false;
}

// Nothing to revert: the volumes of a live browse are mounted as they are.
bool CSQLRestoreBase::RevertVSSSnap(GetArchFileInfoForSnapJob_Ret_t&, uint64_t, std::string&) { return true; }

// A live browse takes its options from the request in MountDbSnap; there
// are none to read beforehand and no share folder to browse.
int CSQLRestoreBase::getRestoreOptionsFromLiveBrowseRequest(databrowse::BrowseRequest*) { return 1; }

int CSQLRestoreBase::browseShareFolder(std::string) { return 1; }
