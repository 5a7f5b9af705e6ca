// User tables and active-source views of the simulated instances.
#include "JxsqlDMO/SqlSimUserTables.h"

#include "JxsqlDMO/SimSqlDb.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzFormat.h"

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS user_tables(
    database_name TEXT NOT NULL COLLATE NOCASE, schema_name TEXT NOT NULL COLLATE NOCASE,
    table_name TEXT NOT NULL COLLATE NOCASE, qualifying_rows INTEGER NOT NULL,
    PRIMARY KEY(database_name, schema_name, table_name));
CREATE TABLE IF NOT EXISTS user_views(
    database_name TEXT NOT NULL COLLATE NOCASE, schema_name TEXT NOT NULL COLLATE NOCASE,
    view_name TEXT NOT NULL COLLATE NOCASE, source_table TEXT NOT NULL, definition TEXT NOT NULL,
    PRIMARY KEY(database_name, schema_name, view_name));
)sql";

constexpr const char* kDefaultSchema = "dbo";

std::string FullName(const SqlSimObjectName& name) { return name.schema + "." + name.name; }

}  // namespace

CWzError SqlSimUserTables::ParseName(const std::string& text, SqlSimObjectName& out) {
    size_t dot = text.find('.');
    SqlSimObjectName parsed;
    if (dot == std::string::npos) {
        parsed = {kDefaultSchema, text};
    } else if (text.find('.', dot + 1) == std::string::npos) {
        parsed = {text.substr(0, dot), text.substr(dot + 1)};
    } else {
        parsed = {};
    }
    if (parsed.schema.empty() || parsed.name.empty()) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "invalid object name [%s]", text.c_str());
    }
    out = parsed;
    return CWzError::Success();
}

CWzError SqlSimUserTables::EnsureSchema() { return m_db.Exec(kSchema); }

CWzError SqlSimUserTables::AddTable(const std::string& database, const SqlSimObjectName& table, int64_t rows) {
    CWzError err = EnsureSchema();
    if (err.IsError()) return err;
    return m_db.Prepare("INSERT OR REPLACE INTO user_tables VALUES(?, ?, ?, ?)")
        .Bind(1, database)
        .Bind(2, table.schema)
        .Bind(3, table.name)
        .Bind(4, rows)
        .Run();
}

CWzError SqlSimUserTables::QualifyingRows(const std::string& database, const SqlSimObjectName& table,
                                          int64_t& rows) {
    CWzError err = EnsureSchema();
    if (err.IsError()) return err;
    SimSqlStatement q = m_db.Prepare(
        "SELECT qualifying_rows FROM user_tables WHERE database_name = ? AND schema_name = ? AND table_name = ?");
    q.Bind(1, database).Bind(2, table.schema).Bind(3, table.name);
    if (!q.Step()) {
        if (q.Error().IsError()) return q.Error();
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "Invalid object name '%s' in database [%s].",
                                         FullName(table).c_str(), database.c_str());
    }
    rows = q.Int(0);
    return CWzError::Success();
}

CWzError SqlSimUserTables::CreateView(const std::string& database, const SqlSimObjectName& view,
                                      const SqlSimObjectName& table, const std::string& definition) {
    int64_t rows = 0;
    CWzError err = QualifyingRows(database, table, rows);
    if (err.IsError()) return err;
    return m_db.Prepare("INSERT OR REPLACE INTO user_views VALUES(?, ?, ?, ?, ?)")
        .Bind(1, database)
        .Bind(2, view.schema)
        .Bind(3, view.name)
        .Bind(4, FullName(table))
        .Bind(5, definition)
        .Run();
}

CWzError SqlSimUserTables::ViewOf(const std::string& database, const SqlSimObjectName& view, std::string& table,
                                  std::string& definition) {
    CWzError err = EnsureSchema();
    if (err.IsError()) return err;
    SimSqlStatement q = m_db.Prepare(
        "SELECT source_table, definition FROM user_views WHERE database_name = ? AND schema_name = ? AND view_name = ?");
    q.Bind(1, database).Bind(2, view.schema).Bind(3, view.name);
    if (!q.Step()) {
        if (q.Error().IsError()) return q.Error();
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "Invalid object name '%s' in database [%s].",
                                         FullName(view).c_str(), database.c_str());
    }
    table = q.Text(0);
    definition = q.Text(1);
    return CWzError::Success();
}
