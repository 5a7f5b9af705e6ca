// CSQLRestoreBase: clone environments. The databases of one full snapshot
// backup are attached under new names to a destination instance straight
// from the snapshot's volumes, which are mounted under the clone task's mount
// path (through a proxy client or as a storage clone) and reserved for a
// while. Nothing is copied and no backup chain is replayed.
#include <strings.h>

#include <cerrno>
#include <cinttypes>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>
#include <vector>

#include "EvTaskApiNet/EvRstTask.h"
#include "JxLib/JXGlobalParam.h"
#include "JxSQLCommon/jobbase/SQLCloneSettings.h"
#include "JxSQLCommon/jobbase/SQLDirectorySettings.h"
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "JxSQLCommon/records/DatabrowseMessages.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxSQLCommon/restore/CloneForAppAware.h"
#include "JxSQLCommon/restore/CloneResultCodes.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxSQLCommon/restore/SqlCloneRecords.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/FXErrorUtil.h"

namespace {

constexpr int kMountStatusAttached = 59;
constexpr int kMountStatusAttachFailed = 58;
constexpr int kDefaultReservationSeconds = 3600;

// True for an absolute path none of whose levels is "." or "..".
bool IsPlainAbsolutePath(const std::string& path) {
    if (path.empty() || path[0] != '/') return false;
    size_t start = 1;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string level = path.substr(start, end - start);
        if (level == "." || level == "..") return false;
        start = end + 1;
    }
    return true;
}

// The clone settings object of a browse request's clone: advanced options,
// browse options, selection, database.
const CNMessageBase* CloneSettings(const databrowse::BrowseRequest& request) {
    const CNMessageBase* advanced = request.getObjectAccessor(databrowse::BrowseRequest::kAdvanced);
    const CNMessageBase* options =
        advanced ? advanced->getObjectAccessor(databrowse::BrowseRequest::Advanced::kBrowseOptions) : nullptr;
    const CNMessageBase* selection =
        options ? options->getObjectAccessor(databrowse::BrowseRequest::BrowseOptions::kSelection) : nullptr;
    return selection ? selection->getObjectAccessor(databrowse::BrowseRequest::Selection::kDatabase) : nullptr;
}

std::list<std::string> SourceNames(const std::list<SqlRestoreDbInfo_t>& dbs) {
    std::list<std::string> names;
    for (const SqlRestoreDbInfo_t& db : dbs) names.push_back(db.sDbName);
    return names;
}

}  // namespace

