// Availability-group documents built from an instance's catalogue.
#include "JxsqlDMO/SqlAGDocuments.h"

#include "JxsqlDMO/SimSqlDb.h"
#include "JxSQLCommon/records/AppMessages.h"
#include "WzUtils/FXErrorUtil.h"

namespace {

// Fields the message classes do not name: written by this layer only.
constexpr CNFieldId kGroupBackupPreference{6, 6};
constexpr CNFieldId kGroupLocalRole{7, 7};
constexpr CNFieldId kGroupReplicas{8, 8};
constexpr CNFieldId kDatabaseSyncState{7, 7};

// One replica of a group (its pair is not catalogued).
constexpr int kReplicaModule = 30;
constexpr int kReplicaMessage = 696;
constexpr CNFieldId kReplicaServer{1, 1};
constexpr CNFieldId kReplicaRole{2, 2};
constexpr CNFieldId kReplicaMode{3, 3};
constexpr CNFieldId kReplicaFailover{4, 4};
constexpr CNFieldId kReplicaPriority{5, 5};
constexpr CNFieldId kReplicaEndpoint{6, 6};

CWzError Serialize(const CNMessageBase& message, std::string& xml) {
    int rc = message.serialize(xml);
    if (rc != kMsgOk) return FXErrorUtil::ErrorJXResult(FXCODELOC, rc, "cannot serialise availability-group document");
    return CWzError::Success();
}

CWzError GroupMessage(SimSqlDb& db, const std::string& localServer, const std::string& group, bool withReplicas,
                      App::SQLAvailabilityGroup& out) {
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
    out.setstring(App::SQLAvailabilityGroup::kGuid, q.Text(1));
    out.setstring(App::SQLAvailabilityGroup::kName, q.Text(0));
    out.setstring(kGroupBackupPreference, q.Text(2));
    out.setstring(kGroupLocalRole, q.Text(3));
    if (!withReplicas) return CWzError::Success();

    SimSqlStatement replicas = db.Prepare(
        "SELECT server_name, role, availability_mode, failover_mode, backup_priority, endpoint_url "
        "FROM ag_replicas WHERE ag_name = ? ORDER BY server_name");
    replicas.Bind(1, group);
    std::vector<CNMessageBase> list;
    while (replicas.Step()) {
        CNMessageBase replica(kReplicaModule, kReplicaMessage);
        replica.setstring(kReplicaServer, replicas.Text(0));
        replica.setstring(kReplicaRole, replicas.Text(1));
        replica.setstring(kReplicaMode, replicas.Text(2));
        replica.setstring(kReplicaFailover, replicas.Text(3));
        replica.setint64(kReplicaPriority, replicas.Int(4));
        replica.setstring(kReplicaEndpoint, replicas.Text(5));
        list.push_back(replica);
    }
    if (replicas.Error().IsError()) return replicas.Error();
    out.setlistobject(kGroupReplicas, list);
    return CWzError::Success();
}

}  // namespace

CWzError SqlAGGroupsDocument(SimSqlDb& db, const std::string& localServer, std::string& xml) {
    SimSqlStatement q = db.Prepare("SELECT name FROM availability_groups ORDER BY name");
    std::vector<App::SQLAvailabilityGroup> groups;
    while (q.Step()) {
        App::SQLAvailabilityGroup group;
        CWzError err = GroupMessage(db, localServer, q.Text(0), false, group);
        if (err.IsError()) return err;
        groups.push_back(group);
    }
    if (q.Error().IsError()) return q.Error();
    App::SQLAvailabilityGroups document;
    document.setlistobject(App::SQLAvailabilityGroups::kGroups, groups);
    return Serialize(document, xml);
}

CWzError SqlAGGroupDocument(SimSqlDb& db, const std::string& localServer, const std::string& group,
                            bool withReplicas, std::string& xml) {
    App::SQLAvailabilityGroup document;
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
    std::vector<App::SQLAvailabilityDatabase> databases;
    while (q.Step()) {
        App::SQLAvailabilityDatabase database;
        database.setstring(App::SQLAvailabilityDatabase::kName, q.Text(0));
        database.setint64(App::SQLAvailabilityDatabase::kCreationTime, q.Int(1));
        database.setint64(App::SQLAvailabilityDatabase::kDatabaseId, q.Int(2));
        database.setstring(kDatabaseSyncState, q.Text(3));
        databases.push_back(database);
    }
    if (q.Error().IsError()) return q.Error();
    App::SQLAvailabilityDatabases document;
    document.setlistobject(App::SQLAvailabilityDatabases::kDatabases, databases);
    return Serialize(document, xml);
}
