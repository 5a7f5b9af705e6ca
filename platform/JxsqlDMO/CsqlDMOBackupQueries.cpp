// CsqlDMO over the simulated instances: what the backup job asks of each
// database when it selects and walks the databases of a phase.
#include <strings.h>

#include <cstdlib>

#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimDatabaseOptions.h"
#include "JxsqlDMO/SqlSimInstance.h"

namespace {

bool SetFailed(bool* failed) {
    if (failed != nullptr) *failed = true;
    return false;
}

}  // namespace

bool CsqlDMO::DatabaseText(const char* function, const char* column, const std::string& database, std::string& value,
                           bool* failed) {
    if (!m_instance) {
        Fail(function, "No SQL Server instance is connected.");
        return SetFailed(failed);
    }
    SimSqlStatement q = m_instance->Db().Prepare(std::string("SELECT ") + column + " FROM databases WHERE name = ?");
    q.Bind(1, database);
    if (!q.Step()) {
        Fail(function, q.Error().IsError() ? q.Error().GetMessage() : "Database [" + database + "] does not exist.");
        return SetFailed(failed);
    }
    value = q.Text(0);
    return true;
}

bool CsqlDMO::isDatabaseExists(const std::string& database, bool* failed) {
    if (!m_instance) {
        Fail("isDatabaseExists", "No SQL Server instance is connected.");
        return SetFailed(failed);
    }
    SimSqlStatement q = m_instance->Db().Prepare("SELECT 1 FROM databases WHERE name = ?");
    q.Bind(1, database);
    if (q.Step()) return true;
    if (q.Error().IsError()) {
        Fail("isDatabaseExists", q.Error().GetMessage());
        return SetFailed(failed);
    }
    return false;
}

bool CsqlDMO::isDatabaseOffline(const std::string& instance, const std::string& database, bool* failed) {
    if (!Connect(instance)) return SetFailed(failed);
    std::string state;
    if (!DatabaseText("isDatabaseOffline", "state", database, state, failed)) return false;
    return std::atoi(state.c_str()) == SQLDB_STATE_OFFLINE;
}

bool CsqlDMO::isDatabaseInSingleUserMode(const std::string& database, bool* failed) {
    std::string access;
    if (!DatabaseText("isDatabaseInSingleUserMode", "user_access", database, access, failed)) return false;
    return strcasecmp(access.c_str(), "SINGLE_USER") == 0;
}

bool CsqlDMO::isDatabaseConfiguredForLogShipping(const std::string& instance, const std::string& database,
                                                 bool* failed) {
    if (!Connect(instance)) return SetFailed(failed);
    std::string value;
    if (CWzError err = SqlSimGetDatabaseOption(*m_instance, database, kSqlSimOptionLogShipping, value); err.IsError()) {
        Fail("isDatabaseConfiguredForLogShipping", err.GetMessage());
        return SetFailed(failed);
    }
    return value == "1";
}

bool CsqlDMO::isSharepointContentDB(const std::string& database, int& version) {
    if (!m_instance) return Fail("isSharepointContentDB", "No SQL Server instance is connected.");
    std::string value;
    if (CWzError err = SqlSimGetDatabaseOption(*m_instance, database, kSqlSimOptionSharePointVersion, value);
        err.IsError()) {
        return Fail("isSharepointContentDB", err.GetMessage());
    }
    if (value.empty()) return false;
    version = std::atoi(value.c_str());
    return true;
}

bool CsqlDMO::isDBInFullRecoveryModel(const std::string& database, bool* failed) {
    std::string model;
    if (!DatabaseText("isDBInFullRecoveryModel", "recovery_model", database, model, failed)) return false;
    return strcasecmp(model.c_str(), "FULL") == 0;
}

bool CsqlDMO::isPseudoSimpleDB(uint64_t databaseId, bool* failed) {
    if (!m_instance) {
        Fail("isPseudoSimpleDB", "No SQL Server instance is connected.");
        return SetFailed(failed);
    }
    SimSqlStatement q = m_instance->Db().Prepare(
        "SELECT d.recovery_model, (SELECT COUNT(*) FROM backup_history h WHERE h.database_name = d.name AND "
        "h.type = 'D' AND h.copy_only = 0) FROM databases d WHERE d.id = ?");
    q.Bind(1, static_cast<int64_t>(databaseId));
    if (!q.Step()) {
        Fail("isPseudoSimpleDB", q.Error().IsError() ? q.Error().GetMessage()
                                                     : "Database id [" + std::to_string(databaseId) + "] does not exist.");
        return SetFailed(failed);
    }
    return strcasecmp(q.Text(0).c_str(), "FULL") == 0 && q.Int(1) == 0;
}