bool CSQLRestoreBase::CreateCloneEnvironment(std::list<SqlRestoreDbInfo_t>& dbs,
                                             SqlRecoveryPointInfo_t* recoveryPoint) {
    try {
        m_cloneDetachedDatabases.clear();
        EvRstTask task(m_jobId);
        std::string mountPath;
        int reservation = kDefaultReservationSeconds;
        uint64_t proxyClientId = 0;
        if (CWzError e = GetCloneTaskOptions(task, mountPath, reservation, proxyClientId); e.IsError()) {
            EV_WARN(m_logger, "Failed to get task options with error [%s].", e.GetMessage().c_str());
            return false;
        }

        CsqlDMO dmo;
        if (!InitializeDestinationDmo(dmo)) return false;

        // The caller's list stays as it is; the clone works on the qualified copy.
        std::list<SqlRestoreDbInfo_t> databases = dbs;
        uint64_t snapJobId = 0;
        uint64_t backupDomainId = 0;
        if (!SelectCloneDatabases(databases, dmo, snapJobId, backupDomainId)) return false;

        m_dataTransferHandler =
            SqlDataTransferHandler(false, m_jobId, m_appNumber, m_jxCellId, m_jxServerHostName, getBkpType(), 0);
        m_dataTransferHandler.setJobControllerObject(m_pJobCtrlClnt);
        m_dataTransferHandler.setRstJobControllerObject(m_pRstJobClnt ? m_pRstJobClnt->Get() : nullptr);
        m_dataTransferHandler.setDbName(TargetName(databases.front()));
        m_dataTransferHandler.setStreams(1);
        m_snapCopyRestoreHandler.setDataHandler(&m_dataTransferHandler);
        if (!PrepareCloneHandler(databases, snapJobId, backupDomainId)) return false;
        if (!m_snapCopyRestoreHandler.SetVolumeMountLocationAndReservation(mountPath, reservation)) {
            EV_ERROR(m_logger, "Failed to set mount paths for the volumnes.");
            return false;
        }

        SQLPmn::AttachDBMsg message;
        std::string attachXml;
        if (CWzError e = GetAttachXmlMessage(databases, message, attachXml); e.IsError()) {
            EV_ERROR(m_logger, "Failed to get attach request for clone creation.");
            return false;
        }
        m_cloneMountPath = mountPath;
        if (CWzError e = OverwriteExistingDatabases(&dmo, attachXml); e.IsError()) {
            EV_ERROR(m_logger, "Failed to detach databases with error [%s].", e.GetMessage().c_str());
            return false;
        }
        const std::string instance = message.getstring(SQLPmn::AttachDBMsg::kInstanceName);
        if (CWzError e = DoCloneOperation(attachXml, proxyClientId); e.IsError()) {
            EV_ERROR(m_logger, "Failed to mount the SNAP volumes of backup job [%" PRIu64 "].", snapJobId);
            AttachBackOverwrittenClones(dmo, instance);
            return false;
        }

        std::string error;
        if (!dmo.AttachDatabases(attachXml, error)) {
            EV_ERROR(m_logger, "Failed to attach database with error [%s].", error.c_str());
            if (!m_snapCopyRestoreHandler.UpdateMountStatus(kMountStatusAttachFailed)) {
                EV_ERROR(m_logger, "Failed to update mount status.");
            }
            AttachBackOverwrittenClones(dmo, instance);
            if (m_pRstJobClnt) {
                *m_pRstJobClnt << error.c_str();
                (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseCloneAttach);
            }
            return false;
        }
        m_cloneDetachedDatabases.clear();  // replaced for good by the clones
        const bool statusStored = m_snapCopyRestoreHandler.UpdateMountStatus(kMountStatusAttached);
        // The databases are attached whether or not the status was stored:
        // they are counted and kept out of backups either way.
        RecordAttachedClones(message, recoveryPoint != nullptr);
        if (!statusStored) {
            EV_ERROR(m_logger, "Failed to update mount status.");
            return false;
        }
        return true;
    } catch (...) {
        EV_ERROR(m_logger, "CreateCloneEnvironment: Caught exception during Clone operation.");
        return false;
    }
}

CWzError CSQLRestoreBase::GetCloneTaskOptions(EvRstTask& task, std::string& mountPath, int& reservationSeconds,
                                              uint64_t& proxyClientId) {
    CloneMountDirectory directory(&task, m_jobResultsDirectory);
    if (!directory.getOptionValue(mountPath, true) || mountPath.empty()) {
        EV_ERROR(m_logger, "Failed to get mount path from the task options, please check the options for the job.");
        return FXErrorUtil::ErrorJXResult(
            FXCODELOC, kCloneNotQualified,
            "Failed to get mount path from the task options, please check the options for the job.");
    }
    // The path comes from the task: volumes are mounted under it only when
    // it is absolute and cannot climb out of itself.
    if (!IsPlainAbsolutePath(mountPath)) {
        EV_ERROR(m_logger, "Mount path [%s] of the task is not a plain absolute path.", mountPath.c_str());
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kCloneNotQualified,
                                          "Mount path [%s] of the task is not a plain absolute path.",
                                          mountPath.c_str());
    }
    EV_DEBUG(m_logger, 2, "Mount path to be used for clones is [%s].", mountPath.c_str());
    CloneReservationTimeInSeconds reservation(&task, kDefaultReservationSeconds);
    (void)reservation.getOptionValue(reservationSeconds, true);  // always true: the default stands otherwise
    // A reservation of no time would release the clone at once.
    if (reservationSeconds <= 0) reservationSeconds = kDefaultReservationSeconds;
    EV_DEBUG(m_logger, 2, "Reservation time for clones is [%d] seconds.", reservationSeconds);
    unsigned long proxy = m_restoreOptions.sourceClientId;
    IscsiMountProxyClient proxyClient(&task, proxy);
    (void)proxyClient.getOptionValue(proxy, true);  // always true: the source client stands otherwise
    proxyClientId = proxy;
    return CWzError::Success();
}

