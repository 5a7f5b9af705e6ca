// Served requests that browse one instance: its databases, the file groups
// and files of one database, and the state of one database.
#include <strings.h>

#include <algorithm>

#include "JxSQLCommon/records/SqlDatabaseListRecords.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/ServiceRecordHelpers.h"
#include "JxSession/jxsFrame.h"
#include "JxsqlAMO/CsqlAMO.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/WzRecordMemory.h"

namespace {

constexpr const char* kDatabaseEngine = "DataBase Engine";
constexpr const char* kAnalysisServices = "Analysis Services";

struct DatabaseListRequest {
    std::string instanceName;
    std::string serverType = kDatabaseEngine;
    uint64_t instanceId = 0;
};

DatabaseListRequest ReadDatabaseListRequest(jxsDatabuf_v2* received, unsigned long code) {
    DatabaseListRequest r;
    switch (code) {
    case kSqlDatabaseListReqV2: {
        auto* q = ReceivedRecord<SQLDatabaseListReq_V2_t>(received);
        r.instanceName = TextOf(q->instanceName);
        r.instanceId = q->instanceId;
        break;
    }
    case kSqlDatabaseListReqV3: {
        auto* q = ReceivedRecord<SQLDatabaseListReq_V3_t>(received);
        r.instanceName = TextOf(q->instanceName);
        r.serverType = TextOf(q->serverType);
        r.instanceId = q->instanceId;
        break;
    }
    case kSqlDatabaseListReqV4: {
        auto* q = ReceivedRecord<SQLDatabaseListReq_V4_t>(received);
        r.instanceName = TextOf(q->instanceName);
        r.serverType = TextOf(q->serverType);
        r.instanceId = q->instanceId;
        break;
    }
    default:
        r.instanceName = TextOf(ReceivedRecord<SQLDatabaseListReq_t>(received)->instanceName);
        break;
    }
    return r;
}

}  // namespace

unsigned long CSQLClientDll::getDatabaseList() {
    DatabaseListRequest request = ReadDatabaseListRequest(m_receivedBuffer, m_requestCode);
    SQLDatabaseListRsp_11_t reply;
    m_sendBuffer.setExternalBuffer(&reply, sizeof(reply));

    DatabaseInfo_11_t info;
    if (strcasecmp(request.serverType.c_str(), kDatabaseEngine) == 0) {
        CsqlDMO dmo;
        dmo.setInstanceId(request.instanceId);
        reply.result = dmo.getDatabases_11(request.instanceName, info) ? 1 : 0;
    } else if (strcasecmp(request.serverType.c_str(), kAnalysisServices) == 0) {
        CsqlAMO amo;
        amo.setInstanceId(request.instanceId);
        reply.result = amo.getDatabases(request.instanceName, info) ? 1 : 0;
    }

    // The entries filled are those all four lists have; the count says how
    // many, so a requester never reads past them.
    size_t filled = std::min({info.names.size(), info.ids.size(), info.creationTimes.size(), info.states.size()});
    if (filled > 0) reply.result = 0;
    jxsScopedRecordFree<SQLDatabaseListRsp_11_t> freeReply(kSqlDatabaseListRsp, reply);
    reply.databases = wz::NewRecordArray<SQLDatabaseInfo_11_t>(filled);
    reply.count = static_cast<uint32_t>(filled);
    auto name = info.names.begin();
    auto id = info.ids.begin();
    auto created = info.creationTimes.begin();
    auto state = info.states.begin();
    for (size_t i = 0; i < filled; ++i) {
        reply.databases[i].name = wz::CopyText(*name++);
        reply.databases[i].value1 = *id++;
        reply.databases[i].value2 = *created++;
        reply.databases[i].value3 = *state++;
    }

    sendReply(kSqlDatabaseListRsp);
    return ReleaseReceivedRequest(m_session, m_receivedBuffer, m_requestCode) ? 1 : 0;
}

