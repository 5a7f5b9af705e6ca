// The catalogue part of the demo: a simulated SQL Server instance with
// databases in several states, file groups and an availability group; the
// host serving the plug-in on loopback; and the questions the central server
// asks of a new client: its instances, their databases, each database's file
// groups and state, and the instance's availability groups.
#include "tools/demo/CatalogueDemo.h"

#include <cstdio>
#include <string>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JxSQLCommon/records/AppMessages.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxSQLCommon/records/SqlAGCatalogueRecords.h"
#include "JxSQLCommon/records/SqlDatabaseListRecords.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLCommon/records/SqlServerListRecords.h"
#include "JxSQLMessageHandler/service/sqlRecordCodecs.h"
#include "JxSession/jxsTargets.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimDescription.h"
#include "tools/host/HostBindings.h"
#include "tools/host/JxHost.h"
#include "tools/requester/JxsRequester.h"

namespace {

constexpr const char* kHost = "DEMOHOST";
constexpr const char* kInstance = "DEMOHOST/PROD";

constexpr const char* kDescription = R"(
instance DEMOHOST/PROD version=16.0.4105.2
database Sales recovery=full data=262144 log=65536
filegroup Sales ARCHIVE
file Sales ARCHIVE Sales_2019 size=131072
file Sales ARCHIVE Sales_2020 size=131072
filegroup Sales STAGING
database "Payroll'Q3]" recovery=simple
database Inventory state=restoring
database Reports state=offline readonly=yes
database Legacy state=standby
login backupsvc password=secret roles=sysadmin
ag SalesAG preference=secondary
replica SalesAG DEMOHOST/PROD role=primary
replica SalesAG DEMOHOST2/PROD role=secondary mode=asynchronous_commit
agdatabase SalesAG Sales
)";

// One request and its reply through the requester; the reply record stays
// decoded in `reply` until released.
template <typename Request, typename Reply>
bool Exchange(JxsRequester& requester, unsigned long code, Request& request, Reply& reply,
              unsigned long& replyCode) {
    jxsDatabuf_v2 out;
    out.setExternalBuffer(&request, sizeof(request));
    jxsDatabuf_v2 in;
    in.setExternalBuffer(&reply, sizeof(reply));
    CWzError err = requester.Send(code, &out);
    if (err.IsSuccess()) err = requester.Receive(replyCode, &in);
    if (err.IsError()) {
        std::printf("  request 0x%lx failed: %s\n", code, err.AsString().c_str());
        return false;
    }
    return true;
}

template <typename Reply>
void Release(unsigned long code, Reply& reply) {
    jxsDatabuf_v2 in;
    in.setExternalBuffer(&reply, sizeof(reply));
    (void)CJxNetwork::FreeReceivedMessage(code, &in);  // the reply record is the codec's own size
}

void AskServerList(JxsRequester& requester) {
    SQLServerListReq_t request;
    std::string client = kHost;
    request.clientName = client.data();
    SQLServerListRsp_VER1_t reply;
    unsigned long code = 0;
    if (!Exchange(requester, kSqlServerListReq, request, reply, code)) return;
    std::printf("\nServer list (reply 0x%lx): %u instance(s)\n", code, reply.count);
    for (uint32_t i = 0; i < reply.count; ++i) {
        std::printf("  %-20s version %-14s %s\n", reply.servers[i].instanceName, reply.servers[i].version,
                    reply.servers[i].state);
    }
    Release(code, reply);
}

void AskDatabase(JxsRequester& requester, const std::string& database) {
    std::string instance = kInstance;
    std::string name = database;
    SQLDatabaseStateReq_V2_t stateRequest;
    stateRequest.instanceName = instance.data();
    stateRequest.databaseName = name.data();
    stateRequest.instanceId = 1;
    SQLDatabaseStateRsp_t state;
    unsigned long code = 0;
    if (!Exchange(requester, kSqlDatabaseStateReqV2, stateRequest, state, code)) return;
    std::printf("\n  Database %s: state %s (code 0x%x)%s\n", database.c_str(),
                state.stateText != nullptr ? state.stateText : "?", static_cast<unsigned>(state.state),
                state.failed != 0 ? " - query failed" : "");
    Release(code, state);

    SQLDatabaseFileGroupReq_V2_t groupRequest;
    groupRequest.instanceName = instance.data();
    groupRequest.databaseName = name.data();
    groupRequest.instanceId = 1;
    SQLDatabaseFileGroupRsp_t groups;
    if (!Exchange(requester, kSqlFileGroupReqV2, groupRequest, groups, code)) return;
    for (uint32_t g = 0; g < groups.count; ++g) {
        const SqlFileGroupItem_t& group = groups.groups[g];
        std::printf("    file group %llu %s\n", static_cast<unsigned long long>(group.groupNumber), group.name);
        for (uint32_t f = 0; f < group.fileCount; ++f) {
            const SqlFileItem_t& file = group.files[f];
            if (file.logicalName[0] == '\0') {
                std::printf("      (no files)\n");
                continue;
            }
            std::printf("      file %llu %-12s %8llu bytes  %s\n", static_cast<unsigned long long>(file.value1),
                        file.logicalName, static_cast<unsigned long long>(file.value3), file.physicalName);
        }
    }
    Release(code, groups);
}