CWzError CSQLRestoreBase::GetSnapJobAndDatabaseList(std::list<SqlRestoreDbInfo_t>& dbs, CsqlDMO& dmo,
                                                    std::string& skippedNames, uint64_t& snapJobId,
                                                    uint64_t& backupDomainId, uint32_t& skippedCount) {
    uint64_t selected = 0;
    uint64_t selectedDomain = 0;
    std::list<SqlRestoreDbInfo_t> kept;
    // A database that cannot be cloned is skipped with its reason, counted
    // and marked, whether it failed the qualification or has no full
    // snapshot job: none drops out unseen.
    auto skip = [&](SqlRestoreDbInfo_t& db, const CWzError& reason) {
        EV_WARN(m_logger, "Database [%s] didn't qualify for the clone operation for the reason [%s].",
                TargetName(db).c_str(), reason.GetMessage().c_str());
        if (!skippedNames.empty()) skippedNames += ", ";
        skippedNames += db.sDbName;
        if (m_pRstJobClnt) RecordSkippedDatabase(TargetName(db));
        ++skippedCount;
    };
    for (SqlRestoreDbInfo_t& db : dbs) {
        if (CWzError e = CheckIfDatabaseQualifiedForClone(&dmo, &db); e.IsError()) {
            skip(db, e);
            continue;
        }
        uint64_t jobId = 0;
        uint64_t domain = 0;
        if (CWzError e = GetSnapJobIdForDatabase(&db, jobId, domain); e.IsError()) {
            EV_WARN(m_logger, "Failed to get the snap job with error [%s].", e.GetMessage().c_str());
            skip(db, e);
            continue;
        }
        EV_DEBUG(m_logger, 4, "Found job ID [%" PRIu64 "] for the database [%s].", jobId, TargetName(db).c_str());
        if (selected != 0 && jobId != selected) {
            return FXErrorUtil::ErrorJXResult(
                FXCODELOC, kCloneSeveralSnapJobs,
                "All databases are not from same SNAP job ID and cannot clone multiple jobs.");
        }
        selected = jobId;
        selectedDomain = domain;
        EV_DEBUG(m_logger, 4, "Selected database [%s] for clone operation.", TargetName(db).c_str());
        kept.push_back(db);
    }
    if (selected == 0) {
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kCloneNoSnapJob,
                                          "Failed to get valid SNAP job id for the clone operation.");
    }
    snapJobId = selected;
    backupDomainId = selectedDomain;
    dbs.swap(kept);
    return CWzError::Success();
}

CWzError CSQLRestoreBase::CheckIfDatabaseQualifiedForClone(CsqlDMO* dmo, SqlRestoreDbInfo_t* db) {
    if (dmo == nullptr || db == nullptr) {
        EV_ERROR(m_logger, "Failed to qualify the database for clone due to invalid information.");
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kCloneInvalidArguments, "Invalid arguments passed.");
    }
    if (m_restoreOptions.sourceInstanceId != m_restoreOptions.destinationInstanceId) return CWzError::Success();
    EV_DEBUG(m_logger, 2,
             "Source and destination SQL instances are same, if database is not renamed, it will skipped from clone.");
    // A database whose existence cannot be asked is treated as existing: the
    // clone must never take the place of a live database.
    bool failed = false;
    const bool exists = dmo->isDatabaseExists(db->sDbName, &failed) || failed;
    const bool renamed = !db->newDbName.empty() && ::strcasecmp(db->newDbName.c_str(), db->sDbName.c_str()) != 0;
    if (!exists || renamed) return CWzError::Success();
    EV_WARN(m_logger, "Source and destination SQL instances are same, skipping database [%s].", db->sDbName.c_str());
    return FXErrorUtil::ErrorJXResult(FXCODELOC, kCloneNotQualified,
                                      "Database [%s] is not renamed for clone operation on source instance [%s].",
                                      db->sDbName.c_str(), m_sServername.c_str());
}

