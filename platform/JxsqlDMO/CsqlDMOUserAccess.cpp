// CsqlDMO: whether a database is in SINGLE_USER access.
#include "JxsqlDMO/CsqlDMO.h"

#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/WzFormat.h"

bool CsqlDMO::isDatabaseInSingleUserMode(const std::string& instance, const std::string& database,
                                         bool& singleUser) {
    if (!Connect(instance)) return false;
    SimSqlStatement q = m_instance->Db().Prepare("SELECT user_access FROM databases WHERE name = ?");
    q.Bind(1, database);
    if (!q.Step()) {
        return Fail("isDatabaseInSingleUserMode",
                    q.Error().IsError() ? q.Error().GetMessage()
                                        : wz::Format("Database [%s] does not exist.", database.c_str()));
    }
    singleUser = q.Text(0) == "SINGLE_USER";
    return true;
}
