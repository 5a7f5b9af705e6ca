// Served catalogue requests beyond plain databases: the availability groups
// of an instance (all of them, one, a group's databases and its replicas) as
// XML documents, the databases of a SharePoint farm's SQL Server, the remote
// partitions of Analysis Services databases; and the server name an Analysis
// Services instance is reached by.
#include <algorithm>
#include <cstdlib>

#include "JxSQLCommon/records/AppMessages.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxSQLCommon/records/SqlAGCatalogueRecords.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/ServiceRecordHelpers.h"
#include "JxSession/jxsFrame.h"
#include "JxsqlAMO/CsqlAMO.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/FXString.h"
#include "WzUtils/WzRecordMemory.h"

namespace {

constexpr const char* kAnalysisServicesSuffix = "Analysis Services";

// The instance id and name of an entity nested in a request document.
struct EntityInstance {
    uint64_t id = 0;
    std::string name;
};

EntityInstance InstanceOf(const CNMessageBase& document, CNFieldId idField, CNFieldId nameField) {
    EntityInstance out;
    JxEntities::GenericEntity entity;
    if (document.getObject(idField, entity)) out.id = static_cast<uint64_t>(entity.getint64(JxEntities::GenericEntity::kInstanceId));
    if (document.getObject(nameField, entity)) out.name = entity.getstring(JxEntities::GenericEntity::kInstanceName);
    return out;
}

}  // namespace

// Decodes the request document, runs `query` on a management-layer object
// bound to the request's instance, and answers with the document it gives.
// An undecodable request is answered with an empty document, so the
// requester does not wait for its time-out.
template <typename Request, typename Query>
unsigned long CSQLClientDll::serveAGDocument(const char* unserializeFailure, unsigned long replyCode, Query query) {
    auto* record = ReceivedRecord<SQLXmlTextRecord_t>(m_receivedBuffer);
    std::string text = TextOf(record->xml);
    SQLXmlTextRecord_t reply;
    m_sendBuffer.setExternalBuffer(&reply, sizeof(reply));
    std::string answer;
    Request request;
    CWzError error;
    int rc = request.unserialize(text, &error);
    if (rc != kMsgOk) {
        // The format takes the request text and the result; some texts show
        // only the request.
        m_event.error(unserializeFailure, text.c_str(), rc);
    } else {
        CsqlDMO dmo;
        query(request, dmo, answer);
    }
    reply.xml = answer.data();
    sendReply(replyCode);
    reply.xml = nullptr;
    return ReleaseReceivedRequest(m_session, m_receivedBuffer, m_requestCode) ? 1 : 0;
}

unsigned long CSQLClientDll::GetAvailabilityGroups() {
    return serveAGDocument<App::GetAvailabilityGroupsReq>(
        "Failed to unserialize message [%s] with error [%d].", kSqlAvailabilityGroupsRsp,
        [this](const App::GetAvailabilityGroupsReq& request, CsqlDMO& dmo, std::string& xml) {
            EntityInstance instance = InstanceOf(request, App::GetAvailabilityGroupsReq::kInstance,
                                                 App::GetAvailabilityGroupsReq::kInstance);
            dmo.setInstanceId(instance.id);
            dmo.GetAvailabilityGroups(FXString::ToWstring(instance.name), xml);
            if (xml.empty()) {
                EV_ERROR(m_event, "Failed to get SQLAvailabilityGroups XML.");
                int rc = App::SQLAvailabilityGroups().serialize(xml);
                if (rc != kMsgOk) EV_ERROR(m_event, "Failed to serialize SQLAvailabilityGroups XML, Error [%d]", rc);
            }
        });
}

unsigned long CSQLClientDll::GetAG() {
    return serveAGDocument<App::GetAGReq>(
        "Failed to unserialize message [%s]", kSqlAvailabilityGroupRsp,
        [](const App::GetAGReq& request, CsqlDMO& dmo, std::string& xml) {
            EntityInstance instance = InstanceOf(request, App::GetAGReq::kInstance, App::GetAGReq::kInstance);
            dmo.setInstanceId(instance.id);
            dmo.GetAG(FXString::ToWstring(instance.name), request.getstring(App::GetAGReq::kGroupName), xml);
        });
}

unsigned long CSQLClientDll::GetAvailabilityDatabases() {
    return serveAGDocument<App::GetAvailabilityDatabasesReq>(
        "Failed to unserialize message [%s] with error code [%d].", kSqlAvailabilityDatabasesRsp,
        [](const App::GetAvailabilityDatabasesReq& request, CsqlDMO& dmo, std::string& xml) {
            EntityInstance instance = InstanceOf(request, App::GetAvailabilityDatabasesReq::kInstance,
                                                 App::GetAvailabilityDatabasesReq::kInstanceName);
            dmo.setInstanceId(instance.id);
            dmo.GetAvailabilityDatabases(FXString::ToWstring(instance.name),
                                         request.getstring(App::GetAvailabilityDatabasesReq::kGroupName), xml);
        });
}