CWzError CSQLRestoreBase::GetSnapJobIdForDatabase(SqlRestoreDbInfo_t* db, uint64_t& snapJobId,
                                                  uint64_t& backupDomainId) {
    if (db == nullptr) return FXErrorUtil::ErrorJXResult(FXCODELOC, kCloneInvalidArguments, "Invalid arguments passed.");
    const std::string name = TargetName(*db);
    std::list<SqlAFilesPerBackup_t> chain = db->restoreChain;
    if (chain.empty() && !getAFilesToRestore(false, *db, chain)) {
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kCloneNoArchiveFiles,
                                          "Failed to get aFile information for database[%s].", name.c_str());
    }
    SqlSnapJobDetails_t details;
    if (!GetSnapJobDetailsFromBackupList('D', details, chain)) {
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kCloneNoSnapJob,
                                          "Failed to get FULL SNAP information for database [%s].", name.c_str());
    }
    if (details.jobId == 0) {
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kCloneNoSnapJob, "Failed to get FULL SNAP job for database [%s].",
                                          name.c_str());
    }
    snapJobId = details.jobId;
    backupDomainId = details.jxCellId;
    return CWzError::Success();
}

CWzError CSQLRestoreBase::OverwriteExistingDatabases(CsqlDMO* dmo, const std::string& attachXml) {
    EV_DEBUG(m_logger, 3, "Detach DB request sent [%s]", attachXml.c_str());
    if ((m_restoreOptions.optionFlags & kRstOverwrite) == 0) return CWzError::Success();
    if (dmo == nullptr) return FXErrorUtil::ErrorJXResult(FXCODELOC, kCloneInvalidArguments, "Invalid arguments passed.");
    SQLPmn::AttachDBMsg request;
    if (request.unserialize(attachXml) != kMsgOk) {
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kCloneDetachFailed, "Failed to detach databases with error [%s].",
                                          "the attach request cannot be read");
    }
    return DetachOverwrittenClones(*dmo, request);
}

CWzError CSQLRestoreBase::GetAttachXmlMessage(std::list<SqlRestoreDbInfo_t>& dbs, SQLPmn::AttachDBMsg& message,
                                              std::string& xml) {
    // A request that names no database would mount the snapshot and attach
    // nothing: it fails here, before anything is mounted.
    if (!m_snapCopyRestoreHandler.GetAttachRequestFromMetadata(dbs, message) ||
        message.getlistobject(SQLPmn::AttachDBMsg::kDatabases).empty()) {
        EV_ERROR(m_logger, "Failed to get attach request for clone creation.");
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kCloneNoAttachRequest, "Failed to get attach XML mesage.");
    }
    xml.clear();
    const int rc = message.serialize(xml, false);
    if (rc != kMsgOk || xml.empty()) {
        EV_ERROR(m_logger, "Failed to serialize the attach message object with error [%d].", rc);
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kCloneMountFailed,
                                          "Failed to serialize attach XML mesage with error [%d].", rc);
    }
    return CWzError::Success();
}

CWzError CSQLRestoreBase::DoCloneOperation(std::string attachXml, uint64_t proxyClientId) {
    if (!m_snapCopyRestoreHandler.UpdateMetadataInformation(attachXml)) {
        EV_WARN(m_logger, "Failed to store the attach request with the snapshot's metadata.");
    }
    if (!m_snapCopyRestoreHandler.DoIscsiMountOrCloneOperation(proxyClientId)) {
        EV_ERROR(m_logger, "Failed to mount the SNAP volumes for backup job.");
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kCloneMountFailed, "Failed to mount the SNAP volumes for backup job.");
    }
    return CWzError::Success();
}

