// CsqlDMO: what the instance's restore history tells about a database.
#include "JxsqlDMO/CsqlDMO.h"

#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/WzFormat.h"

bool CsqlDMO::getLastDatabaseRestoreTime(const std::string& instance, const std::string& database, uint64_t,
                                         unsigned long& time) {
    if (!Connect(instance)) return false;
    SimSqlStatement q = m_instance->Db().Prepare(
        "SELECT restore_date FROM restore_history WHERE destination_database = ? ORDER BY id DESC LIMIT 1");
    q.Bind(1, database);
    if (!q.Step()) {
        return Fail("getLastDatabaseRestoreTime",
                    q.Error().IsError() ? q.Error().GetMessage()
                                        : wz::Format("Database [%s] has no restore history.", database.c_str()));
    }
    time = static_cast<unsigned long>(q.Int(0));
    return true;
}
