// CSQLRestoreBase: the backups a file or file-group restore applies. The
// central server answers the restore ids of the backups that hold the chosen
// files, then, per restore id, the backup's archive files and its file-group
// names.
#include <cinttypes>
#include <list>
#include <string>
#include <vector>

#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/records/SqlRestoreRequestRecords.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxSQLCommon/restore/FileGroupEntry.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"

namespace {

constexpr unsigned long kLogTailNotBackedUp = 3;

// The file list of a backup request: each name in single quotes, separated
// by ", ".
std::string QuotedFileList(const std::list<std::string>& files) {
    std::string text;
    for (const std::string& f : files) {
        if (!text.empty()) text += ", ";
        text += "'" + f + "'";
    }
    return text;
}

}  // namespace

bool CSQLRestoreBase::getAFilesForFFGRestore(std::list<SqlRestoreDbInfo_t>& dbs, std::list<std::string>& files,
                                             std::list<SqlFFGRestoreInfo_t>& infoList) {
    std::string database;
    if (!CheckFileGroupEntries(dbs, database)) return false;
    // The request lends pointers to these strings; they live until the reply is read.
    std::vector<std::string> names;
    for (const SqlRestoreDbInfo_t& db : dbs) {
        names.push_back(SplitFileGroupEntry(db.sDbName).name);
        files.push_back(names.back());
    }
    std::vector<char*> pointers;
    for (std::string& n : names) pointers.push_back(n.data());

    SQLAFilesForFFGRstReq_t request;
    request.databaseName = database.data();
    request.sourceInstanceId = m_restoreOptions.sourceInstanceId;
    request.toTime = m_restoreOptions.pointInTime;
    request.requestKind = 1;
    request.restoreTaskId = m_restoreTaskId;
    request.fileCount = static_cast<uint32_t>(pointers.size());
    request.files = pointers.empty() ? nullptr : pointers.data();

    std::list<unsigned long> restoreIds;
    unsigned long status = 0;
    {
        CSQLClientDll client;
        client.getDataBuffer()->setExternalBuffer(&request, sizeof request);
        status = client.getFFGRestoreList(restoreIds);
    }
    if (status != 0) {
        if (status == kLogTailNotBackedUp && m_pRstJobClnt) {
            *m_pRstJobClnt << "Backup of the current transaction log is required before running a File/File Group "
                              "restore.";
            (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseLogTailNotBackedUp);  // fails through the result
        }
        EV_ERROR(m_logger, "Failed to get the file/file group restore list for database [%s], status [%lu].",
                 database.c_str(), status);
        return false;
    }
    if (restoreIds.empty()) {
        if (m_pRstJobClnt) {
            *m_pRstJobClnt << database.c_str();
            (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseNoFileGroupArchiveFiles);  // fails through the result
        }
        EV_ERROR(m_logger, "There are no archive files to do ffg restore for database [%s]", database.c_str());
        return false;
    }
    if (!getAFileRestoreInfoList(restoreIds, files, infoList) || infoList.empty()) {
        EV_ERROR(m_logger, "getAFileRestoreInfoList() failed");
        return false;
    }
    return true;
}

bool CSQLRestoreBase::getAFileRestoreInfoList(std::list<uint64_t>& restoreIds, std::list<std::string>& files,
                                              std::list<SqlFFGRestoreInfo_t>& infoList) {
    for (uint64_t id : restoreIds) {
        EV_INFO(m_logger, "RESTORE ID = %" PRIu64, id);
        if (!getFFGAFileRestoreInfo(id, files, infoList)) {
            EV_ERROR(m_logger, "getFFGAFileRestoreInfo() failed");
            return false;
        }
    }
    return true;
}

bool CSQLRestoreBase::getFFGAFileRestoreInfo(uint64_t restoreId, std::list<std::string>& files,
                                             std::list<SqlFFGRestoreInfo_t>& infoList) {
    m_ffgRestoreInfo.fileGroups.clear();
    m_ffgRestoreInfo.archiveFiles.clear();
    std::string list = QuotedFileList(files);
    SQLFFGRestoreInfoReq_t request;
    request.restoreId = restoreId;
    request.fileList = list.data();
    SqlFFGRestoreInfo_t info;
    bool ok = false;
    {
        CSQLClientDll client;
        client.getDataBuffer()->setExternalBuffer(&request, sizeof request);
        ok = client.getFFGAFileRestoreInfo(info);
    }
    infoList.push_back(std::move(info));
    return ok;
}

bool CSQLRestoreBase::getFFGAFileRestoreInfo(uint64_t restoreId) {
    m_ffgRestoreInfo.fileGroups.clear();
    m_ffgRestoreInfo.archiveFiles.clear();
    std::list<std::string> files;
    for (const SqlRestoreDbInfo_t& db : m_restoreDbList) files.push_back(SplitFileGroupEntry(db.sDbName).name);
    std::string list = QuotedFileList(files);
    SQLFFGRestoreInfoReq_t request;
    request.restoreId = restoreId;
    request.fileList = list.data();
    CSQLClientDll client;
    client.getDataBuffer()->setExternalBuffer(&request, sizeof request);
    return client.getFFGAFileRestoreInfo(m_ffgRestoreInfo);
}

bool CSQLRestoreBase::CheckFileGroupEntries(const std::list<SqlRestoreDbInfo_t>& dbs, std::string& database) {
    database.clear();
    std::string problem;
    for (const SqlRestoreDbInfo_t& db : dbs) {
        const FileGroupEntry entry = SplitFileGroupEntry(db.sDbName);
        if (entry.separators == 0 || entry.name.empty()) {
            problem = "The entry [" + entry.database + "] names no file or file group to restore.";
            break;
        }
        if (database.empty()) {
            database = entry.database;
        } else if (entry.database != database) {
            problem = "The selection names more than one database ([" + database + "], [" + entry.database +
                      "]); a file or file group restore restores files of one database.";
            break;
        }
    }
    if (problem.empty() && database.empty()) problem = "No file or file group was selected.";
    if (problem.empty()) return true;
    EV_ERROR(m_logger, "File/file group restore refused: %s", problem.c_str());
    if (m_pRstJobClnt) {
        *m_pRstJobClnt << problem.c_str();
        (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseRestoreFailed);  // fails through the result
    }
    return false;
}