bool CSQLRestoreBase::InitializeCloneOperation(databrowse::BrowseRequest* request, SqlRestoreDbInfo_t db,
                                               bool& appAware) {
    try {
        if (request == nullptr) {
            EV_ERROR(m_logger, "Invalid browse request sent for clone creation.");
            return false;
        }
        int reservation = 0;
        if (const CNMessageBase* settings = CloneSettings(*request)) {
            using Database = databrowse::BrowseRequest::Database;
            if (!ReservationSeconds(settings->getint64(Database::kReservationDays),
                                    settings->getint64(Database::kReservationHours), reservation)) {
                return false;
            }
        }
        EV_DEBUG(m_logger, 3, "Restore job ID [%" PRIu64 "] to be used.", m_jobId);
        std::string productionDirectory;
        SnapMountProdDirectory prodDirectory;
        (void)prodDirectory.getOptionValue(productionDirectory, true);  // an empty one fails the folder below
        m_jobResultsDirectory = productionDirectory;
        EV_DEBUG(m_logger, 3, "JR directory [%s] to be used.", m_jobResultsDirectory.c_str());
        EV_DEBUG(m_logger, 3, "Reservation time [%d] to be used.", reservation);

        CsqlDMO dmo;
        if (!dmo.initialize(m_sServername, false)) {
            EV_ERROR(m_logger, "Failed to initialize instance [%s].", m_sServername.c_str());
            return false;
        }
        std::list<SqlRestoreDbInfo_t> databases{db};
        uint64_t snapJobId = 0;
        uint64_t backupDomainId = 0;
        if (!SelectCloneDatabases(databases, dmo, snapJobId, backupDomainId)) return false;

        // The job's data-transfer handler serves as it is.
        m_snapCopyRestoreHandler.setDataHandler(&m_dataTransferHandler);
        if (!PrepareCloneHandler(databases, snapJobId, backupDomainId)) return false;

        appAware = m_snapCopyRestoreHandler.isAppAwareBackup();
        if (appAware && !IsCloneEnabledForAppAware()) return true;
        appAware = false;

        // The mount folder is named from the database's name, which comes
        // from the request: a name that would leave the production
        // directory is refused.
        if (db.sDbName.empty() || db.sDbName == "." || db.sDbName == ".." ||
            db.sDbName.find('/') != std::string::npos) {
            EV_ERROR(m_logger, "Database name [%s] cannot name a mount folder.", db.sDbName.c_str());
            return false;
        }
        std::string mountPath = productionDirectory;
        const std::string name = db.sDbName + "_" + std::to_string(static_cast<uint64_t>(::time(nullptr)));
        if (!m_snapCopyRestoreHandler.CreateFolderInDirectory(mountPath, name)) {
            EV_ERROR(m_logger, "Create Directory failed with last error [%d].", errno);
            return false;
        }
        EV_DEBUG(m_logger, 2, "Mount path to be used [%s].", mountPath.c_str());
        if (!m_snapCopyRestoreHandler.SetVolumeMountLocationAndReservation(mountPath, reservation)) {
            EV_ERROR(m_logger, "Failed to set mount paths for the volumnes.");
            return false;
        }
        m_cloneMountPath = mountPath;
        return true;
    } catch (...) {
        EV_ERROR(m_logger, "InitializeCloneOperation: Caught exception during Clone operation.");
        return false;
    }
}

