// CsqlDMO over the simulated instances: connection, instance list, logins,
// databases, files, state and the msdb-like backup history.
#include "JxsqlDMO/CsqlDMO.h"

#include <strings.h>

#include <vector>

#include "JxsqlDMO/SqlAGDocuments.h"
#include "JxsqlDMO/SqlSimCatalog.h"
#include "JxsqlDMO/SqlSimDatabaseHold.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/FXString.h"
#include "WzUtils/WzFormat.h"
#include "WzUtils/WzRecordMemory.h"

namespace {

struct HistoryRow {
    int64_t id = 0;
    std::string type;
    int64_t firstLsn = 0;
    int64_t lastLsn = 0;
    int64_t checkpointLsn = 0;
    int64_t databaseBackupLsn = 0;
    int64_t finishTime = 0;
    std::string device;
};

constexpr const char* kHistoryColumns =
    "SELECT id, type, first_lsn, last_lsn, checkpoint_lsn, database_backup_lsn, finish_time, device "
    "FROM backup_history ";

HistoryRow ReadHistoryRow(const SimSqlStatement& q) {
    HistoryRow row;
    row.id = q.Int(0);
    row.type = q.Text(1);
    row.firstLsn = q.Int(2);
    row.lastLsn = q.Int(3);
    row.checkpointLsn = q.Int(4);
    row.databaseBackupLsn = q.Int(5);
    row.finishTime = q.Int(6);
    row.device = q.Text(7);
    return row;
}

}  // namespace

CsqlDMO::CsqlDMO() : m_log("JxsqlDMO") {}

CsqlDMO::~CsqlDMO() = default;

bool CsqlDMO::Fail(const char* function, const std::string& text) {
    m_lastError = text;
    m_log.Error(function, "%s", text.c_str());
    return false;
}

bool CsqlDMO::HoldExclusively(const char* function, const std::string& database, const std::string& inUseText,
                              SqlSimDatabaseHold& hold) {
    std::string error;
    switch (hold.Take(m_instance->Location(), database, SqlSimDatabaseHold::Mode::kExclusive, error)) {
    case SqlSimDatabaseHold::Result::kTaken:
        return true;
    case SqlSimDatabaseHold::Result::kBusy:
        return Fail(function, inUseText);
    case SqlSimDatabaseHold::Result::kFailed:
        break;
    }
    return Fail(function, error);
}

std::wstring CsqlDMO::getErrorString() const { return FXString::ToWstring(m_lastError); }

bool CsqlDMO::Connect(const std::string& instance, bool needRunning) {
    bool justOpened = false;
    if (!m_instance || m_instance->Name().empty() || strcasecmp(m_instance->Name().c_str(), instance.c_str()) != 0) {
        auto opened = std::make_unique<SqlSimInstance>();
        CWzError err = opened->Open(instance);
        if (err.IsError()) {
            m_instance.reset();
            return Fail("Connect", wz::Format("Cannot connect to SQL Server instance [%s] (instance id %lu): %s",
                                              instance.c_str(), m_instanceId, err.GetMessage().c_str()));
        }
        m_instance = std::move(opened);
        justOpened = true;
    }
    if (!needRunning) return true;
    // Opening read the service state already; a kept instance asks again.
    CWzError err = justOpened ? (m_instance->RunningWhenOpened() ? CWzError::Success()
                                                                 : SqlSimNotRunning(instance, "SQL Server"))
                              : SqlSimCheckRunning(m_instance->Db(), instance, "SQL Server");
    if (err.IsError()) return Fail("Connect", err.GetMessage());
    return true;
}

bool CsqlDMO::initialize(const std::string& instanceName, bool) {
    if (!Connect(instanceName)) return false;
    if (m_userName.empty()) return true;
    SimSqlStatement q = m_instance->Db().Prepare("SELECT password, disabled FROM logins WHERE name = ?");
    q.Bind(1, m_userName);
    if (!q.Step() || q.Text(0) != m_password || q.Int(1) != 0) {
        return Fail("initialize", wz::Format("Login failed for user '%s'.", m_userName.c_str()));
    }
    return true;
}

