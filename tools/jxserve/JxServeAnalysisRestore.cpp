// The stand-in's answer to the Analysis Services restore-task request
// (kSqlAnalysisRestoreTaskReq): the task's words, its databases with their details and
// backups, and its relocation entries.
#include <deque>
#include <string>
#include <vector>

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLCommon/records/SqlRestoreOptionsRecords.h"
#include "tools/jxserve/JxServeHandlers.h"
#include "tools/jxserve/JxServeRestoreStore.h"
#include "tools/jxserve/JxServeWireAFiles.h"

namespace {

// The database name of an entry: its text before the first 0x12.
std::string NameOf(const std::string& entry) { return entry.substr(0, entry.find('\x12')); }

SQLAnalysisDbDetail_t WireDetail(JxServeAnalysisDetail& d) {
    SQLAnalysisDbDetail_t w;
    w.text2 = d.texts[0].data();
    w.text3 = d.texts[1].data();
    w.text4 = d.texts[2].data();
    w.number1 = d.numbers[0];
    w.text5 = d.texts[3].data();
    w.text6 = d.texts[4].data();
    w.text7 = d.texts[5].data();
    w.text8 = d.texts[6].data();
    w.number2 = d.numbers[1];
    return w;
}

// An unknown task is answered with status 1.
bool ServeAnalysisRestoreTask(JxServeRequest& request) {
    const uint64_t taskId = request.As<SQLAnalysisRestoreTaskReq_t>().restoreTaskId;
    auto db = JxServeOpenRestoreStore();
    JxServeAnalysisTask task;
    SQLAnalysisRestoreTaskRsp_t reply;
    if (!JxServeGetAnalysisTask(*db, taskId, task)) {
        EV_ERROR(request.log, "Analysis restore task %llu is not known.", static_cast<unsigned long long>(taskId));
        reply.status = 1;
        return JxServeReply(request, kSqlAnalysisRestoreTaskRsp, reply);
    }

    // Storage the wire records point into; deques keep addresses stable.
    std::deque<std::vector<JxServeBackup>> backups;
    std::deque<std::vector<SQLAnalysisDbDetail_t>> details;
    std::deque<std::vector<SQLAnalysisBackup_t>> wireBackups;
    JxServeWireAFiles afiles;
    std::vector<SQLAnalysisDatabase_t> databases;
    for (JxServeAnalysisDatabase& database : task.databases) {
        SQLAnalysisDatabase_t w;
        w.entry = database.entry.data();
        std::vector<SQLAnalysisDbDetail_t>& d = details.emplace_back();
        for (JxServeAnalysisDetail& detail : database.details) d.push_back(WireDetail(detail));
        w.detailCount = static_cast<uint32_t>(d.size());
        w.details = d.empty() ? nullptr : d.data();
        std::vector<JxServeBackup>& b = backups.emplace_back(JxServeBackupsOf(*db, task.words[4], NameOf(database.entry), 0));
        std::vector<SQLAnalysisBackup_t>& wb = wireBackups.emplace_back();
        for (JxServeBackup& backup : b) {
            SQLAnalysisBackup_t x;
            x.word2 = backup.applicationId;
            x.word1 = backup.jobId;
            x.backupType = static_cast<unsigned char>(backup.backupType);
            x.afileCount = static_cast<uint32_t>(backup.archiveFiles.size());
            x.afiles = afiles.Of(backup.archiveFiles);
            wb.push_back(x);
        }
        w.backupCount = static_cast<uint32_t>(wb.size());
        w.backups = wb.empty() ? nullptr : wb.data();
        databases.push_back(w);
    }
    std::vector<char*> relocations;
    for (std::string& text : task.relocations) relocations.push_back(text.data());

    for (int i = 0; i < 8; ++i) reply.words[i] = task.words[i];
    reply.databaseCount = static_cast<uint32_t>(databases.size());
    reply.databases = databases.empty() ? nullptr : databases.data();
    reply.relocationCount = static_cast<uint32_t>(relocations.size());
    reply.relocations = relocations.empty() ? nullptr : relocations.data();
    if (task.standbyUndoFile) reply.standbyUndoFile = task.standbyUndoFile->data();
    reply.status = task.status;
    return JxServeReply(request, kSqlAnalysisRestoreTaskRsp, reply);
}

const JxServeRegistration kAnalysisRestore{{kSqlAnalysisRestoreTaskReq, &ServeAnalysisRestoreTask}};

}  // namespace
