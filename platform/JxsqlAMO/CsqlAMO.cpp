// CsqlAMO over the simulated Analysis Services instances.
#include "JxsqlAMO/CsqlAMO.h"

#include <strings.h>

#include "JxsqlAMO/AmoSimInstance.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimCatalog.h"
#include "WzUtils/FXString.h"
#include "WzUtils/WzFormat.h"

CsqlAMO::CsqlAMO() : m_log("JxsqlAMO") {}

CsqlAMO::~CsqlAMO() = default;

bool CsqlAMO::Fail(const char* function, const std::string& text) {
    m_lastError = text;
    m_log.Error(function, "%s", text.c_str());
    return false;
}

std::wstring CsqlAMO::getErrorString() const { return FXString::ToWstring(m_lastError); }

bool CsqlAMO::Connect(const std::string& instance) {
    if (!m_instance || strcasecmp(m_instance->Name().c_str(), instance.c_str()) != 0) {
        auto opened = std::make_unique<AmoSimInstance>();
        CWzError err = opened->Open(instance);
        if (err.IsError()) {
            m_instance.reset();
            return Fail("Connect", wz::Format("Cannot connect to Analysis Services instance [%s] (instance id %lu): %s",
                                              instance.c_str(), m_instanceId, err.GetMessage().c_str()));
        }
        m_instance = std::move(opened);
    }
    CWzError err = SqlSimCheckRunning(m_instance->Db(), instance, "Analysis Services");
    if (err.IsError()) return Fail("Connect", err.GetMessage());
    return true;
}

bool CsqlAMO::getAnalysisServerInfo(const std::string& host, std::list<AnalysisServerInfo_t2>& servers) {
    for (const std::string& name : AmoSimInstance::ListInstances()) {
        if (!SqlSimOnHost(name, host)) continue;
        AmoSimInstance instance;
        if (instance.Open(name).IsError()) continue;
        SimSqlStatement q = instance.Db().Prepare("SELECT version, running FROM server");
        if (!q.Step()) continue;
        servers.push_back(AnalysisServerInfo_t2{name, q.Text(0), q.Int(1) != 0 ? "running" : "stopped"});
    }
    return true;
}

bool CsqlAMO::getDatabases(const std::string& instance, DatabaseInfo_11_t& info) {
    if (!Connect(instance)) return false;
    SimSqlStatement q = m_instance->Db().Prepare("SELECT name, id, create_time FROM databases ORDER BY id");
    while (q.Step()) {
        info.names.push_back(q.Text(0));
        info.ids.push_back(static_cast<uint64_t>(q.Int(1)));
        info.creationTimes.push_back(static_cast<uint64_t>(q.Int(2)));
        info.states.push_back(SQLDB_STATE_ONLINE);
    }
    if (q.Error().IsError()) return Fail("getDatabases", q.Error().GetMessage());
    return true;
}

bool CsqlAMO::verifyUser(const std::string& user, const std::string& password, const std::string& server) {
    if (!Connect(server)) return false;
    if (user.empty()) return true;
    SimSqlStatement q = m_instance->Db().Prepare("SELECT password FROM logins WHERE name = ?");
    q.Bind(1, user);
    if (!q.Step() || q.Text(0) != password) {
        return Fail("verifyUser", wz::Format("Login failed for user '%s'.", user.c_str()));
    }
    return true;
}

bool CsqlAMO::getRemotePartitionInfo(const std::wstring& database, const std::wstring& server,
                                     std::list<AnalysisRemotePartitionInfo>& partitions) {
    std::string databaseName = FXString::ToString(database);
    if (!Connect(FXString::ToString(server))) return false;
    SimSqlDb& db = m_instance->Db();
    SimSqlStatement find = db.Prepare("SELECT id FROM databases WHERE name = ?");
    find.Bind(1, databaseName);
    if (!find.Step()) {
        return Fail("getRemotePartitionInfo", wz::Format("Database [%s] does not exist.", databaseName.c_str()));
    }
    SimSqlStatement q = db.Prepare(
        "SELECT cube, measure_group, partition, remote_server FROM remote_partitions WHERE database_id = ? "
        "ORDER BY rowid");
    q.Bind(1, find.Int(0));
    while (q.Step()) partitions.push_back(AnalysisRemotePartitionInfo{q.Text(0), q.Text(1), q.Text(2), q.Text(3)});
    if (q.Error().IsError()) return Fail("getRemotePartitionInfo", q.Error().GetMessage());
    return true;
}
