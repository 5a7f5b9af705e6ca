// Database options of a simulated instance, in a table of its catalogue.
#include "JxsqlDMO/SqlSimDatabaseOptions.h"

#include "JxsqlDMO/SqlSimInstance.h"

namespace {

CWzError EnsureTable(SqlSimInstance& instance) {
    return instance.Db().Exec(
        "CREATE TABLE IF NOT EXISTS database_options(database_name TEXT NOT NULL COLLATE NOCASE, "
        "option TEXT NOT NULL, value TEXT NOT NULL, PRIMARY KEY(database_name, option))");
}

}  // namespace

CWzError SqlSimSetDatabaseOption(SqlSimInstance& instance, const std::string& database, const std::string& option,
                                 const std::string& value) {
    int64_t id = 0;
    if (CWzError err = instance.DatabaseId(database, id); err.IsError()) return err;
    if (CWzError err = EnsureTable(instance); err.IsError()) return err;
    SimSqlStatement q = instance.Db().Prepare("INSERT OR REPLACE INTO database_options VALUES(?, ?, ?)");
    q.Bind(1, database).Bind(2, option).Bind(3, value);
    return q.Run();
}

CWzError SqlSimGetDatabaseOption(SqlSimInstance& instance, const std::string& database, const std::string& option,
                                 std::string& value) {
    value.clear();
    if (CWzError err = EnsureTable(instance); err.IsError()) return err;
    SimSqlStatement q = instance.Db().Prepare("SELECT value FROM database_options WHERE database_name = ? AND option = ?");
    q.Bind(1, database).Bind(2, option);
    if (q.Step()) value = q.Text(0);
    return q.Error();
}

CWzError SqlSimForgetDatabaseOptions(SqlSimInstance& instance, const std::string& database) {
    if (CWzError err = EnsureTable(instance); err.IsError()) return err;
    return instance.Db().Prepare("DELETE FROM database_options WHERE database_name = ?").Bind(1, database).Run();
}
