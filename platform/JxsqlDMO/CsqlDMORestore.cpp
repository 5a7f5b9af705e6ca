// CsqlDMO operations a restore job uses around its restores: the date
// format, availability-group membership, existence and standby state of a
// database, connections, detach and the user-access modes.
#include <strings.h>

#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "JxsqlDMO/SqlSimServerInfo.h"
#include "WzUtils/WzFormat.h"

bool CsqlDMO::getDateFormat(const std::string& instanceName, unsigned long& format) {
    if (!Connect(instanceName)) return false;
    CWzError err = SqlSimServerInfo(*m_instance).DateFormat(format);
    if (err.IsError()) return Fail("getDateFormat", err.GetMessage());
    return true;
}

bool CsqlDMO::isDatabaseInAvailableGroup(const std::string& database, std::string& group, std::string& replica) {
    if (!m_instance) return Fail("isDatabaseInAvailableGroup", "Not connected to an instance.");
    SimSqlStatement q = m_instance->Db().Prepare("SELECT ag_name FROM databases WHERE name = ?");
    q.Bind(1, database);
    if (!q.Step()) {
        if (q.Error().IsError()) return Fail("isDatabaseInAvailableGroup", q.Error().GetMessage());
        return false;
    }
    if (q.IsNull(0) || q.Text(0).empty()) return false;
    group = q.Text(0);
    replica = m_instance->Name();
    return true;
}

bool CsqlDMO::isDatabaseStandby(const std::string& instanceName, const std::string& databaseName) {
    int state = 0;
    std::string text;
    if (!getDatabaseStatus(instanceName, databaseName, state, text)) return false;
    return state == SQLDB_STATE_STANDBY;
}

bool CsqlDMO::dropAllConnectionsToDb(const std::string& instanceName, const std::string& databaseName) {
    if (!Connect(instanceName)) return false;
    if (!isDatabaseExists(databaseName)) {
        return Fail("dropAllConnectionsToDb", wz::Format("Database [%s] does not exist.", databaseName.c_str()));
    }
    std::string unkillable;
    CWzError err = SqlSimServerInfo(*m_instance).Property(SqlSimServerInfo::kUnkillableConnection, "", unkillable);
    if (err.IsError()) return Fail("dropAllConnectionsToDb", err.GetMessage());
    if (!unkillable.empty() && strcasecmp(unkillable.c_str(), databaseName.c_str()) == 0) {
        return Fail("dropAllConnectionsToDb",
                    wz::Format("A connection to database [%s] cannot be killed.", databaseName.c_str()));
    }
    return true;
}

bool CsqlDMO::SetDatabaseInMultiUserMode(const std::string& instanceName, const std::string& databaseName) {
    if (!Connect(instanceName)) return false;
    SimSqlStatement q = m_instance->Db().Prepare("UPDATE databases SET user_access = 'MULTI_USER' WHERE name = ?");
    q.Bind(1, databaseName);
    CWzError err = q.Run();
    if (err.IsError()) return Fail("SetDatabaseInMultiUserMode", err.GetMessage());
    if (m_instance->Db().Changes() == 0) {
        return Fail("SetDatabaseInMultiUserMode", wz::Format("Database [%s] does not exist.", databaseName.c_str()));
    }
    return true;
}

bool CsqlDMO::isServerInSingleUserMode(const std::string& instanceName) {
    if (!Connect(instanceName, false)) return false;
    std::string mode;
    CWzError err = SqlSimServerInfo(*m_instance).Property("userMode", "multi", mode);
    if (err.IsError()) return Fail("isServerInSingleUserMode", err.GetMessage());
    return mode == "single";
}