bool CSQLRestoreBase::ReservationSeconds(int64_t days, int64_t hours, int& seconds) {
    // Checked before multiplying: the product of a large request would
    // overflow and could come out small or negative.
    constexpr int64_t kMax = std::numeric_limits<int>::max();
    bool valid = days >= 0 && hours >= 0 && days <= kMax / 86400;
    if (valid) valid = hours <= (kMax - days * 86400) / 3600;
    if (!valid) {
        EV_ERROR(m_logger,
                 "Invalid reservation time of [%" PRId64 "] days and [%" PRId64 "] hours for the clone: it must not "
                 "be negative nor exceed [%d] seconds.",
                 days, hours, std::numeric_limits<int>::max());
        return false;
    }
    seconds = static_cast<int>(days * 86400 + hours * 3600);
    return true;
}

bool CSQLRestoreBase::InitializeDestinationDmo(CsqlDMO& dmo) {
    if (!m_sqlUser.empty()) {
        dmo.setUserName(m_sqlUser);
        dmo.setPassword(m_sqlPassword);
    }
    dmo.setInstanceId(m_restoreOptions.destinationInstanceId);
    if (!dmo.initialize(m_sServername, false)) {
        EV_ERROR(m_logger, "Failed to initialize instance [%s].", m_sServername.c_str());
        return false;
    }
    return true;
}

bool CSQLRestoreBase::SelectCloneDatabases(std::list<SqlRestoreDbInfo_t>& dbs, CsqlDMO& dmo, uint64_t& snapJobId,
                                           uint64_t& backupDomainId) {
    std::string skippedNames;
    uint32_t skippedCount = 0;
    CWzError error = GetSnapJobAndDatabaseList(dbs, dmo, skippedNames, snapJobId, backupDomainId, skippedCount);
    if (!error.IsError()) return true;
    EV_ERROR(m_logger, "Failed to get database list with error [%s].", error.GetMessage().c_str());
    if (m_pRstJobClnt) {
        const int32_t code = FXErrorUtil::GetJXResult(error);
        if (code == kCloneSeveralSnapJobs) (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseSeveralSnapJobs);
        if (code == kCloneNoSnapJob) (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseNoSnapJob);
    }
    return false;
}

bool CSQLRestoreBase::PrepareCloneHandler(const std::list<SqlRestoreDbInfo_t>& dbs, uint64_t snapJobId,
                                          uint64_t backupDomainId) {
    m_snapCopyRestoreHandler.reset();
    if (!m_snapCopyRestoreHandler.Initialize(backupDomainId, snapJobId, m_jobId, m_restoreOptions, nullptr, m_sqlUser,
                                             m_sqlPassword, false, SourceNames(dbs))) {
        EV_ERROR(m_logger, "Snap Restore initialize failed. Please check logs for more info.");
        return false;
    }
    std::string folder = m_jobResultsDirectory;
    if (!m_snapCopyRestoreHandler.CreateFolderInDirectory(folder, "metadata_" + std::to_string(snapJobId))) {
        EV_ERROR(m_logger, "Create Directory failed with last error [%d].", errno);
        return false;
    }
    EV_DEBUG(m_logger, 2, "Download metadata to folder [%s].", folder.c_str());
    if (!m_snapCopyRestoreHandler.getRestoreMetadata(folder)) {
        EV_ERROR(m_logger, "Failed to download metadata in folder [%s]", folder.c_str());
        if (m_pRstJobClnt) (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseMetadataDownload);
        return false;
    }
    if (!m_snapCopyRestoreHandler.GetVolumeInformationForClone()) {
        EV_ERROR(m_logger, "Failed to get volume information for job ID [%" PRIu64 "].", snapJobId);
        return false;
    }
    return true;
}

bool IsCloneEnabledForAppAware() {
    static EvDebug log("CloneForAppAware");
    const char* const name = "nAllowCloneForAppAware";
    std::string value = "0";
    if (JXGlobalParam::getProperty(name, value) == 0 && !value.empty()) {
        const size_t first = value.find_first_not_of(" \t");
        const size_t last = value.find_last_not_of(" \t");
        value = first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
    }
    EV_DEBUG(log, 6, "Read value [%s] from additional setting [%s]", value.c_str(), name);
    return std::strtol(value.c_str(), nullptr, 10) != 0;
}
