// The options of a restore task from the central server, the list of
// databases to restore built from them, and the date text of a point in time.
#include <strings.h>

#include <ctime>
#include <list>
#include <optional>
#include <string>
#include <vector>

#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLCommon/records/SqlRestoreOptionsRecords.h"
#include "JxSQLCommon/records/SqlRestoreRecords.h"
#include "JxSQLMessageHandler/client/RestoreDateText.h"
#include "JxSQLMessageHandler/client/RestoreEntryFields.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/FXString.h"
#include "WzUtils/WzFormat.h"

namespace {

constexpr uint64_t kMasterId = 1;
constexpr uint64_t kModelId = 3;
constexpr uint64_t kMsdbId = 4;

// Appends the texts last to first: the central server lists them in the
// reverse of the order the restore uses.
void AppendReversed(std::vector<std::string>& out, const std::vector<std::string>& texts) {
    for (auto text = texts.rbegin(); text != texts.rend(); ++text) out.push_back(*text);
}

std::vector<std::string> TextsOf(char** texts, uint32_t count) {
    std::vector<std::string> out;
    for (uint32_t i = 0; i < count && texts != nullptr; ++i) out.emplace_back(texts[i] != nullptr ? texts[i] : "");
    return out;
}

std::string WithSingleSlashes(std::string path) {
    FXString::ReplaceAll(path, "//", "/");
    return path;
}

// Applies one relocation entry (database, new name, first field, old file,
// new file; missing from the right) to `record`, when it names `name`.
// True when it matched.
bool ApplyRelocation(const std::string& entry, const std::string& name, SqlRestoreDbInfo_t& record) {
    std::string database, rest;
    SplitRestoreEntry(entry, database, rest);
    if (strcasecmp(database.c_str(), name.c_str()) != 0) return false;
    std::string newName, afterName;
    if (!SplitRestoreEntry(rest, newName, afterName)) return true;
    record.newDbName = newName;
    std::string firstField, files;
    if (!SplitRestoreEntry(afterName, firstField, files)) return true;
    record.relocationList.push_back(firstField);
    std::string oldFile, newFile;
    if (SplitRestoreEntry(files, oldFile, newFile)) {
        record.oldFiles.push_back(WithSingleSlashes(oldFile));
        record.newFiles.push_back(WithSingleSlashes(newFile));
    } else {
        record.oldFiles.push_back(WithSingleSlashes(files));
    }
    return true;
}

}  // namespace

std::string SqlRestoreDateText(const struct tm& parts, unsigned long formatKind, bool quoted) {
    const char* q = quoted ? "'" : "";
    int year = parts.tm_year + 1900, month = parts.tm_mon + 1, day = parts.tm_mday;
    if (formatKind == 1) {
        return wz::Format("%s%02d-%02d-%04d %02d:%02d:%02d%s", q, month, day, year, parts.tm_hour, parts.tm_min,
                          parts.tm_sec, q);
    }
    if (formatKind == 2) {
        return wz::Format("%s%02d-%02d-%04d %02d:%02d:%02d%s", q, day, month, year, parts.tm_hour, parts.tm_min,
                          parts.tm_sec, q);
    }
    return wz::Format("%s%04d-%02d-%02d %02d:%02d:%02d%s", q, year, month, day, parts.tm_hour, parts.tm_min,
                      parts.tm_sec, q);
}

CWzError CSQLClientDll::GetRestoreTaskOptions(const unsigned long& taskId, SqlRestoreTaskOptions_t& options) {
    EV_DEBUG(m_event, 3, "Get task options with task [%lu].", taskId);
    SQLPmn::GetSqlRestoreOptionsReq request;
    request.setint64(SQLPmn::GetSqlRestoreOptionsReq::kRestoreTaskId, static_cast<int64_t>(taskId));
    std::string requestXml;
    if (int rc = request.serialize(requestXml); rc != kMsgOk) {
        return FXErrorUtil::ErrorJXResult(FXCODELOC, 117, "Failed to serialize the request with error [%d].", rc);
    }
    std::string replyXml;
    CWzError e = SendAndReceiveXmlViaXdrProtocol(requestXml, replyXml);
    if (e.IsSuccess()) e = CheckGenericError(replyXml);
    if (e.IsError()) return e.Push(FXCODELOC, "Getting the options of restore task %lu", taskId);

    using Resp = SQLPmn::GetSqlRestoreOptionsResp;
    Resp reply;
    if (int rc = reply.unserialize(replyXml); rc != kMsgOk) {
        return FXErrorUtil::ErrorJXResult(FXCODELOC, 118, "Failed to unserialize the request with error [%d].", rc);
    }
    JxEntities::GenericEntity source, destination;
    reply.getObject(Resp::kSource, source);
    reply.getObject(Resp::kDestination, destination);
    options.sourceClientId = static_cast<uint64_t>(source.getint64(JxEntities::GenericEntity::kClientId));
    options.destinationClientId = static_cast<uint64_t>(destination.getint64(JxEntities::GenericEntity::kClientId));
    options.archiveSelector = static_cast<uint64_t>(reply.getint64(Resp::kArchiveSelector));
    options.destinationInstanceId =
        static_cast<uint64_t>(destination.getint64(JxEntities::GenericEntity::kInstanceId));
    options.copyPrecedence = static_cast<uint64_t>(reply.getint64(Resp::kCopyPrecedence));
    options.pointInTime = static_cast<uint64_t>(reply.getint64(Resp::kPointInTime));
    options.sourceInstanceId = static_cast<uint64_t>(source.getint64(JxEntities::GenericEntity::kInstanceId));
    options.optionFlags = static_cast<uint64_t>(reply.getint64(Resp::kOptionFlags));
    if (reply.isSet(Resp::kStandbyUndoFile) && !reply.getstring(Resp::kStandbyUndoFile).empty()) {
        options.standbyUndoFile = reply.getstring(Resp::kStandbyUndoFile);
    }
    options.dateFormatKind = static_cast<uint64_t>(reply.getint64(Resp::kDateFormatKind));
    AppendReversed(options.databaseEntries, reply.getliststring(Resp::kDatabases));
    AppendReversed(options.relocationEntries, reply.getliststring(Resp::kRelocations));
    return CWzError::Success();
}

