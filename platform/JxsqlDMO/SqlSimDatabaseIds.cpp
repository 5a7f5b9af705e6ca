// Database ids of the simulated instances: taking one, and giving one up.
#include "JxsqlDMO/SqlSimDatabaseIds.h"

#include "JxsqlDMO/SqlSimChanges.h"
#include "JxsqlDMO/SqlSimDatabaseOptions.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "JxsqlDMO/SqlSimLogMarks.h"

namespace {

// Removes what the stand-in keeps about database `id` (`name`) beside the
// catalogue's own rows.
CWzError Forget(SqlSimInstance& instance, int64_t id, const std::string& name) {
    if (CWzError e = SqlSimChanges(instance).Forget(id); e.IsError()) return e;
    if (CWzError e = SqlSimDisownLogMarks(instance, id); e.IsError()) return e;
    return SqlSimForgetDatabaseOptions(instance, name);
}

}  // namespace

CWzError SqlSimNewDatabaseId(SqlSimInstance& instance, const std::string& name, int64_t lowest, int64_t& id) {
    {
        SimSqlStatement next = instance.Db().Prepare("SELECT MAX(COALESCE(MAX(id), 0) + 1, ?) FROM databases");
        next.Bind(1, lowest);
        if (!next.Step()) return next.Error();
        id = next.Int(0);
    }  // the read is finished before the writes
    return Forget(instance, id, name);
}

CWzError SqlSimRemoveDatabase(SqlSimInstance& instance, int64_t id, const std::string& name) {
    for (const char* sql : {"DELETE FROM files WHERE database_id = ?", "DELETE FROM filegroups WHERE database_id = ?",
                            "DELETE FROM databases WHERE id = ?"}) {
        if (CWzError e = instance.Db().Prepare(sql).Bind(1, id).Run(); e.IsError()) return e;
    }
    return Forget(instance, id, name);
}
