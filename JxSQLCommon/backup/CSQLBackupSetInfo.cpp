// CSQLBackup: the backup-set record of one backed-up database. The record
// (LSNs, dates, type, files and the archive file and offset of every data
// stream) goes to the central server; a media metadata record is kept for
// the media agent; the caller's status-tab row gets the backup's dates and
// LSNs; and once the central server accepts the record the database's data
// is committed on the pipeline. A broken log chain turns the database into
// a full-backup candidate instead of a failure.
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "JXAppMgr/ApplicationId.h"
#include "JxJobClient/JXBkpJobClient.h"
#include "JxSQLCommon/backup/BackupSetInfoOwner.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/records/SqlBackupSetRecords.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/records/SqlSnapshotRecords.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/sqlRecordCodecs.h"
#include "JxSQLVDIBase/CJxSQLVDIBase.h"
#include "JxSession/CJxNetwork.h"
#include "JxSession/jxsDatabuf_v2.h"
#include "JxSqlDataReaderWriter/DataReaderWriter.h"
#include "JxSqlDataReaderWriter/SqlDataTransferHandler.h"
#include "WzUtils/WzPauseFile.h"

namespace {

constexpr int kReasonBrokenChain = 13;
constexpr uint32_t kApplicationTypeSql = 81;

// Backup methods of the caller.
constexpr int kMethodVdi = 0;
constexpr int kMethodVss = 1;
constexpr int kMethodSnap = 2;
constexpr int kMethodVssFull = 5;
constexpr int kMethodVdiOther = 1010;
// File type of the placeholder file of a snapshot or VSS record.
constexpr uint32_t kPlaceholderFileType = 100;

using SQLPmn::SQLBackupDatabaseMediaMetaInfo;
using SQLPmn::SQLDBBackupInfo;

char* CopyTextOrNull(const std::string& text) { return text.empty() ? nullptr : CopyRequestText(text); }

uint32_t U32(const CNMessageBase& message, CNFieldId field) {
    return static_cast<uint32_t>(message.getint64(field));
}

}  // namespace

bool CSQLBackup::updateBackupSetInfo_10(CJxSQLVDIBase* vdi, int* errorCode, JobManager::SQLStatusTab* statusTab) {
    if (vdi == nullptr) {
        EV_ERROR(m_logger, "No VDI session to take the backup set from.");
        return false;
    }
    return sendBackupSetInfoToCS(vdi->getXMLBackupSetInfo_10(), kMethodVdi, "", errorCode, statusTab, true);
}

