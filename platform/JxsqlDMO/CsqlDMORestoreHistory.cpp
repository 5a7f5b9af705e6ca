// CsqlDMO: what the instance's restore history tells about a database.
#include "JxsqlDMO/CsqlDMO.h"

#include "JxsqlDMO/SqlSimInstance.h"
#include "JxsqlDMO/SqlSimRestoreCatalog.h"
#include "WzUtils/WzFormat.h"

bool CsqlDMO::getLastDatabaseRestoreTime(const std::string& instance, const std::string& database, uint64_t,
                                         unsigned long& time) {
    if (!Connect(instance)) return false;
    // A history written before the restored-to point was kept answers with
    // the time its restores ran.
    bool hasPoint = false;
    if (CWzError e = SqlSimRestoreHistoryHasPoint(*m_instance, hasPoint); e.IsError()) {
        return Fail("getLastDatabaseRestoreTime", e.GetMessage());
    }
    SimSqlStatement q = m_instance->Db().Prepare(
        std::string("SELECT restore_date, ") + (hasPoint ? "restored_to" : "NULL") +
        " FROM restore_history WHERE destination_database = ? ORDER BY id DESC LIMIT 1");
    q.Bind(1, database);
    if (!q.Step()) {
        return Fail("getLastDatabaseRestoreTime",
                    q.Error().IsError() ? q.Error().GetMessage()
                                        : wz::Format("Database [%s] has no restore history.", database.c_str()));
    }
    const bool known = !q.IsNull(1) && q.Int(1) > 0;
    time = static_cast<unsigned long>(known ? q.Int(1) : q.Int(0));
    return true;
}
