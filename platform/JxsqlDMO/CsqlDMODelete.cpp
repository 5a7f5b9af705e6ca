// CsqlDMO::DeleteDatabase: drops a user database with its files, as DROP
// DATABASE does.
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlSimDatabaseHold.h"
#include "JxsqlDMO/SqlSimDatabaseIds.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/WzFileSystem.h"
#include "WzUtils/WzFormat.h"

namespace {

constexpr int64_t kLastSystemDatabaseId = 4;

}  // namespace

bool CsqlDMO::DeleteDatabase(const std::string& instanceName, const std::string& databaseName) {
    if (!Connect(instanceName)) return false;
    // The statement holds the name from before the id is read until the
    // files are gone: a backup or restore of the database that runs refuses
    // the drop at once, and one that starts meanwhile finds it gone.
    SqlSimDatabaseHold hold;
    if (!HoldExclusively("DeleteDatabase", databaseName, SqlSimDatabaseHold::DropInUseText(databaseName), hold)) {
        return false;
    }
    int64_t id = 0;
    if (m_instance->DatabaseId(databaseName, id).IsError()) {
        return Fail("DeleteDatabase", wz::Format("Database [%s] does not exist on [%s].", databaseName.c_str(),
                                                 instanceName.c_str()));
    }
    if (id <= kLastSystemDatabaseId) {
        return Fail("DeleteDatabase",
                    wz::Format("Database [%s] is a system database and cannot be dropped.", databaseName.c_str()));
    }
    SimSqlDb& db = m_instance->Db();
    std::vector<std::string> files;
    SimSqlStatement paths = db.Prepare("SELECT physical_path FROM files WHERE database_id = ? ORDER BY id");
    paths.Bind(1, id);
    while (paths.Step()) files.push_back(paths.Text(0));
    CWzError err = paths.Error();
    if (err.IsSuccess()) err = db.Exec("BEGIN IMMEDIATE");
    if (err.IsError()) return Fail("DeleteDatabase", err.GetMessage());
    if (err = SqlSimRemoveDatabase(*m_instance, id, databaseName); err.IsError()) {
        (void)db.Exec("ROLLBACK");  // the failure before it is the one reported
        return Fail("DeleteDatabase", err.GetMessage());
    }
    if (err = db.Exec("COMMIT"); err.IsError()) {
        (void)db.Exec("ROLLBACK");  // the failure before it is the one reported
        return Fail("DeleteDatabase", err.GetMessage());
    }
    // The database is gone from the catalogue; a file that cannot be removed
    // is left behind and logged, as the server does.
    for (const std::string& file : files) {
        if (wz::RemoveTree(file) != 0 && errno != ENOENT) {
            m_log.Error("DeleteDatabase", "Failed to remove file [%s] of dropped database [%s]: %s", file.c_str(),
                        databaseName.c_str(), std::strerror(errno));
        }
    }
    return true;
}