unsigned long CSQLClientDll::getDatabaseFileGroups() {
    std::string instanceName;
    std::string databaseName;
    int number = 0;
    uint64_t instanceId = 0;
    if (m_requestCode == kSqlFileGroupReqV2) {
        auto* q = ReceivedRecord<SQLDatabaseFileGroupReq_V2_t>(m_receivedBuffer);
        instanceName = TextOf(q->instanceName);
        databaseName = TextOf(q->databaseName);
        number = static_cast<int>(static_cast<int32_t>(q->databaseNumber));
        instanceId = q->instanceId;
    } else {
        auto* q = ReceivedRecord<SQLDatabaseFileGroupReq_t>(m_receivedBuffer);
        instanceName = TextOf(q->instanceName);
        databaseName = TextOf(q->databaseName);
        number = static_cast<int>(static_cast<int32_t>(q->databaseNumber));
    }
    SQLDatabaseFileGroupRsp_t reply;
    m_sendBuffer.setExternalBuffer(&reply, sizeof(reply));

    DatabaseContents_t contents;
    CsqlDMO dmo;
    dmo.setInstanceId(instanceId);
    dmo.getDatabaseContents(instanceName, number, databaseName, contents);

    jxsScopedRecordFree<SQLDatabaseFileGroupRsp_t> freeReply(kSqlFileGroupRsp, reply);
    reply.groups = wz::NewRecordArray<SqlFileGroupItem_t>(contents.fileGroups.size());
    reply.count = static_cast<uint32_t>(contents.fileGroups.size());
    SqlFileGroupItem_t* group = reply.groups;
    for (const SqlFileGroup& source : contents.fileGroups) {
        group->groupNumber = source.number;
        group->name = wz::CopyText(source.name);
        m_event.debugLvl(2, "getDatabaseFileGroups: Found File Group : %s", source.name.c_str());
        // A group without files is sent with one empty placeholder file.
        const size_t files = source.files.empty() ? 1 : source.files.size();
        group->files = wz::NewRecordArray<SqlFileItem_t>(files);
        group->fileCount = static_cast<uint32_t>(files);
        SqlFileItem_t* file = group->files;
        for (const SqlDbFile& f : source.files) {
            file->value1 = f.fileId;
            file->value2 = f.type;
            file->value3 = f.size;
            file->value4 = f.fileGroupId;
            file->logicalName = wz::CopyText(f.logicalName);
            file->physicalName = wz::CopyText(f.physicalName);
            ++file;
        }
        if (source.files.empty()) {
            file->logicalName = wz::CopyText("");
            file->physicalName = wz::CopyText("");
        }
        ++group;
    }

    sendReply(kSqlFileGroupRsp);
    return ReleaseReceivedRequest(m_session, m_receivedBuffer, m_requestCode) ? 1 : 0;
}

unsigned long CSQLClientDll::getDatabaseState() {
    std::string instanceName;
    std::string databaseName;
    uint64_t instanceId = 0;
    if (m_requestCode == kSqlDatabaseStateReqV2) {
        auto* q = ReceivedRecord<SQLDatabaseStateReq_V2_t>(m_receivedBuffer);
        instanceName = TextOf(q->instanceName);
        databaseName = TextOf(q->databaseName);
        instanceId = q->instanceId;
    } else {
        auto* q = ReceivedRecord<SQLDatabaseStateReq_t>(m_receivedBuffer);
        instanceName = TextOf(q->instanceName);
        databaseName = TextOf(q->databaseName);
    }
    SQLDatabaseStateRsp_t reply;
    m_sendBuffer.setExternalBuffer(&reply, sizeof(reply));

    CsqlDMO dmo;
    dmo.setInstanceId(instanceId);
    int state = 0;
    std::string text;
    if (dmo.getDatabaseStatus(instanceName, databaseName, state, text)) {
        reply.state = state;
        reply.stateText = text.data();
    } else {
        reply.failed = 1;
    }
    sendReply(kSqlDatabaseStateRsp);
    reply.stateText = nullptr;
    return ReleaseReceivedRequest(m_session, m_receivedBuffer, m_requestCode) ? 1 : 0;
}
