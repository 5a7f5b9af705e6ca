// CsqlDMO operations of the archiving requests: database online test, the
// rows-to-archive check and the active-source views.
#include "JxsqlDMO/CsqlDMO.h"

#include "JxsqlDMO/SqlSimInstance.h"
#include "JxsqlDMO/SqlSimUserTables.h"
#include "WzUtils/WzFormat.h"

namespace {

constexpr const char* kSourceViewPrefix = "JX_SV_";

}  // namespace

bool CsqlDMO::isDatabaseOnline(const std::string& instanceName, const std::string& databaseName) {
    if (!Connect(instanceName)) return false;
    SimSqlStatement q = m_instance->Db().Prepare("SELECT state FROM databases WHERE name = ?");
    q.Bind(1, databaseName);
    if (!q.Step()) {
        if (q.Error().IsError()) return Fail("isDatabaseOnline", q.Error().GetMessage());
        return Fail("isDatabaseOnline", wz::Format("Database [%s] does not exist.", databaseName.c_str()));
    }
    if (q.Int(0) != SQLDB_STATE_ONLINE) {
        return Fail("isDatabaseOnline", wz::Format("Database [%s] is %s.", databaseName.c_str(),
                                                   SqlDbStateText(static_cast<int>(q.Int(0))).c_str()));
    }
    return true;
}

bool CsqlDMO::CheckIfRowsToArchive(const std::string& databaseName, const std::string& condition,
                                   std::string& result) {
    if (!m_instance) return Fail("CheckIfRowsToArchive", "Not connected to an instance.");
    SqlSimObjectName table;
    CWzError err = SqlSimUserTables::ParseName(condition, table);
    int64_t rows = 0;
    if (err.IsSuccess()) err = SqlSimUserTables(m_instance->Db()).QualifyingRows(databaseName, table, rows);
    if (err.IsError()) return Fail("CheckIfRowsToArchive", err.GetMessage());
    if (rows <= 0) {
        m_lastError = "No rows qualify for archiving.";
        return false;
    }
    result = wz::Format("%lld", static_cast<long long>(rows));
    return true;
}

bool CsqlDMO::CreateSourceView(const std::string& database, const std::string& column, const std::string& cutoff,
                               const std::string& viewSchema, const std::string& tableName) {
    if (!m_instance) return Fail("CreateSourceView", "Not connected to an instance.");
    if (!isDatabaseOnline(m_instance->Name(), database)) return false;
    SqlSimObjectName table;
    CWzError err = SqlSimUserTables::ParseName(tableName, table);
    if (err.IsSuccess()) {
        SqlSimObjectName view{viewSchema.empty() ? table.schema : viewSchema, kSourceViewPrefix + table.name};
        std::string definition = wz::Format("rows of %s.%s where %s < %s", table.schema.c_str(), table.name.c_str(),
                                            column.c_str(), cutoff.c_str());
        err = SqlSimUserTables(m_instance->Db()).CreateView(database, view, table, definition);
    }
    if (err.IsError()) return Fail("CreateSourceView", err.GetMessage());
    return true;
}