bool CSQLBackup::setBasicInfoForUpdateRequest(SQLBackupSetInfoReq_VER5_t& request, SQLPmn::SQLDBBackupMetadata& metadata,
                                              SQLPmn::SQLBackupDatabaseMediaMetaInfo& media, int method,
                                              std::string callerText) {
    // The first backup of the list describes this one.
    std::vector<SQLDBBackupInfo> backups;
    if (!metadata.getlistobject(SQLPmn::SQLDBBackupMetadata::kBackups, backups) || backups.empty()) return false;
    const SQLDBBackupInfo& info = backups.front();
    using M = SQLBackupDatabaseMediaMetaInfo;
    request.metadataValue1 = U32(info, SQLDBBackupInfo::kValue1);
    request.startDate = U32(info, SQLDBBackupInfo::kBackupStartDate);
    request.finishDate = U32(info, SQLDBBackupInfo::kBackupFinishDate);
    request.metadataValue5 = U32(info, SQLDBBackupInfo::kValue5);
    request.metadataValue2 = U32(info, SQLDBBackupInfo::kValue2);
    request.metadataValue3 = U32(info, SQLDBBackupInfo::kValue3);
    request.metadataValue4 = U32(info, SQLDBBackupInfo::kValue4);
    request.applicationNumber = static_cast<uint32_t>(m_appNumber);
    request.instanceId = static_cast<uint32_t>(m_instanceId);
    request.metadataValue64 = static_cast<uint64_t>(info.getint64(SQLDBBackupInfo::kValue64));
    request.firstLsn = CopyRequestText(info.getstring(SQLDBBackupInfo::kFirstLsn));
    request.lastLsn = CopyRequestText(info.getstring(SQLDBBackupInfo::kLastLsn));
    request.checkpointLsn = CopyRequestText(info.getstring(SQLDBBackupInfo::kCheckpointLsn));
    request.databaseBackupLsn = CopyRequestText(info.getstring(SQLDBBackupInfo::kDatabaseBackupLsn));
    request.databaseName = CopyRequestText(info.getstring(SQLDBBackupInfo::kDatabaseName));
    request.backupType = CopyRequestText(info.getstring(SQLDBBackupInfo::kBackupType));
    request.callerText = CopyTextOrNull(callerText);
    request.copyOnly = m_bCopyOnly ? 1 : 0;
    request.backupMethod = static_cast<uint32_t>(method);
    request.jobId = static_cast<uint32_t>(m_jobId);
    request.logFromFileSystem = m_bLogFromFileSystem ? 1 : 0;
    for (size_t i = 0; i < std::size(SQLDBBackupInfo::kExtraTexts); ++i) {
        const std::string text = info.getstring(SQLDBBackupInfo::kExtraTexts[i]);
        // Text 28 always travels; the others only when they say something.
        const bool always = SQLDBBackupInfo::kExtraTexts[i].id == 28;
        request.extraTexts[i] = always ? CopyRequestText(text) : CopyTextOrNull(text);
        if (always || !text.empty()) media.setstring(M::kExtraTexts[i], text);
    }
    request.flag86 = static_cast<uint8_t>(info.getint64(SQLDBBackupInfo::kFlag86));
    request.flag87 = static_cast<uint8_t>(info.getint64(SQLDBBackupInfo::kFlag87));
    request.sharePoint = U32(metadata, SQLPmn::SQLDBBackupMetadata::kSharePoint);
    request.backupPhase = m_bkpPhase;
    request.initiatedFrom = static_cast<uint32_t>(m_initiatedFrom);

    media.setint64(M::kValue1, request.metadataValue1);
    media.setint64(M::kStartDate, request.startDate);
    media.setint64(M::kFinishDate, request.finishDate);
    media.setint64(M::kValue5, request.metadataValue5);
    media.setint64(M::kValue2, request.metadataValue2);
    media.setint64(M::kValue3, request.metadataValue3);
    media.setint64(M::kValue4, request.metadataValue4);
    media.setint64(M::kApplicationId, static_cast<int64_t>(m_appNumber));
    media.setint64(M::kInstanceId, request.instanceId);
    media.setint64(M::kValue64, static_cast<int64_t>(request.metadataValue64));
    media.setstring(M::kFirstLsn, request.firstLsn);
    media.setstring(M::kLastLsn, request.lastLsn);
    media.setstring(M::kCheckpointLsn, request.checkpointLsn);
    media.setstring(M::kDatabaseBackupLsn, request.databaseBackupLsn);
    media.setstring(M::kDatabaseName, request.databaseName);
    media.setstring(M::kBackupType, request.backupType);
    if (!callerText.empty()) media.setstring(M::kCallerText, callerText);
    media.setint64(M::kCopyOnly, request.copyOnly);
    media.setint64(M::kBackupMethod, method);
    media.setint64(M::kJobId, static_cast<int64_t>(m_jobId));
    media.setint64(M::kLogFromFileSystem, request.logFromFileSystem);
    media.setstring(M::kFlag86Text, std::to_string(request.flag86));
    media.setstring(M::kFlag87Text, std::to_string(request.flag87));
    return true;
}