bool CSQLClientDll::getRestoreTaskOptions(int taskId, SqlRestoreTaskOptions_t& options) {
    SQLRestoreTaskReq_t request;
    request.restoreTaskId = static_cast<uint32_t>(taskId);
    options.snapDestination.instanceId = 0;
    options.snapDestination.clientId = 0;
    SQLRestoreTaskRsp_V1_t reply;
    if (!exchangeWithCentralServer(request, reply, kSqlRestoreTaskReq, kSqlRestoreTaskRsp)) return false;

    options.archiveSelector = reply.archiveSelector;
    options.sourceClientId = reply.sourceClientId;
    options.destinationClientId = reply.destinationClientId;
    options.sourceInstanceId = reply.sourceInstanceId;
    options.destinationInstanceId = reply.destinationInstanceId;
    options.copyPrecedence = reply.copyPrecedence;
    options.pointInTime = reply.pointInTime;
    options.optionFlags = reply.optionFlags;
    if (reply.standbyUndoFile != nullptr && reply.standbyUndoFile[0] != '\0') {
        options.standbyUndoFile = reply.standbyUndoFile;
    }
    AppendReversed(options.databaseEntries, TextsOf(reply.databases, reply.databaseCount));
    AppendReversed(options.relocationEntries, TextsOf(reply.relocations, reply.relocationCount));
    return FreeReceivedMessage(kSqlRestoreTaskRsp).IsSuccess();
}

bool CSQLClientDll::populateRestoreTaskOptions(std::string instanceName, SqlRestoreTaskOptions_t& options,
                                               std::list<SqlRestoreDbInfo_t>& databases, bool noInstance) {
    databases.clear();
    std::optional<SqlRestoreDbInfo_t> master, msdb, model;
    CsqlDMO dmo;
    for (const std::string& entry : options.databaseEntries) {
        SqlRestoreDbInfo_t record;
        record.sDbName = entry;
        const std::string name = ParseDatabase(entry);
        unsigned long id = 0;
        if (!noInstance) dmo.getDatabaseId(instanceName, name, id);
        bool relocated = false;
        for (const std::string& relocation : options.relocationEntries) {
            if (!ApplyRelocation(relocation, name, record)) continue;
            // The database is looked up again under the name it is restored as.
            if (!relocated && !noInstance) dmo.getDatabaseId(instanceName, record.newDbName, id);
            relocated = true;
        }
        record.databaseId = id;
        if (id == kMasterId) {
            master = std::move(record);
        } else if (id == kMsdbId) {
            msdb = std::move(record);
        } else if (id == kModelId) {
            model = std::move(record);
        } else {
            databases.push_back(std::move(record));
        }
    }
    auto front = databases.begin();
    for (std::optional<SqlRestoreDbInfo_t>* held : {&master, &msdb, &model}) {
        if (held->has_value()) databases.insert(front, std::move(**held));
    }
    return true;
}

void CSQLClientDll::ConvertTzSpecTimeToString(const unsigned long& time, const unsigned long& formatKind,
                                              const bool& quoted, std::string& out) {
    time_t t = static_cast<time_t>(time);
    struct tm parts {};
    gmtime_r(&t, &parts);
    char text[64] = {};
    asctime_r(&parts, text);
    std::string asText = text;
    if (!asText.empty() && asText.back() == '\n') asText.pop_back();
    EV_DEBUG(m_event, 3, "Local time is [%s], hour is [%d].", asText.c_str(), parts.tm_hour);
    out = SqlRestoreDateText(parts, formatKind, quoted);
    EV_DEBUG(m_event, 3, "Date string to be used for restore is [%s].", out.c_str());
}