void AskDatabases(JxsRequester& requester) {
    std::string instance = kInstance;
    std::string type = "DataBase Engine";
    SQLDatabaseListReq_V3_t request;
    request.instanceName = instance.data();
    request.serverType = type.data();
    request.instanceId = 1;
    SQLDatabaseListRsp_11_t reply;
    unsigned long code = 0;
    if (!Exchange(requester, kSqlDatabaseListReqV3, request, reply, code)) return;
    std::printf("\nDatabases of %s (reply 0x%lx): %u\n", kInstance, code, reply.count);
    std::printf("  %-4s %-14s %s\n", "id", "name", "state");
    std::vector<std::string> names;
    for (uint32_t i = 0; i < reply.count; ++i) {
        const SQLDatabaseInfo_11_t& db = reply.databases[i];
        std::printf("  %-4llu %-14s %s\n", static_cast<unsigned long long>(db.value1), db.name,
                    SqlDbStateText(static_cast<int>(db.value3)).c_str());
        names.push_back(db.name);
    }
    Release(code, reply);
    for (const std::string& name : names) AskDatabase(requester, name);
}

void AskAvailabilityGroups(JxsRequester& requester) {
    JxEntities::GenericEntity entity;
    entity.setint64(JxEntities::GenericEntity::kInstanceId, 1);
    entity.setstring(JxEntities::GenericEntity::kInstanceName, kInstance);
    App::GetAvailabilityGroupsReq document;
    document.setObjectAccessor(App::GetAvailabilityGroupsReq::kInstance, entity);
    std::string text;
    document.serialize(text);
    SQLXmlTextRecord_t request;
    request.xml = text.data();
    SQLXmlTextRecord_t reply;
    unsigned long code = 0;
    if (!Exchange(requester, kSqlAvailabilityGroupsReq, request, reply, code)) return;
    App::SQLAvailabilityGroups groups;
    std::vector<App::SQLAvailabilityGroup> list;
    if (reply.xml == nullptr || groups.unserialize(reply.xml) != kMsgOk ||
        !groups.getlistobject(App::SQLAvailabilityGroups::kGroups, list)) {
        std::printf("\nAvailability groups: unreadable answer\n");
    } else {
        std::printf("\nAvailability groups of %s (reply 0x%lx): %zu\n", kInstance, code, list.size());
        for (const App::SQLAvailabilityGroup& group : list) {
            std::printf("  %s  guid %s\n", group.getstring(App::SQLAvailabilityGroup::kName).c_str(),
                        group.getstring(App::SQLAvailabilityGroup::kGuid).c_str());
        }
    }
    Release(code, reply);
}

}  // namespace

int RunCatalogueDemo(const std::string& pluginPath) {
    std::vector<std::string> created;
    CWzError err = SqlSimApplyDescription(kDescription, &created);
    if (err.IsError()) {
        std::fprintf(stderr, "cannot create the simulated instance: %s\n", err.AsString().c_str());
        return 1;
    }
    std::printf("\nSimulated SQL Server instance %s created under the platform root\n", created.front().c_str());
    // The central server knows this machine as client DEMOHOST.
    AppModel::Set(AppModel::ObjectName("client", 1), "name", kHost);

    SqlRegisterRecordCodecs();
    JxHost host;
    err = host.Start(0);
    if (err.IsError() || !jxsRegisterTarget(kHost, host.Port()) ||
        !SetHostBinding("sLNSQLClient61", "sLPSQLMSG", {pluginPath, "sqlMessageHandler"})) {
        std::fprintf(stderr, "cannot start the host: %s\n", err.AsString().c_str());
        return 1;
    }
    std::printf("Host serving the plug-in on loopback; asking as the central server would.\n");

    JxsRequester requester;
    err = requester.Attach(kHost, "sLNSQLClient61", "sLPSQLMSG");
    if (err.IsError()) {
        std::fprintf(stderr, "cannot attach to the plug-in: %s\n", err.AsString().c_str());
        host.Stop();
        return 1;
    }
    AskServerList(requester);
    AskDatabases(requester);
    AskAvailabilityGroups(requester);
    (void)requester.Disconnect();  // the demonstration is over either way
    host.Stop();
    std::printf("\nHost stopped.\n");
    return 0;
}