bool CSQLBackup::setSqlDatabaseFileInfoForUpdateRequest(SQLBackupSetInfoReq_VER5_t& request,
                                                        SQLPmn::SQLDBBackupMetadata& metadata,
                                                        SQLPmn::SQLBackupDatabaseMediaMetaInfo& media,
                                                        unsigned long long& applicationSize,
                                                        std::vector<SqlDatabaseFiles_t>& files) {
    using F = SQLPmn::SQLFileBackupInfo;
    std::vector<F> list;
    if (metadata.isSet(SQLPmn::SQLDBBackupMetadata::kFiles) &&
        !metadata.getlistobject(SQLPmn::SQLDBBackupMetadata::kFiles, list)) {
        EV_ERROR(m_logger, "The backup metadata holds an unreadable file list.");
        return false;
    }
    const int method = static_cast<int>(request.backupMethod);
    if (method == kMethodVss || method == kMethodSnap || method == kMethodVssFull) {
        F placeholder;
        placeholder.setstring(F::kPhysicalName, "");
        placeholder.setstring(F::kLogicalName, "");
        placeholder.setstring(F::kFilegroupName, "");
        placeholder.setint64(F::kFileNumber, 0);
        placeholder.setint64(F::kFileType, kPlaceholderFileType);
        placeholder.setint64(F::kFileSize, 0);
        list.push_back(placeholder);
    }
    const bool sizeApplication = m_isSnapBackup && m_bkpPhase != JXSQL_BACKUP_LOG;
    request.files = list.empty() ? nullptr : new JXSQLBackupFileInfo_V1_t[list.size()];
    request.fileCount = static_cast<uint32_t>(list.size());
    for (size_t i = 0; i < list.size(); ++i) {
        const F& file = list[i];
        JXSQLBackupFileInfo_V1_t& entry = request.files[i];
        const std::string physical = file.getstring(F::kPhysicalName);
        const std::string logical = file.getstring(F::kLogicalName);
        const std::string filegroup = file.getstring(F::kFilegroupName);
        entry.physicalName = CopyRequestText(physical);
        EV_DEBUG(m_logger, 2, "PHYSICAL FILE NAME : %s", physical.c_str());
        entry.logicalName = CopyRequestText(logical);
        EV_DEBUG(m_logger, 2, "LOGICAL FILE NAME : %s", logical.c_str());
        entry.filegroupName = CopyRequestText(filegroup);
        EV_DEBUG(m_logger, 2, "FILEGROUP NAME : %s", filegroup.c_str());
        entry.fileNumber = U32(file, F::kFileNumber);
        entry.fileType = U32(file, F::kFileType);
        entry.fileSize = static_cast<uint64_t>(file.getint64(F::kFileSize));

        SQLPmn::SQLBackupDatabaseFilesMediaMetaInfo mediaFile;
        using MF = SQLPmn::SQLBackupDatabaseFilesMediaMetaInfo;
        mediaFile.setstring(MF::kPhysicalName, physical);
        mediaFile.setstring(MF::kLogicalName, logical);
        mediaFile.setstring(MF::kFilegroupName, filegroup);
        mediaFile.setint64(MF::kFileNumber, entry.fileNumber);
        mediaFile.setint64(MF::kFileType, entry.fileType);
        mediaFile.setint64(MF::kFileSize, static_cast<int64_t>(entry.fileSize));
        media.addlistobject(SQLBackupDatabaseMediaMetaInfo::kFiles, mediaFile);

        if (!physical.empty()) {
            struct stat st {};
            SqlDatabaseFiles_t databaseFile;
            databaseFile.fileName = physical;
            databaseFile.isDirectory = ::stat(physical.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? 1 : 0;
            files.push_back(databaseFile);
        }
        if (!sizeApplication) continue;
        applicationSize += entry.fileSize;
        if (entry.fileSize == 0 && !physical.empty()) {
            unsigned long long folderSize = 0;
            const uint32_t rc = CalculateSizeOfFileStreamDirectory(physical, folderSize);
            if (rc == 0) {
                applicationSize += folderSize;
            } else {
                EV_DEBUG(m_logger, 1, "Unable to retrieve size of folder [%s] with error [%u]", physical.c_str(), rc);
            }
        } else if (physical.empty()) {
            EV_DEBUG(m_logger, 3, "Empty file name. Not retrieving file size.");
        }
    }
    return true;
}

bool CSQLBackup::setAfileInfoToRequestForVDI(SQLBackupSetInfoReq_VER5_t& request,
                                             SQLPmn::SQLBackupDatabaseMediaMetaInfo& media) {
    std::vector<std::shared_ptr<DataReaderWriter>> writers;
    if (m_bLogFromFileSystem) {
        std::shared_ptr<DataReaderWriter> writer = m_dataTransferHandler.getStreamWriterForFile(m_currentDumpFile);
        if (writer == nullptr) {
            EV_ERROR(m_logger, "No stream writer holds the log dump [%s].", m_currentDumpFile.c_str());
            return false;
        }
        writers.push_back(writer);
    } else {
        // One archive entry per stream, each from the writer of that stream:
        // a record that names fewer (or more) archive files than the backup
        // wrote could never be restored, so it is not sent.
        const auto map = m_dataTransferHandler.getStreamWriterMap();
        const int32_t streams = m_streamCount > 0 ? m_streamCount : m_dataStreamCount;
        if (map.empty() || map.size() != static_cast<size_t>(streams)) {
            EV_ERROR(m_logger, "The pipeline holds [%zu] stream writers for [%d] streams of the backup.", map.size(),
                     static_cast<int>(streams));
            return false;
        }
        for (const auto& [stream, writer] : map) {
            if (writer == nullptr) {
                EV_ERROR(m_logger, "The pipeline has no writer for stream [%d].", stream);
                return false;
            }
            writers.push_back(writer);
        }
    }
    request.archives = new JXSQLBackupArchiveInfo_VER1_t[writers.size()];
    request.archiveCount = static_cast<uint32_t>(writers.size());
    for (size_t i = 0; i < writers.size(); ++i) {
        const ArchiveFileId_t id = writers[i]->getArchiveFileId();
        JXSQLBackupArchiveInfo_VER1_t& entry = request.archives[i];
        entry.jxCellId = id.jxCellId;
        entry.archiveFileId = id.archiveFileId;
        entry.offset = writers[i]->getArchiveFileOffset();
        request.archiveGroupId = id.archiveGroupId;
        media.setint64(SQLBackupDatabaseMediaMetaInfo::kArchiveGroupId, id.archiveGroupId);
        SQLPmn::SQLBackupDatabaseArchiveMetaInfo archive;
        archive.setint64(SQLPmn::SQLBackupDatabaseArchiveMetaInfo::kJxCellId, entry.jxCellId);
        archive.setint64(SQLPmn::SQLBackupDatabaseArchiveMetaInfo::kArchiveFileId, entry.archiveFileId);
        archive.setint64(SQLPmn::SQLBackupDatabaseArchiveMetaInfo::kOffset, static_cast<int64_t>(entry.offset));
        media.addlistobject(SQLBackupDatabaseMediaMetaInfo::kArchives, archive);
    }
    return true;
}

bool CSQLBackup::updateMetaInfoToMedia(SQLPmn::SQLBackupDatabaseMediaMetaInfo* info, bool flush) {
    if (info != nullptr) m_mediaMetaInfo.push_back(*info);
    if (!flush) return true;
    if (m_mediaMetaInfo.empty()) {
        EV_WARN(m_logger, "Found nothing for updating media.");
        return true;
    }
    SQLPmn::SQLDatabaseBackupInfoList list;
    list.setlistobject(SQLPmn::SQLDatabaseBackupInfoList::kDatabases, m_mediaMetaInfo);
    std::string xml;
    if (const int rc = list.serialize(xml); rc != kMsgOk) {
        EV_ERROR(m_logger, "Failed to get Xml string for meta info with error [%d].", rc);
    } else {
        EV_DEBUG(m_logger, 5, "Xml to be shared with MA [%s].", xml.c_str());
        if (!m_dataTransferHandler.SendOptionalMediaHeaders(xml)) {
            EV_WARN(m_logger, "Failed to hand the media metadata to the media agent.");
        }
    }
    // The queue is emptied whatever became of it: the records belong to the
    // databases sent so far only.
    m_mediaMetaInfo.clear();
    return true;
}

bool CSQLBackup::sendBackupSetInfoToCS(std::string metadataXml, int method, std::string callerText, int* errorCode,
                                       JobManager::SQLStatusTab* statusTab, bool flushMedia) {
    if (errorCode == nullptr) {
        EV_ERROR(m_logger, "No error code to report a refused backup set in.");
        return false;
    }
    *errorCode = 0;
    if (m_pMetadataConnection == nullptr) m_pMetadataConnection = new CJxNetwork();
    // The request object that borrows a session leaves the codecs to its
    // owner: the record's codec must be known before the first send.
    SqlRegisterRecordCodecs();
    jxsDatabuf_v2 received;
    CSQLClientDll requester(m_pMetadataConnection, &received, 0);
    SQLBackupSetInfoReq_VER5_t request;
    BackupSetInfoOwner owner(request);
    requester.getDataBuffer()->setExternalBuffer(&request, sizeof request);

    SQLPmn::SQLDBBackupMetadata metadata;
    if (metadata.unserialize(metadataXml) != kMsgOk) {
        EV_ERROR(m_logger, "Failed to unserialize message [%s]", metadataXml.c_str());
        return false;
    }
    EV_DEBUG(m_logger, 2, "XML Message [%s]", metadataXml.c_str());
    SQLBackupDatabaseMediaMetaInfo media;
    if (!setBasicInfoForUpdateRequest(request, metadata, media, method, callerText) || request.databaseName[0] == '\0' ||
        request.firstLsn[0] == '\0' || request.lastLsn[0] == '\0' || request.checkpointLsn[0] == '\0' ||
        request.databaseBackupLsn[0] == '\0') {
        EV_ERROR(m_logger, "Error: Empty data found in backup metadata = [%s]", metadataXml.c_str());
        return false;
    }
    const std::string name = request.databaseName;

    if (statusTab != nullptr) {
        using T = JobManager::SQLStatusTab;
        statusTab->setint64(T::kBackupStartDate, request.startDate);
        statusTab->setint64(T::kBackupFinishDate, request.finishDate);
        statusTab->setint64(T::kBackupValue, static_cast<int64_t>(request.metadataValue64));
        statusTab->setstring(T::kFirstLsn, request.firstLsn);
        statusTab->setstring(T::kLastLsn, request.lastLsn);
        statusTab->setint64(T::kSharePoint, request.sharePoint);
    }
    if (request.sharePoint != 0 && !m_bMarkedSharePoint) {
        MsSqlInstance* instance = m_applicationId.getInstance();
        if (instance == nullptr || instance->setProtectingSPDBs(1) != 0) {
            EV_WARN(m_logger, "Failed to fetch mssqlinstance");
        } else {
            m_bMarkedSharePoint = true;
        }
    }
    request.databaseId = static_cast<uint32_t>(m_currentDatabaseId);
    media.setint64(SQLBackupDatabaseMediaMetaInfo::kDatabaseId, request.databaseId);
    request.applicationType = kApplicationTypeSql;
    media.setint64(SQLBackupDatabaseMediaMetaInfo::kApplicationType, kApplicationTypeSql);

    unsigned long long applicationSize = 0;
    std::vector<SqlDatabaseFiles_t> files;
    if (!setSqlDatabaseFileInfoForUpdateRequest(request, metadata, media, applicationSize, files)) return false;
    bool archived = true;
    switch (method) {
        case kMethodVss:
        case kMethodVssFull: archived = setAfileInfoToRequestForVSS(request, media, files); break;
        case kMethodSnap: archived = setAfileInfoToRequestForSnap(request); break;
        case kMethodVdi:
        case kMethodVdiOther: archived = setAfileInfoToRequestForVDI(request, media); break;
        default: break;
    }
    if (!archived) {
        EV_ERROR(m_logger, "The archive files of database [%s] are not known; its backup set is not sent.", name.c_str());
        return false;
    }

    EV_DEBUG(m_logger, 1, "Sending message to CS");
    const bool sizeApplication = m_isSnapBackup && m_bkpPhase != JXSQL_BACKUP_LOG;
    bool result = requester.updateBackupSetInfo(errorCode);
    if (result) {
        if (m_sendOptionalHeader && (method == kMethodVdi || method == kMethodVss || method == kMethodVdiOther)) {
            (void)updateMetaInfoToMedia(&media, flushMedia);
        }
        if (sizeApplication) {
            m_applicationSize += applicationSize;
            EV_DEBUG(m_logger, 1, "Total application size so far is [%llu]",
                     static_cast<unsigned long long>(m_applicationSize));
        }
    } else {
        EV_ERROR(m_logger, "Failed to update sql tables");
        if (*errorCode == 0) *errorCode = kCauseBackupSetRefused;
        if (m_pJobClnt != nullptr) *m_pJobClnt << name.c_str();
        m_bJobFailed = true;
        if (*errorCode != kCauseBrokenChain) {
            RaisePendingCause(*errorCode);
            return false;
        }
        // The log was already truncated: the records on the media are the
        // only copy, so the database goes on as a full-backup candidate.
        m_bJobFailed = false;
        if (m_promoteBrokenChain == 0) {
            RaisePendingCause(*errorCode);
            return false;
        }
        if (m_pJobClnt != nullptr) m_pJobClnt->InfoEvent(kEventBrokenChainConverted);
        if (statusTab != nullptr) {
            using T = JobManager::SQLStatusTab;
            statusTab->setstring(T::kReason, "Broken chain detected for database [" + name + "].");
            statusTab->setint64(T::kDatabasePhase, JobManager::kDBPhaseFull);
            statusTab->setint64(T::kBackupPhase, m_bkpPhase);
            statusTab->setint64(T::kStatus, JobManager::kDBStatusConverted);
            statusTab->setint64(T::kSkipReason, kReasonBrokenChain);
        }
        // A database the full list cannot take would be lost: it fails instead.
        if (!AddConvertedDBToCollectFile(name, JXSQL_BACKUP_FULL)) {
            EV_ERROR(m_logger, "Failed to add database [%s] to the list of databases to back up in full.", name.c_str());
            return false;
        }
        result = true;
    }

    const bool committable =
        method == kMethodVdi || method == kMethodVdiOther || method == kMethodVss || method == kMethodVssFull;
    if (result && committable && m_bCommitData) {
        EV_DEBUG(m_logger, 4, "Sending explicit commit 'PL_COMMIT_DATA'...");
        (void)wz::WaitWhilePauseFile("/tmp/BeforeCommit.sleep");
        if (!m_dataTransferHandler.commitData()) {
            m_bJobFailed = true;
            EV_ERROR(m_logger, "Commit failed and stopping backup.");
            result = false;
            DropUncommittedBackupSets(name);
        } else {
            m_bJobFailed = false;
        }
        (void)wz::WaitWhilePauseFile("/tmp/AfterCommit.sleep");
    }
    return result;
}

void CSQLBackup::DropUncommittedBackupSets(const std::string& name) {
    // The central server holds a set whose data the media never committed:
    // it is dropped so that no restore picks it.
    CSQLClientDll requester;
    std::vector<std::string> cleaned;
    if (!requester.cleanUncommitedEntries(m_jobId, static_cast<unsigned long>(getSqlBackupType(false)), name,
                                          cleaned)) {
        EV_WARN(m_logger, "Failed to drop the uncommitted backup set of database [%s].", name.c_str());
    }
}
