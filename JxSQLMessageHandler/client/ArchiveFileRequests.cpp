// The restore chain of a database from the central server: the backups to
// apply with the archive files that hold them, in the live-sync and Azure
// forms too, and the lists of a file/filegroup restore.
#include <cinttypes>
#include <list>
#include <string>

#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlArchiveFileRecords.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLCommon/records/SqlRestoreRecords.h"
#include "JxSQLMessageHandler/client/AFileEntries.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"

namespace {

// The fields that the version-6 and version-3 backup entries share.
template <typename Entry>
SqlAFilesPerBackup_t BackupOf(const Entry& entry) {
    SqlAFilesPerBackup_t backup;
    backup.jobId = entry.jobId;
    backup.applicationId = entry.applicationId;
    backup.backupType = static_cast<uint32_t>(entry.backupType);
    backup.vssFlag = entry.vssFlag > 0;
    backup.word6 = entry.word6;
    backup.referenceTime = entry.referenceTime;
    backup.word10 = static_cast<uint32_t>(entry.word10);
    backup.word11 = static_cast<uint32_t>(entry.word11);
    // The tenth word carries the backup method (0 streamed, 2 and 3 snapshot),
    // as in the file and file-group reply.
    backup.backupMethod = backup.word10;
    return backup;
}

// Turns the backups of a version-6 reply into records put at the front of
// `backups`, so the newest comes first.
void ReadVer6Backups(EvDebug& log, const SQLDbAFileRestoreInfo_VER6_Rsp_t& reply,
                            std::list<SqlAFilesPerBackup_t>& backups) {
    for (uint32_t i = 0; i < reply.count && reply.backups != nullptr; ++i) {
        const SQLDbAFileBackup_VER6_t& entry = reply.backups[i];
        SqlAFilesPerBackup_t backup = BackupOf(entry);
        backup.startTime = entry.startTime;
        backup.endTime = entry.endTime;
        backup.sFirstLsn = entry.firstLsn != nullptr ? entry.firstLsn : "";
        backup.sLastLsn = entry.lastLsn != nullptr ? entry.lastLsn : "";
        backup.backupSize = entry.backupSize;
        EV_DEBUG(log, 1, "    BackupType[%c], FirstLSN[%s], LastLSN[%s], StartTime[%" PRIu64 "], EndTime[%" PRIu64 "]:",
                 static_cast<char>(backup.backupType), backup.sFirstLsn.c_str(), backup.sLastLsn.c_str(),
                 backup.startTime, backup.endTime);
        for (uint32_t f = 0; f < entry.afileCount && entry.afiles != nullptr; ++f) {
            AFileInfo_t afile = SqlAFileInfoOf(entry.afiles[f]);
            EV_DEBUG(log, 1, "      AFileId [%" PRIu64 "], JxcellId [%" PRIu64 "], Offset [%" PRIu64 "]",
                     afile.archiveFileId, afile.jxCellId, afile.offset);
            backup.archiveFiles.push_back(std::move(afile));
        }
        backups.push_front(std::move(backup));
    }
}

}  // namespace

bool CSQLClientDll::getAFilesForDb(unsigned long restoreTaskId, unsigned long sourceInstanceId,
                                   unsigned long pointInTime, unsigned long secondTime, int restoreKind,
                                   std::string databaseName, std::list<SqlAFilesPerBackup_t>& backups) {
    SQLDbAFileRestoreInfo_VER6_Req_t request;
    request.databaseName = databaseName.data();
    request.sourceInstanceId = sourceInstanceId;
    request.pointInTime = pointInTime;
    request.restoreKind = restoreKind;
    request.restoreTaskId = restoreTaskId;
    request.secondTime = secondTime;
    SQLDbAFileRestoreInfo_VER6_Rsp_t reply;
    if (!exchangeWithCentralServer(request, reply, kSqlAFilesReq, kSqlAFilesRsp)) return false;
    EV_DEBUG(m_event, 1, "AFile to restore for db [%s]:", databaseName.c_str());
    ReadVer6Backups(m_event, reply, backups);
    return FreeReceivedMessage(kSqlAFilesRsp).IsSuccess();
}

bool CSQLClientDll::getAfilesForDBForLiveSync(unsigned long restoreTaskId, unsigned long sourceInstanceId,
                                              std::string databaseName, SQLPmn::DBLastRestoreInfo lastRestore,
                                              std::list<SqlAFilesPerBackup_t>& backups) {
    SQLPmn::DBAFRestoreInfoReq message;
    message.setint64(SQLPmn::DBAFRestoreInfoReq::kRestoreTaskId, static_cast<int64_t>(restoreTaskId));
    message.setint64(SQLPmn::DBAFRestoreInfoReq::kSourceInstanceId, static_cast<int64_t>(sourceInstanceId));
    message.setstring(SQLPmn::DBAFRestoreInfoReq::kDatabaseName, databaseName);
    message.setObjectAccessor(SQLPmn::DBAFRestoreInfoReq::kLastRestore, lastRestore);
    std::string requestXml;
    if (int rc = message.serialize(requestXml); rc != kMsgOk) {
        EV_ERROR(m_event, "Failed to serialize db restore info with error [%d].", rc);
        return false;
    }
    SQLLiveSyncDBAFRestoreInfoReq_V3_t request;
    request.xml = requestXml.data();
    SQLDbAFileRestoreInfo_VER6_Rsp_t reply;
    if (!exchangeWithCentralServer(request, reply, kSqlLiveSyncAFilesReq, kSqlAFilesRsp)) return false;
    EV_DEBUG(m_event, 1, "AFiles to restore for db [%s]:", databaseName.c_str());
    switch (reply.chainStatus) {
    case 1:
        EV_DEBUG(m_event, 1, "Failed to unserialize the AFile restore info request xml [%s].", requestXml.c_str());
        break;
    case 2:
        EV_DEBUG(m_event, 1, "Encountered error while executing sp to get database chain.");
        break;
    case 3:
        EV_DEBUG(m_event, 1, "Conversion happened. Restoring lastest cycle.");
        break;
    case 4:
        EV_DEBUG(m_event, 1, "Verification of backup chain failed. Restoring latest cycle.");
        break;
    default:
        break;
    }
    ReadVer6Backups(m_event, reply, backups);
    return FreeReceivedMessage(kSqlAFilesRsp).IsSuccess();
}

