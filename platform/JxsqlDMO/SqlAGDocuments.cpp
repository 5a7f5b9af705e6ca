// Availability-group documents built from an instance's catalogue.
#include "JxsqlDMO/SqlAGDocuments.h"

#include "JxsqlDMO/SimSqlDb.h"
#include "Messages/CNMessageBase.h"
#include "WzUtils/FXErrorUtil.h"

namespace {

// Pairs and field ids of the documents (see the header).
constexpr int kAppModule = 30;
constexpr int kGroupMessage = 144;
constexpr int kGroupsMessage = 145;
constexpr int kDatabaseMessage = 692;
constexpr int kDatabasesMessage = 693;
constexpr int kReplicaMessage = 696;

constexpr int kListField = 1;
constexpr int kGroupGuid = 1;
constexpr int kGroupName = 5;
constexpr int kGroupNameMember = 2;
constexpr int kGroupBackupPreference = 6;
constexpr int kGroupLocalRole = 7;
constexpr int kGroupReplicas = 8;
constexpr int kReplicaServer = 1;
constexpr int kReplicaRole = 2;
constexpr int kReplicaMode = 3;
constexpr int kReplicaFailover = 4;
constexpr int kReplicaPriority = 5;
constexpr int kReplicaEndpoint = 6;
constexpr int kDatabaseName = 1;
constexpr int kDatabaseCreationTime = 5;
constexpr int kDatabaseId = 6;
constexpr int kDatabaseSyncState = 7;

CWzError Serialize(const CNMessageBase& message, std::string& xml) {
    int rc = message.serialize(xml);
    if (rc != kMsgOk) return FXErrorUtil::ErrorJXResult(FXCODELOC, rc, "cannot serialise availability-group document");
    return CWzError::Success();
}

CWzError GroupMessage(SimSqlDb& db, const std::string& localServer, const std::string& group, bool withReplicas,
                      CNMessageBase& out) {
    SimSqlStatement q = db.Prepare(
        "SELECT g.name, g.guid, g.backup_preference, "
        "COALESCE((SELECT role FROM ag_replicas r WHERE r.ag_name = g.name AND r.server_name = ?2), '') "
        "FROM availability_groups g WHERE g.name = ?1");
    q.Bind(1, group).Bind(2, localServer);
    if (!q.Step()) {
        if (q.Error().IsError()) return q.Error();
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "availability group [%s] does not exist",
                                         group.c_str());
    }
    out.setstring(kGroupGuid, kGroupGuid, q.Text(1));
    out.setstring(kGroupName, kGroupNameMember, q.Text(0));
    out.setstring(kGroupBackupPreference, kGroupBackupPreference, q.Text(2));
    out.setstring(kGroupLocalRole, kGroupLocalRole, q.Text(3));
    if (!withReplicas) return CWzError::Success();

    SimSqlStatement replicas = db.Prepare(
        "SELECT server_name, role, availability_mode, failover_mode, backup_priority, endpoint_url "
        "FROM ag_replicas WHERE ag_name = ? ORDER BY server_name");
    replicas.Bind(1, group);
    std::vector<CNMessageBase> list;
    while (replicas.Step()) {
        CNMessageBase replica(kAppModule, kReplicaMessage);
        replica.setstring(kReplicaServer, kReplicaServer, replicas.Text(0));
        replica.setstring(kReplicaRole, kReplicaRole, replicas.Text(1));
        replica.setstring(kReplicaMode, kReplicaMode, replicas.Text(2));
        replica.setstring(kReplicaFailover, kReplicaFailover, replicas.Text(3));
        replica.setint64(kReplicaPriority, kReplicaPriority, replicas.Int(4));
        replica.setstring(kReplicaEndpoint, kReplicaEndpoint, replicas.Text(5));
        list.push_back(replica);
    }
    if (replicas.Error().IsError()) return replicas.Error();
    out.setlistobject(kGroupReplicas, kGroupReplicas, list);
    return CWzError::Success();
}

}  // namespace

CWzError SqlAGGroupsDocument(SimSqlDb& db, const std::string& localServer, std::string& xml) {
    SimSqlStatement q = db.Prepare("SELECT name FROM availability_groups ORDER BY name");
    std::vector<CNMessageBase> groups;
    while (q.Step()) {
        CNMessageBase group(kAppModule, kGroupMessage);
        CWzError err = GroupMessage(db, localServer, q.Text(0), false, group);
        if (err.IsError()) return err;
        groups.push_back(group);
    }
    if (q.Error().IsError()) return q.Error();
    CNMessageBase document(kAppModule, kGroupsMessage);
    document.setlistobject(kListField, kListField, groups);
    return Serialize(document, xml);
}

CWzError SqlAGGroupDocument(SimSqlDb& db, const std::string& localServer, const std::string& group,
                            bool withReplicas, std::string& xml) {
    CNMessageBase document(kAppModule, kGroupMessage);
    CWzError err = GroupMessage(db, localServer, group, withReplicas, document);
    if (err.IsError()) return err;
    return Serialize(document, xml);
}

CWzError SqlAGDatabasesDocument(SimSqlDb& db, const std::string& group, std::string& xml) {
    SimSqlStatement exists = db.Prepare("SELECT 1 FROM availability_groups WHERE name = ?");
    exists.Bind(1, group);
    if (!exists.Step()) {
        if (exists.Error().IsError()) return exists.Error();
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "availability group [%s] does not exist",
                                         group.c_str());
    }
    SimSqlStatement q =
        db.Prepare("SELECT name, create_time, id, ag_sync_state FROM databases WHERE ag_name = ? ORDER BY id");
    q.Bind(1, group);
    std::vector<CNMessageBase> databases;
    while (q.Step()) {
        CNMessageBase database(kAppModule, kDatabaseMessage);
        database.setstring(kDatabaseName, kDatabaseName, q.Text(0));
        database.setint64(kDatabaseCreationTime, kDatabaseCreationTime, q.Int(1));
        database.setint64(kDatabaseId, kDatabaseId, q.Int(2));
        database.setstring(kDatabaseSyncState, kDatabaseSyncState, q.Text(3));
        databases.push_back(database);
    }
    if (q.Error().IsError()) return q.Error();
    CNMessageBase document(kAppModule, kDatabasesMessage);
    document.setlistobject(kListField, kListField, databases);
    return Serialize(document, xml);
}