bool CsqlDMO::getSQLServerInfo(const std::string& host, SQLServerInfo_t& info) {
    for (const std::string& name : SqlSimInstance::ListInstances()) {
        if (!SqlSimOnHost(name, host)) continue;
        SqlSimInstance instance;
        if (instance.Open(name).IsError()) continue;
        SimSqlStatement q = instance.Db().Prepare("SELECT version, clustered, running FROM server");
        if (!q.Step()) continue;
        info.instances.push_back(name);
        info.versions.push_back(q.Text(0));
        info.clustered.push_back(q.Int(1) != 0 ? "yes" : "no");
        info.states.push_back(q.Int(2) != 0 ? "running" : "stopped");
    }
    return true;
}

bool CsqlDMO::verifyUser(const std::string& user, const std::string& password, const std::string& instance) {
    if (!Connect(instance)) return false;
    SimSqlDb& db = m_instance->Db();
    if (user.empty()) {
        SimSqlStatement q = db.Prepare("SELECT integrated_login FROM server");
        if (q.Step() && q.Int(0) != 0) return true;
        return Fail("verifyUser", "Login failed: the agent's account is not accepted by the instance.");
    }
    SimSqlStatement q = db.Prepare("SELECT password, disabled FROM logins WHERE name = ?");
    q.Bind(1, user);
    if (!q.Step() || q.Text(0) != password) {
        return Fail("verifyUser", wz::Format("Login failed for user '%s'.", user.c_str()));
    }
    if (q.Int(1) != 0) return Fail("verifyUser", wz::Format("Login '%s' is disabled.", user.c_str()));
    SimSqlStatement role = db.Prepare("SELECT 1 FROM login_roles WHERE login = ? AND role = 'sysadmin'");
    role.Bind(1, user);
    if (!role.Step()) {
        return Fail("verifyUser", wz::Format("Login '%s' does not hold the sysadmin role.", user.c_str()));
    }
    return true;
}

bool CsqlDMO::getDatabases_11(const std::string& instance, DatabaseInfo_11_t& info) {
    SimSqlReadScope readScope;  // the service check and the list read together
    if (!Connect(instance)) return false;
    SimSqlStatement q =
        m_instance->Db().Prepare("SELECT name, id, create_time, state FROM databases WHERE name <> 'tempdb' ORDER BY id");
    while (q.Step()) {
        info.names.push_back(q.Text(0));
        info.ids.push_back(static_cast<uint64_t>(q.Int(1)));
        info.creationTimes.push_back(static_cast<uint64_t>(q.Int(2)));
        info.states.push_back(static_cast<uint64_t>(q.Int(3)));
    }
    if (q.Error().IsError()) return Fail("getDatabases_11", q.Error().GetMessage());
    return true;
}

bool CsqlDMO::getDatabases(const std::string& instance, DatabaseInfo_t& info) {
    SimSqlReadScope readScope;  // the service check and the list read together
    if (!Connect(instance)) return false;
    SimSqlStatement q =
        m_instance->Db().Prepare("SELECT name, id, create_time FROM databases WHERE name <> 'tempdb' ORDER BY id");
    while (q.Step()) {
        info.names.push_back(q.Text(0));
        info.ids.push_back(std::to_string(q.Int(1)));
        info.creationTimes.push_back(static_cast<uint64_t>(q.Int(2)));
    }
    if (q.Error().IsError()) return Fail("getDatabases", q.Error().GetMessage());
    return true;
}