bool CsqlDMO::isDatabaseInAvailableGroup(const std::string& database, std::string& group, bool* failed) {
    std::string name;
    if (!DatabaseText("isDatabaseInAvailableGroup", "COALESCE(ag_name, '')", database, name, failed)) return false;
    group = name;
    return !name.empty();
}

bool CsqlDMO::isSecondaryReplica(const std::string& instance, const std::string& group) {
    if (!Connect(instance)) return false;
    SimSqlStatement q = m_instance->Db().Prepare("SELECT role FROM ag_replicas WHERE ag_name = ? AND server_name = ?");
    q.Bind(1, group).Bind(2, m_instance->Name());
    if (!q.Step()) return false;
    return strcasecmp(q.Text(0).c_str(), "SECONDARY") == 0;
}

bool CsqlDMO::isBackupPreferredReplica(const std::string& database) {
    if (!m_instance) return Fail("isBackupPreferredReplica", "No SQL Server instance is connected.");
    SimSqlStatement q = m_instance->Db().Prepare(
        "SELECT r.server_name, r.role, g.backup_preference FROM databases d JOIN availability_groups g ON "
        "g.name = d.ag_name JOIN ag_replicas r ON r.ag_name = g.name WHERE d.name = ? AND r.backup_priority > 0 "
        "ORDER BY r.backup_priority DESC, r.server_name");
    q.Bind(1, database);
    std::string preferred, primary;
    bool anySecondary = false;
    std::string bestSecondary, best;
    std::string preference;
    while (q.Step()) {
        const std::string server = q.Text(0);
        const bool isPrimary = strcasecmp(q.Text(1).c_str(), "PRIMARY") == 0;
        preference = q.Text(2);
        if (best.empty()) best = server;
        if (isPrimary && primary.empty()) primary = server;
        if (!isPrimary && !anySecondary) {
            anySecondary = true;
            bestSecondary = server;
        }
    }
    if (q.Error().IsError()) return Fail("isBackupPreferredReplica", q.Error().GetMessage());
    if (strcasecmp(preference.c_str(), "PRIMARY") == 0) {
        preferred = primary;
    } else if (strcasecmp(preference.c_str(), "SECONDARY_ONLY") == 0) {
        preferred = bestSecondary;
    } else if (strcasecmp(preference.c_str(), "SECONDARY") == 0) {
        preferred = anySecondary ? bestSecondary : primary;
    } else {
        preferred = best;
    }
    return !preferred.empty() && strcasecmp(preferred.c_str(), m_instance->Name().c_str()) == 0;
}

bool CsqlDMO::getACLInfo(const std::string& instance, std::string& text) {
    if (!Connect(instance)) return false;
    SimSqlStatement q = m_instance->Db().Prepare(
        "SELECT l.name, COALESCE(GROUP_CONCAT(r.role, ','), '') FROM logins l LEFT JOIN login_roles r ON "
        "r.login = l.name GROUP BY l.name ORDER BY l.name");
    std::string out;
    while (q.Step()) out += q.Text(0) + ":" + q.Text(1) + "\n";
    if (q.Error().IsError()) return Fail("getACLInfo", q.Error().GetMessage());
    text = out;
    return true;
}

bool CsqlDMO::getDatabaseRBSStatus(const std::string& database, bool& enabled, std::string& blobPath) {
    if (!m_instance) return Fail("getDatabaseRBSStatus", "No SQL Server instance is connected.");
    std::string value;
    if (CWzError err = SqlSimGetDatabaseOption(*m_instance, database, kSqlSimOptionRemoteBlobStore, value);
        err.IsError()) {
        return Fail("getDatabaseRBSStatus", err.GetMessage());
    }
    enabled = !value.empty();
    blobPath = value;
    return true;
}

void CsqlDMO::releaseSqlConnection() { m_instance.reset(); }
