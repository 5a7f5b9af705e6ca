// The options of an Analysis Services restore task from the central server:
// the databases to restore with their new names, details and backups.
#include <strings.h>

#include <cinttypes>
#include <string>

#include "JXAppMgr/Instance.h"
#include "JxSQLCommon/records/SqlAnalysisRestoreRecords.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLCommon/records/SqlRestoreOptionsRecords.h"
#include "JxSQLMessageHandler/client/AFileEntries.h"
#include "JxSQLMessageHandler/client/RestoreEntryFields.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"

namespace {

std::string TextOf(const char* text) { return text != nullptr ? text : ""; }

SqlAnalysisRestoreDbInfo_t DetailOf(const SQLAnalysisDbDetail_t& entry) {
    SqlAnalysisRestoreDbInfo_t detail;
    detail.text2 = TextOf(entry.text2);
    detail.text3 = TextOf(entry.text3);
    detail.text4 = TextOf(entry.text4);
    detail.number1 = entry.number1;
    detail.text5 = TextOf(entry.text5);
    detail.text6 = TextOf(entry.text6);
    detail.text7 = TextOf(entry.text7);
    detail.text8 = TextOf(entry.text8);
    detail.number2 = entry.number2;
    return detail;
}

}  // namespace

bool CSQLClientDll::getAnalysisRestoreTaskOptions(int restoreTaskId, SqlAnalysisRestoreTaskOptions_t& options) {
    SQLAnalysisRestoreTaskReq_t request;
    request.restoreTaskId = static_cast<uint32_t>(restoreTaskId);
    SQLAnalysisRestoreTaskRsp_t reply;
    if (!exchangeWithCentralServer(request, reply, kSqlAnalysisRestoreTaskReq, kSqlAnalysisRestoreTaskRsp))
        return false;
    if (reply.status != 0) {
        EV_ERROR(m_event, "Failed to get restore task options.");
        (void)FreeReceivedMessage(kSqlAnalysisRestoreTaskRsp);  // logged there; the request failed anyway
        return false;
    }
    for (int i = 0; i < 8; ++i) options.words[i] = reply.words[i];
    if (reply.standbyUndoFile != nullptr && reply.standbyUndoFile[0] != '\0') {
        options.standbyUndoFile = reply.standbyUndoFile;
    }
    std::string instanceName;
    if (MsSqlInstance(options.words[4]).getInstanceName(instanceName) != 0) {
        EV_ERROR(m_event, "AppManager failed to get instance name.");
        (void)FreeReceivedMessage(kSqlAnalysisRestoreTaskRsp);  // logged there; the request failed anyway
        return false;
    }

    for (uint32_t d = 0; d < reply.databaseCount && reply.databases != nullptr; ++d) {
        const SQLAnalysisDatabase_t& entry = reply.databases[d];
        SqlAnalysisDBRestoreOptions_t database;
        database.sDbName = TextOf(entry.entry);
        const std::string name = ParseDatabase(database.sDbName);
        for (uint32_t r = 0; r < reply.relocationCount && reply.relocations != nullptr; ++r) {
            std::string relocated, rest, newName, more;
            SplitRestoreEntry(TextOf(reply.relocations[r]), relocated, rest);
            if (strcasecmp(relocated.c_str(), name.c_str()) == 0 && SplitRestoreEntry(rest, newName, more)) {
                database.newDbName = newName;
            }
        }
        for (uint32_t i = 0; i < entry.detailCount && entry.details != nullptr; ++i) {
            database.details.push_back(DetailOf(entry.details[i]));
        }
        for (uint32_t b = 0; b < entry.backupCount && entry.backups != nullptr; ++b) {
            const SQLAnalysisBackup_t& backupEntry = entry.backups[b];
            SqlAnalysisAFilesPerBackup_t backup;
            backup.word2 = backupEntry.word2;
            backup.word1 = backupEntry.word1;
            backup.backupType = static_cast<uint32_t>(backupEntry.backupType);
            for (uint32_t f = 0; f < backupEntry.afileCount && backupEntry.afiles != nullptr; ++f) {
                AFileInfo_t afile = SqlAFileInfoOf(backupEntry.afiles[f]);
                EV_DEBUG(m_event, 1, "\t\t\tAFileId [%" PRIu64 "], JxcellId [%" PRIu64 "], Offset [%" PRIu64 "]",
                         afile.archiveFileId, afile.jxCellId, afile.offset);
                backup.archiveFiles.push_back(std::move(afile));
            }
            database.backups.push_back(std::move(backup));
        }
        options.databases.push_back(std::move(database));
    }
    return FreeReceivedMessage(kSqlAnalysisRestoreTaskRsp).IsSuccess();
}