bool CsqlDMO::getDatabaseContents(const std::string& instance, int number, const std::string& database,
                                  DatabaseContents_t& contents) {
    if (!Connect(instance)) return false;
    SimSqlDb& db = m_instance->Db();
    SimSqlStatement find = database.empty() ? db.Prepare("SELECT id FROM databases WHERE id = ?")
                                            : db.Prepare("SELECT id FROM databases WHERE name = ?");
    if (database.empty()) {
        find.Bind(1, int64_t{number});
    } else {
        find.Bind(1, database);
    }
    if (!find.Step()) {
        return Fail("getDatabaseContents",
                    wz::Format("Database [%s] (id %d) does not exist.", database.c_str(), number));
    }
    int64_t databaseId = find.Int(0);

    SimSqlStatement groups = db.Prepare("SELECT id, name FROM filegroups WHERE database_id = ? ORDER BY id");
    groups.Bind(1, databaseId);
    while (groups.Step()) {
        SqlFileGroup group;
        group.number = static_cast<uint64_t>(groups.Int(0));
        group.name = groups.Text(1);
        SimSqlStatement files = db.Prepare(
            "SELECT id, type, size, filegroup_id, logical_name, physical_path FROM files "
            "WHERE database_id = ? AND filegroup_id = ? ORDER BY id");
        files.Bind(1, databaseId).Bind(2, groups.Int(0));
        while (files.Step()) {
            SqlDbFile file;
            file.fileId = static_cast<uint64_t>(files.Int(0));
            file.type = static_cast<uint64_t>(files.Int(1));
            file.size = static_cast<uint64_t>(files.Int(2));
            file.fileGroupId = static_cast<uint64_t>(files.Int(3));
            file.logicalName = files.Text(4);
            file.physicalName = files.Text(5);
            group.files.push_back(std::move(file));
        }
        if (files.Error().IsError()) return Fail("getDatabaseContents", files.Error().GetMessage());
        contents.fileGroups.push_back(std::move(group));
    }
    if (groups.Error().IsError()) return Fail("getDatabaseContents", groups.Error().GetMessage());
    return true;
}

bool CsqlDMO::getDatabaseStatus(const std::string& instance, const std::string& database, int& state,
                                std::string& text) {
    if (!Connect(instance)) return false;
    SimSqlStatement q = m_instance->Db().Prepare("SELECT state FROM databases WHERE name = ?");
    q.Bind(1, database);
    if (!q.Step()) {
        if (q.Error().IsError()) return Fail("getDatabaseStatus", q.Error().GetMessage());
        return Fail("getDatabaseStatus", wz::Format("Database [%s] does not exist.", database.c_str()));
    }
    state = static_cast<int>(q.Int(0));
    text = SqlDbStateText(state);
    return true;
}

bool CsqlDMO::getStepRestoreList(const std::string& instance, const std::string& database, uint64_t pointInTime,
                                 SQLStepRestoreListRsp_t& reply) {
    auto failed = [&](const std::string& text) {
        reply.failed = 1;
        reply.errorMessage = wz::CopyText(text);
        return Fail("getStepRestoreList", text);
    };
    if (!Connect(instance)) return failed(m_lastError);
    SimSqlDb& db = m_instance->Db();
    int64_t databaseId = 0;
    CWzError err = m_instance->DatabaseId(database, databaseId);
    if (err.IsError()) return failed(err.GetMessage());

    const int64_t until = static_cast<int64_t>(pointInTime);
    const std::string common = "WHERE database_name = ?1 AND copy_only = 0 AND (?2 = 0 OR finish_time <= ?2) ";
    std::vector<HistoryRow> chain;
    SimSqlStatement full = db.Prepare(kHistoryColumns + common + "AND type = 'D' ORDER BY finish_time DESC, id DESC");
    full.Bind(1, database).Bind(2, until);
    if (full.Step()) {
        chain.push_back(ReadHistoryRow(full));
        SimSqlStatement diff = db.Prepare(kHistoryColumns + common +
                                          "AND type = 'I' AND database_backup_lsn = ?3 AND finish_time >= ?4 "
                                          "ORDER BY finish_time DESC, id DESC");
        diff.Bind(1, database).Bind(2, until).Bind(3, chain[0].checkpointLsn).Bind(4, chain[0].finishTime);
        if (diff.Step()) chain.push_back(ReadHistoryRow(diff));
        if (diff.Error().IsError()) return failed(diff.Error().GetMessage());

        // Log backups continue the chain while each starts at or before the
        // end of the previous one and reaches beyond it.
        int64_t reached = chain.back().lastLsn;
        SimSqlStatement logs =
            db.Prepare(kHistoryColumns + common + "AND type = 'L' AND last_lsn > ?3 ORDER BY first_lsn, id");
        logs.Bind(1, database).Bind(2, until).Bind(3, reached);
        while (logs.Step()) {
            HistoryRow row = ReadHistoryRow(logs);
            if (row.lastLsn <= reached) continue;
            if (row.firstLsn > reached) break;
            chain.push_back(row);
            reached = row.lastLsn;
        }
        if (logs.Error().IsError()) return failed(logs.Error().GetMessage());
    }
    if (full.Error().IsError()) return failed(full.Error().GetMessage());

    reply.entries = wz::NewRecordArray<SQLStepRestoreInfo_t>(chain.size());
    reply.count = static_cast<uint32_t>(chain.size());
    for (size_t i = 0; i < chain.size(); ++i) {
        SQLStepRestoreInfo_t& entry = reply.entries[i];
        entry.backupSetId = static_cast<uint64_t>(chain[i].id);
        entry.finishTime = static_cast<uint64_t>(chain[i].finishTime);
        entry.backupType = wz::CopyText(chain[i].type);
        entry.firstLSN = wz::CopyText(std::to_string(chain[i].firstLsn));
        entry.lastLSN = wz::CopyText(std::to_string(chain[i].lastLsn));
        entry.databaseBackupLSN = wz::CopyText(std::to_string(chain[i].databaseBackupLsn));
        entry.device = wz::CopyText(chain[i].device);
    }
    return true;
}

