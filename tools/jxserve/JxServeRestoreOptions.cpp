// The stand-in's answers to the restore-task option requests: the XDR form
// (kSqlRestoreTaskReq) and the XML form (SQLPmn::GetSqlRestoreOptionsReq under
// kSqlXmlReqV2).
#include <vector>

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLCommon/records/SqlRestoreOptionsRecords.h"
#include "JxSQLMessageHandler/service/SqlXmlResponse.h"
#include "Messages/MessageCatalogue.h"
#include "tools/jxserve/JxServeHandlers.h"
#include "tools/jxserve/JxServeRestoreRecords.h"
#include "tools/jxserve/JxServeRestoreStore.h"
#include "tools/jxserve/JxServeXmlHandlers.h"

namespace {

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> out;
    for (std::string& text : texts) out.push_back(text.data());
    return out;
}

// An unknown task is answered with a zero-filled reply: the record has no
// error field.
bool ServeRestoreTask(JxServeRequest& request) {
    const uint64_t taskId = request.As<SQLRestoreTaskReq_t>().restoreTaskId;
    JxServeRestoreTask task;
    SQLRestoreTaskRsp_V1_t reply;
    auto db = JxServeOpenRestoreStore();
    if (!JxServeGetRestoreTask(*db, taskId, task)) {
        EV_ERROR(request.log, "Restore task %llu is not known.", static_cast<unsigned long long>(taskId));
        return JxServeReply(request, kSqlRestoreTaskRsp, reply);
    }
    JxServeRecordRestore(task, request.log);
    reply.archiveSelector = task.archiveSelector;
    reply.sourceClientId = task.sourceClientId;
    reply.destinationClientId = task.destinationClientId;
    reply.sourceInstanceId = task.sourceInstanceId;
    reply.destinationInstanceId = task.destinationInstanceId;
    reply.copyPrecedence = task.copyPrecedence;
    reply.pointInTime = task.pointInTime;
    reply.optionFlags = task.optionFlags;
    std::vector<char*> databases = Pointers(task.databases);
    std::vector<char*> relocations = Pointers(task.relocations);
    reply.databaseCount = static_cast<uint32_t>(databases.size());
    reply.databases = databases.data();
    reply.relocationCount = static_cast<uint32_t>(relocations.size());
    reply.relocations = relocations.data();
    if (task.standbyUndoFile) reply.standbyUndoFile = task.standbyUndoFile->data();
    return JxServeReply(request, kSqlRestoreTaskRsp, reply);
}

JxEntities::GenericEntity Entity(uint64_t clientId, uint64_t instanceId) {
    JxEntities::GenericEntity entity;
    entity.setint64(JxEntities::GenericEntity::kClientId, static_cast<int64_t>(clientId));
    entity.setint64(JxEntities::GenericEntity::kInstanceId, static_cast<int64_t>(instanceId));
    return entity;
}

std::string ServeRestoreOptionsXml(const std::string& requestXml, EvDebug& log) {
    SQLPmn::GetSqlRestoreOptionsReq request;
    if (int rc = request.unserialize(requestXml); rc != kMsgOk) {
        return getResponseMessage(1, "The restore options request cannot be read.");
    }
    const auto taskId = static_cast<uint64_t>(request.getint64(SQLPmn::GetSqlRestoreOptionsReq::kRestoreTaskId));
    JxServeRestoreTask task;
    auto db = JxServeOpenRestoreStore();
    if (!JxServeGetRestoreTask(*db, taskId, task)) {
        EV_ERROR(log, "Restore task %llu is not known.", static_cast<unsigned long long>(taskId));
        return getResponseMessage(1, "Restore task " + std::to_string(taskId) + " is not known.");
    }
    JxServeRecordRestore(task, log);
    using Resp = SQLPmn::GetSqlRestoreOptionsResp;
    Resp reply;
    reply.setint64(Resp::kArchiveSelector, static_cast<int64_t>(task.archiveSelector));
    reply.setObjectAccessor(Resp::kSource, Entity(task.sourceClientId, task.sourceInstanceId));
    reply.setObjectAccessor(Resp::kDestination, Entity(task.destinationClientId, task.destinationInstanceId));
    reply.setint64(Resp::kCopyPrecedence, static_cast<int64_t>(task.copyPrecedence));
    reply.setint64(Resp::kPointInTime, static_cast<int64_t>(task.pointInTime));
    reply.setint64(Resp::kOptionFlags, static_cast<int64_t>(task.optionFlags));
    if (task.standbyUndoFile) reply.setstring(Resp::kStandbyUndoFile, *task.standbyUndoFile);
    reply.setliststring(Resp::kDatabases, task.databases);
    reply.setliststring(Resp::kRelocations, task.relocations);
    reply.setint64(Resp::kDateFormatKind, static_cast<int64_t>(task.dateFormatKind));
    std::string text;
    if (reply.serialize(text) != kMsgOk) return getResponseMessage(1, "The restore options cannot be written.");
    return text;
}

const JxServeRegistration kRestoreTask{{kSqlRestoreTaskReq, &ServeRestoreTask}};
const JxServeXmlRegistration kRestoreOptionsXml{
    {messages::TagIdOf(34, 103), &ServeRestoreOptionsXml},
};

}  // namespace
