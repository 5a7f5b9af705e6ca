// CsqlDMO over the simulated instances: what the backup job's conversion
// rules ask of SQL Server (backup history, creation time, file and catalog
// changes) and what file/filegroup and multi-threaded backups ask of the
// database's files and sizes.
#include <cstdlib>
#include <string>
#include <vector>

#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlSimDatabaseOptions.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/FXString.h"

namespace {

// The VDI engine names its backup devices with this prefix.
constexpr const char* kOwnDevicePrefix = "JxSQLVDI_";

bool IsOwnDevice(const std::string& device) { return device.rfind(kOwnDevicePrefix, 0) == 0; }

}  // namespace

bool CsqlDMO::IsthePreviousBackupTypedoneusingOrvane(const char* database, int letter, unsigned long value,
                                                     int copyOnly) {
    (void)value;  // the central server's value; the history row answers alone
    if (!m_instance) return Fail("IsthePreviousBackupTypedoneusingOrvane", "No SQL Server instance is connected.");
    if (database == nullptr) return false;
    SimSqlStatement q = m_instance->Db().Prepare(
        "SELECT device FROM backup_history WHERE database_name = ? AND type = ? AND (copy_only = 0 OR ? != 0) "
        "ORDER BY finish_time DESC, id DESC LIMIT 1");
    q.Bind(1, std::string(database)).Bind(2, std::string(1, static_cast<char>(letter))).Bind(3, int64_t{copyOnly});
    if (!q.Step()) {
        if (q.Error().IsError()) Fail("IsthePreviousBackupTypedoneusingOrvane", q.Error().GetMessage());
        return false;
    }
    return IsOwnDevice(q.Text(0));
}

bool CsqlDMO::isFullTextCatalogAdded(const wchar_t* database, unsigned long time) {
    if (!m_instance) return Fail("isFullTextCatalogAdded", "No SQL Server instance is connected.");
    if (database == nullptr) return false;
    std::string value;
    if (CWzError err = SqlSimGetDatabaseOption(*m_instance, FXString::ToString(std::wstring(database)),
                                               kSqlSimOptionFullTextCatalogAdded, value);
        err.IsError()) {
        return Fail("isFullTextCatalogAdded", err.GetMessage());
    }
    return !value.empty() && std::strtoull(value.c_str(), nullptr, 10) > time;
}

bool CsqlDMO::isLogBackupTakenOutside(const char* database, unsigned long instanceId) {
    (void)instanceId;  // one instance per catalogue here
    if (!m_instance) return Fail("isLogBackupTakenOutside", "No SQL Server instance is connected.");
    if (database == nullptr) return false;
    SimSqlStatement q = m_instance->Db().Prepare(
        "SELECT device FROM backup_history WHERE database_name = ? AND type = 'L' AND copy_only = 0 "
        "ORDER BY finish_time DESC, id DESC LIMIT 1");
    q.Bind(1, std::string(database));
    if (!q.Step()) {
        if (q.Error().IsError()) Fail("isLogBackupTakenOutside", q.Error().GetMessage());
        return false;
    }
    return !IsOwnDevice(q.Text(0));
}

bool CsqlDMO::isDatabaseCreatedAfter(const char* database, unsigned long time) {
    if (database == nullptr) return false;
    std::string created;
    if (!DatabaseText("isDatabaseCreatedAfter", "create_time", database, created, nullptr)) return false;
    return std::strtoull(created.c_str(), nullptr, 10) > time;
}

bool CsqlDMO::isFileOrFileGroupChangedAfter(const char* database, unsigned long time) {
    if (!m_instance) return Fail("isFileOrFileGroupChangedAfter", "No SQL Server instance is connected.");
    if (database == nullptr) return false;
    std::string value;
    if (CWzError err = SqlSimGetDatabaseOption(*m_instance, database, kSqlSimOptionFilesChanged, value);
        err.IsError()) {
        return Fail("isFileOrFileGroupChangedAfter", err.GetMessage());
    }
    return !value.empty() && std::strtoull(value.c_str(), nullptr, 10) > time;
}

bool CsqlDMO::isFileorFileGroupsExists(const std::string& database, const std::string& fileGroup,
                                       const std::string& file) {
    if (!m_instance) return Fail("isFileorFileGroupsExists", "No SQL Server instance is connected.");
    SimSqlStatement q = m_instance->Db().Prepare(
        file.empty() ? "SELECT 1 FROM filegroups g JOIN databases d ON d.id = g.database_id "
                       "WHERE d.name = ? AND g.name = ?"
                     : "SELECT 1 FROM files f JOIN filegroups g ON g.database_id = f.database_id AND "
                       "g.id = f.filegroup_id JOIN databases d ON d.id = f.database_id "
                       "WHERE d.name = ? AND g.name = ? AND f.logical_name = ?");
    q.Bind(1, database).Bind(2, fileGroup);
    if (!file.empty()) q.Bind(3, file);
    if (q.Step()) return true;
    if (q.Error().IsError()) Fail("isFileorFileGroupsExists", q.Error().GetMessage());
    return false;
}

bool CsqlDMO::getDatabaseSizes(const std::vector<std::string>& databases, std::string& xml) {
    if (!m_instance) return Fail("getDatabaseSizes", "No SQL Server instance is connected.");
    std::vector<uint64_t> sizes;
    sizes.reserve(databases.size());
    for (const std::string& name : databases) {
        SimSqlStatement q = m_instance->Db().Prepare(
            "SELECT d.id, COALESCE(SUM(f.size), 0) FROM databases d LEFT JOIN files f ON f.database_id = d.id "
            "WHERE d.name = ? GROUP BY d.id");
        q.Bind(1, name);
        if (!q.Step()) {
            return Fail("getDatabaseSizes", q.Error().IsError() ? q.Error().GetMessage()
                                                                : "Database [" + name + "] does not exist.");
        }
        sizes.push_back(static_cast<uint64_t>(q.Int(1)));
    }
    SQLPmn::SQLDatabaseSizesResp reply;
    reply.setlistulong(SQLPmn::SQLDatabaseSizesResp::kSizes, sizes);
    if (reply.serialize(xml) != 0) return Fail("getDatabaseSizes", "Failed to serialize the database sizes.");
    return true;
}