bool CsqlDMO::pruneMSDBEntries(const InstanceNameAndBackupSetIds& sets) {
    if (!Connect(sets.instanceName)) return false;
    SimSqlDb& db = m_instance->Db();
    CWzError err = db.Exec("BEGIN IMMEDIATE");
    for (uint64_t id : sets.backupSetIds) {
        if (err.IsError()) break;
        err = db.Prepare("DELETE FROM backup_history WHERE id = ?").Bind(1, static_cast<int64_t>(id)).Run();
    }
    if (err.IsSuccess()) err = db.Exec("COMMIT");
    if (err.IsError()) {
        // The failure that led here is the one reported; a rollback that
        // fails shows at the next BEGIN.
        (void)db.Exec("ROLLBACK");
        return Fail("pruneMSDBEntries", err.GetMessage());
    }
    return true;
}

bool CsqlDMO::GetAvailabilityGroups(const std::wstring& instance, std::string& xml) {
    xml.clear();
    if (!Connect(FXString::ToString(instance))) return false;
    CWzError err = SqlAGGroupsDocument(m_instance->Db(), m_instance->Name(), xml);
    if (err.IsError()) return Fail("GetAvailabilityGroups", err.GetMessage());
    return true;
}

bool CsqlDMO::GetAG(const std::wstring& instance, const std::string& group, std::string& xml) {
    xml.clear();
    if (!Connect(FXString::ToString(instance))) return false;
    CWzError err = SqlAGGroupDocument(m_instance->Db(), m_instance->Name(), group, false, xml);
    if (err.IsError()) return Fail("GetAG", err.GetMessage());
    return true;
}

bool CsqlDMO::GetAvailabilityDatabases(const std::wstring& instance, const std::string& group, std::string& xml) {
    xml.clear();
    if (!Connect(FXString::ToString(instance))) return false;
    CWzError err = SqlAGDatabasesDocument(m_instance->Db(), group, xml);
    if (err.IsError()) return Fail("GetAvailabilityDatabases", err.GetMessage());
    return true;
}

bool CsqlDMO::GetAvailabilityGroupReplicas(const std::wstring& instance, const std::string& group,
                                           std::string& xml) {
    xml.clear();
    if (!Connect(FXString::ToString(instance))) return false;
    CWzError err = SqlAGGroupDocument(m_instance->Db(), m_instance->Name(), group, true, xml);
    if (err.IsError()) return Fail("GetAvailabilityGroupReplicas", err.GetMessage());
    return true;
}
