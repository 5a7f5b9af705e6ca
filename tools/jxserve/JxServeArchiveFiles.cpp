// The stand-in's answers to the archive-file requests of a restore: the
// live-sync chain (kSqlLiveSyncAFilesReq), the Azure form (kSqlAzureAFilesReq)
// and the file/filegroup restore lists (kSqlFFGListReq, kSqlFFGInfoReq). The
// chain of an ordinary restore (kSqlAFilesReq) is JxServeRestoreChains.cpp's.
// Chains go out newest first, as the central server sends them: the
// requester puts each backup in front of the ones before it.
#include <algorithm>
#include <string>
#include <vector>

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlArchiveFileRecords.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLCommon/records/SqlRestoreRequestRecords.h"
#include "tools/jxserve/JxServeChains.h"
#include "tools/jxserve/JxServeHandlers.h"
#include "tools/jxserve/JxServeLogTail.h"
#include "tools/jxserve/JxServeRestoreStore.h"
#include "tools/jxserve/JxServeWireAFiles.h"

namespace {

template <typename Entry>
Entry CommonFields(JxServeBackup& b, JxServeWireAFiles& afiles) {
    Entry e;
    e.applicationId = b.applicationId;
    e.jobId = b.jobId;
    e.backupType = static_cast<unsigned char>(b.backupType);
    e.vssFlag = b.vssFlag;
    e.word10 = b.word10;
    e.word11 = b.word11;
    e.word6 = b.word6;
    e.referenceTime = b.referenceTime;
    e.afileCount = static_cast<uint32_t>(b.archiveFiles.size());
    e.afiles = afiles.Of(b.archiveFiles);
    return e;
}

// The chain after the last restored point the request describes
// (JxServeLiveSyncChain).
bool ServeLiveSyncAFiles(JxServeRequest& request) {
    const char* xml = request.As<SQLLiveSyncDBAFRestoreInfoReq_V3_t>().xml;
    SQLPmn::DBAFRestoreInfoReq message;
    std::vector<JxServeBackup> none;
    if (message.unserialize(xml != nullptr ? xml : "") != kMsgOk) return JxServeReplyChain(request, none, 1);
    const auto instanceId = static_cast<uint64_t>(message.getint64(SQLPmn::DBAFRestoreInfoReq::kSourceInstanceId));
    const std::string database = message.getstring(SQLPmn::DBAFRestoreInfoReq::kDatabaseName);
    SQLPmn::DBLastRestoreInfo last;
    message.getObject(SQLPmn::DBAFRestoreInfoReq::kLastRestore, last);
    const std::string restoredLsn = last.getstring(SQLPmn::DBLastRestoreInfo::kLastLsn);

    auto db = JxServeOpenRestoreStore();
    std::vector<JxServeBackup> chain = JxServeLiveSyncChain(JxServeBackupsOf(*db, instanceId, database, 0), restoredLsn,
                                                            last.getstring(SQLPmn::DBLastRestoreInfo::kFirstLsn));
    std::reverse(chain.begin(), chain.end());
    int64_t status = db->ExecScalarInt64(
        FX::CSQLite3Sql("SELECT status FROM live_sync_status WHERE instance_id = ? AND database = ?",
                        {static_cast<int64_t>(instanceId), database}),
        0);
    return JxServeReplyChain(request, chain, static_cast<uint64_t>(status));
}

// The Azure form names the instance by its first number.
bool ServeAzureAFiles(JxServeRequest& request) {
    const SQLAzureDbAFileRestoreInfoReq_t& req = request.As<SQLAzureDbAFileRestoreInfoReq_t>();
    auto db = JxServeOpenRestoreStore();
    std::vector<JxServeBackup> backups =
        JxServeBackupsOf(*db, req.value1, req.databaseName != nullptr ? req.databaseName : "", 0);
    JxServeWireAFiles afiles;
    std::vector<SQLDbAFileBackup_ver_3_t> entries;
    std::reverse(backups.begin(), backups.end());
    for (JxServeBackup& b : backups) entries.push_back(CommonFields<SQLDbAFileBackup_ver_3_t>(b, afiles));
    SQLDbAFileRestoreInfo_ver_3_Rsp_t reply;
    reply.count = static_cast<uint32_t>(entries.size());
    reply.backups = entries.empty() ? nullptr : entries.data();
    return JxServeReply(request, kSqlAzureAFilesRsp, reply);
}

// The restore ids of the file or file-group restore's chain at the request's
// to-time, oldest first; status 3 when the log's tail must be backed up first.
bool ServeFFGList(JxServeRequest& request) {
    const SQLAFilesForFFGRstReq_t& req = request.As<SQLAFilesForFFGRstReq_t>();
    auto db = JxServeOpenRestoreStore();
    const std::string database = req.databaseName != nullptr ? req.databaseName : "";
    std::vector<std::string> names;
    for (uint32_t i = 0; req.files != nullptr && i < req.fileCount; ++i) {
        if (req.files[i] != nullptr) names.emplace_back(req.files[i]);
    }
    const std::vector<JxServeBackup> history = JxServeBackupsOf(*db, req.sourceInstanceId, database, 0);
    if (JxServeLogTailNotBackedUp(*db, req, JxServeFileGroupChain(history, 0, names), request.log)) {
        SQLAFilesForFFGRstRsp_t tailFirst;
        tailFirst.status = 3;
        return JxServeReply(request, kSqlFFGListRsp, tailFirst);
    }
    std::vector<uint64_t> ids;
    for (const JxServeBackup& b : JxServeFileGroupChain(history, req.toTime, names)) ids.push_back(b.restoreId);
    SQLAFilesForFFGRstRsp_t reply;
    reply.count = static_cast<uint32_t>(ids.size());
    reply.restoreIds = ids.empty() ? nullptr : ids.data();
    return JxServeReply(request, kSqlFFGListRsp, reply);
}

// The backup of one restore id, with the files the request lists ("'a', 'b'").
bool ServeFFGInfo(JxServeRequest& request) {
    const SQLFFGRestoreInfoReq_t& req = request.As<SQLFFGRestoreInfoReq_t>();
    auto db = JxServeOpenRestoreStore();
    JxServeBackup backup;
    SQLFFGRestoreInfo_ver_3_Rsp_t reply;
    if (!JxServeBackupById(*db, req.restoreId, backup)) {
        EV_ERROR(request.log, "Restore id %llu is not known.", static_cast<unsigned long long>(req.restoreId));
        return JxServeReply(request, kSqlFFGInfoRsp, reply);
    }
    std::vector<std::string> files;
    const std::string list = req.fileList != nullptr ? req.fileList : "";
    for (size_t open = list.find('\''); open != std::string::npos; open = list.find('\'', open)) {
        size_t close = list.find('\'', open + 1);
        if (close == std::string::npos) break;
        files.push_back(list.substr(open + 1, close - open - 1));
        open = close + 1;
    }
    // The backup's file groups when the store knows them.
    if (!backup.fileGroups.empty()) files = backup.fileGroups;
    std::vector<char*> filePointers;
    for (std::string& f : files) filePointers.push_back(f.data());
    JxServeWireAFiles afiles;
    reply.applicationId = backup.applicationId;
    reply.jobId = backup.jobId;
    reply.backupType = static_cast<unsigned char>(backup.backupType);
    reply.vssFlag = backup.vssFlag;
    reply.backupMethod = backup.word10;
    reply.word11 = backup.word11;
    reply.word6 = backup.word6;
    reply.referenceTime = backup.referenceTime;
    reply.afileCount = static_cast<uint32_t>(backup.archiveFiles.size());
    reply.afiles = afiles.Of(backup.archiveFiles);
    reply.fileCount = static_cast<uint32_t>(filePointers.size());
    reply.files = filePointers.empty() ? nullptr : filePointers.data();
    return JxServeReply(request, kSqlFFGInfoRsp, reply);
}

const JxServeRegistration kArchiveFiles{
    {kSqlLiveSyncAFilesReq, &ServeLiveSyncAFiles},
    {kSqlAzureAFilesReq, &ServeAzureAFiles},
    {kSqlFFGListReq, &ServeFFGList},
    {kSqlFFGInfoReq, &ServeFFGInfo},
};

}  // namespace

bool JxServeReplyChain(JxServeRequest& request, std::vector<JxServeBackup>& backups, uint64_t chainStatus) {
    JxServeWireAFiles afiles;
    std::vector<SQLDbAFileBackup_VER6_t> entries;
    for (JxServeBackup& b : backups) {
        SQLDbAFileBackup_VER6_t e = CommonFields<SQLDbAFileBackup_VER6_t>(b, afiles);
        e.startTime = b.startTime;
        e.endTime = b.endTime;
        e.firstLsn = b.firstLsn.data();
        e.lastLsn = b.lastLsn.data();
        e.backupSize = b.backupSize;
        entries.push_back(e);
    }
    SQLDbAFileRestoreInfo_VER6_Rsp_t reply;
    reply.count = static_cast<uint32_t>(entries.size());
    reply.backups = entries.empty() ? nullptr : entries.data();
    reply.chainStatus = chainStatus;
    return JxServeReply(request, kSqlAFilesRsp, reply);
}