unsigned long CSQLClientDll::GetAvailabilityGroupReplicas() {
    return serveAGDocument<App::GetAvailabilityGroupReplicasReq>(
        "Failed to unserialize message [%s]", kSqlAvailabilityReplicasRsp,
        [](const App::GetAvailabilityGroupReplicasReq& request, CsqlDMO& dmo, std::string& xml) {
            EntityInstance instance = InstanceOf(request, App::GetAvailabilityGroupReplicasReq::kInstance,
                                                 App::GetAvailabilityGroupReplicasReq::kInstance);
            dmo.setInstanceId(instance.id);
            dmo.GetAvailabilityGroupReplicas(FXString::ToWstring(instance.name),
                                             request.getstring(App::GetAvailabilityGroupReplicasReq::kGroupName),
                                             xml);
        });
}

unsigned long CSQLClientDll::getSQLSPDatabaselist() {
    auto* request = ReceivedRecord<SQLGetSPDatabaseListReq_t>(m_receivedBuffer);
    SQLGetSPDatabaseListRSP_t reply;
    m_sendBuffer.setExternalBuffer(&reply, sizeof(reply));
    std::string instanceName = TextOf(request->instanceName);
    CsqlDMO dmo;
    dmo.setUserName(TextOf(request->userName));
    dmo.setPassword(TextOf(request->password));
    DatabaseInfo_t info;
    // A failed connection is answered with an empty list rather than left
    // unanswered.
    if (dmo.initialize(instanceName, false)) dmo.getDatabases(instanceName, info);

    size_t filled = std::min({info.names.size(), info.ids.size(), info.creationTimes.size()});
    jxsScopedRecordFree<SQLGetSPDatabaseListRSP_t> freeReply(kSqlSharePointDatabasesRsp, reply);
    reply.databases = wz::NewRecordArray<SPDataBaseInfo_t>(filled);
    reply.count = static_cast<uint32_t>(filled);
    auto name = info.names.begin();
    auto id = info.ids.begin();
    auto created = info.creationTimes.begin();
    for (size_t i = 0; i < filled; ++i) {
        reply.databases[i].name = wz::CopyText(*name++);
        reply.databases[i].databaseId = std::atoi((id++)->c_str());
        reply.databases[i].creationTime = *created++;
    }
    sendReply(kSqlSharePointDatabasesRsp);
    return ReleaseReceivedRequest(m_session, m_receivedBuffer, kSqlSharePointDatabasesReq) ? 1 : 0;
}

unsigned long CSQLClientDll::getSqlAnalysisRemotePartitionInfo() {
    auto* request = ReceivedRecord<SQLAnalysisGetRemotePartitionInfoReq_t>(m_receivedBuffer);
    SQLAnalysisGetRemotePartitionInfoRsp_t reply;
    m_sendBuffer.setExternalBuffer(&reply, sizeof(reply));
    uint32_t requested = request->entries != nullptr ? request->count : 0;
    jxsScopedRecordFree<SQLAnalysisGetRemotePartitionInfoRsp_t> freeReply(kSqlRemotePartitionRsp, reply);
    reply.databases = wz::NewRecordArray<AnalysisRemotePartitionInfo_t>(requested);

    CsqlAMO amo;
    for (uint32_t i = 0; i < requested; ++i) {
        const AnalysisRemotePartitionReqEntry_t& entry = request->entries[i];
        std::list<AnalysisRemotePartitionInfo> partitions;
        if (!amo.getRemotePartitionInfo(FXString::ToWstring(TextOf(entry.databaseName)), FXString::ToWstring(TextOf(entry.serverName)),
                                        partitions)) {
            // The entries answered so far go out with the failure flag.
            reply.failed = 1;
            break;
        }
        // Counted before it is filled, so the free pass reaches what is built.
        reply.count = i + 1;
        AnalysisRemotePartitionInfo_t& out = reply.databases[i];
        out.databaseName = wz::CopyText(TextOf(entry.databaseName));
        out.partitions = wz::NewRecordArray<AnalysisRemotePartitionInfoPerDb_t>(partitions.size());
        out.count = static_cast<uint32_t>(partitions.size());
        AnalysisRemotePartitionInfoPerDb_t* p = out.partitions;
        for (const AnalysisRemotePartitionInfo& partition : partitions) {
            p->cube = wz::CopyText(partition.cube);
            p->measureGroup = wz::CopyText(partition.measureGroup);
            p->partition = wz::CopyText(partition.partition);
            p->remoteServer = wz::CopyText(partition.remoteServer);
            ++p;
        }
    }
    sendReply(kSqlRemotePartitionRsp);
    if (!ReleaseReceivedRequest(m_session, m_receivedBuffer, kSqlRemotePartitionReq)) return 0;
    return reply.failed == 0 ? 1 : 0;
}

std::string CSQLClientDll::parseInstanceName(const std::string& name) {
    size_t position = name.find(kAnalysisServicesSuffix);
    if (position == std::string::npos || position == 0) return name;
    return name.substr(0, position - 1);
}

std::string CSQLClientDll::parseInstanceName(const char* name) { return parseInstanceName(TextOf(name)); }