bool CSQLClientDll::getAFilesForAzureDb(unsigned long value1, unsigned long value2, unsigned long value3,
                                        std::string databaseName, std::list<SqlAFilesPerBackup_t>& backups) {
    SQLAzureDbAFileRestoreInfoReq_t request;
    request.databaseName = databaseName.data();
    request.value2 = value2;
    request.value3 = value3;
    request.value1 = value1;
    SQLDbAFileRestoreInfo_ver_3_Rsp_t reply;
    if (!exchangeWithCentralServer(request, reply, kSqlAzureAFilesReq, kSqlAzureAFilesRsp)) return false;
    EV_DEBUG(m_event, 1, "AFile to restore for db [%s]:", databaseName.c_str());
    for (uint32_t i = 0; i < reply.count && reply.backups != nullptr; ++i) {
        const SQLDbAFileBackup_ver_3_t& entry = reply.backups[i];
        SqlAFilesPerBackup_t backup = BackupOf(entry);
        EV_DEBUG(m_event, 1, "    BackupType[%c]:", static_cast<char>(backup.backupType));
        for (uint32_t f = 0; f < entry.afileCount && entry.afiles != nullptr; ++f) {
            backup.archiveFiles.push_back(SqlAFileInfoOf(entry.afiles[f]));
        }
        backups.push_front(std::move(backup));
    }
    return FreeReceivedMessage(kSqlAzureAFilesRsp).IsSuccess();
}

unsigned long CSQLClientDll::getFFGRestoreList(std::list<unsigned long>& restoreIds) {
    SQLAFilesForFFGRstRsp_t reply;
    getReceiveDataBuffer()->setExternalBuffer(&reply, sizeof reply);
    // 0 would tell the file-group restore to go on with an empty list.
    if (!sendAndReceiveMessage(2, kSqlFFGListReq, kSqlFFGListRsp)) return kFFGListExchangeFailed;
    std::list<unsigned long> received;
    if (reply.status == 0) {
        for (uint32_t i = 0; i < reply.count && reply.restoreIds != nullptr; ++i) {
            EV_DEBUG(m_event, 1, "Restore List: %" PRIu64, reply.restoreIds[i]);
            received.push_back(reply.restoreIds[i]);
        }
    }
    unsigned long status = reply.status;
    if (FreeReceivedMessage(kSqlFFGListRsp).IsError()) return kFFGListExchangeFailed;
    restoreIds.splice(restoreIds.end(), received);
    return status;
}

bool CSQLClientDll::getFFGAFileRestoreInfo(SqlFFGRestoreInfo_t& info) {
    SQLFFGRestoreInfo_ver_3_Rsp_t reply;
    getReceiveDataBuffer()->setExternalBuffer(&reply, sizeof reply);
    if (!sendAndReceiveMessage(2, kSqlFFGInfoReq, kSqlFFGInfoRsp)) return false;
    info.applicationId = reply.applicationId;
    info.jobId = reply.jobId;
    info.backupType = static_cast<uint32_t>(reply.backupType);
    info.vssFlag = reply.vssFlag > 0;
    info.backupMethod = reply.backupMethod;
    info.word10 = static_cast<uint32_t>(reply.backupMethod);
    info.word11 = static_cast<uint32_t>(reply.word11);
    info.word6 = reply.word6;
    info.referenceTime = reply.referenceTime;
    info.backupSize = 0;
    for (uint32_t f = 0; f < reply.afileCount && reply.afiles != nullptr; ++f) {
        AFileInfo_t afile = SqlAFileInfoOf(reply.afiles[f]);
        EV_DEBUG(m_event, 1, "\t\tBackup Type[%lu]:", static_cast<unsigned long>(info.backupType));
        EV_DEBUG(m_event, 1, "\t\t\tAFileId [%" PRIu64 "], JxcellId [%" PRIu64 "], Offset [%" PRIu64 "]",
                 afile.archiveFileId, afile.jxCellId, afile.offset);
        info.archiveFiles.push_back(std::move(afile));
    }
    for (uint32_t i = 0; i < reply.fileCount && reply.files != nullptr; ++i) {
        info.fileGroups.push_back(reply.files[i] != nullptr ? reply.files[i] : "");
    }
    return FreeReceivedMessage(kSqlFFGInfoRsp).IsSuccess();
}
