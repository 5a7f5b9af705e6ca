// FX::CSQLite3Query: stepping a prepared statement and reading its columns.
#include "WzSQLite/CSQLite3Query.h"

#include <sqlite3.h>

#include "WzSQLite/CSQLite3Exception.h"

namespace FX {

CSQLite3Query::CSQLite3Query(sqlite3_stmt* statement) : m_statement(statement) {}

CSQLite3Query::~CSQLite3Query() { sqlite3_finalize(m_statement); }

bool CSQLite3Query::NextRow() {
    int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW) {
        m_onRow = true;
        return true;
    }
    m_onRow = false;
    if (rc == SQLITE_DONE) return false;
    throw CSQLite3Exception(rc & 0xff, sqlite3_errmsg(sqlite3_db_handle(m_statement)));
}

bool CSQLite3Query::HasValue(int column) const {
    return m_onRow && column >= 0 && column < sqlite3_column_count(m_statement) &&
           sqlite3_column_type(m_statement, column) != SQLITE_NULL;
}

std::string CSQLite3Query::GetStringField(int column, const std::string& defaultValue) const {
    if (!HasValue(column)) return defaultValue;
    const unsigned char* text = sqlite3_column_text(m_statement, column);
    int size = sqlite3_column_bytes(m_statement, column);
    return text ? std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(size)) : defaultValue;
}

int CSQLite3Query::GetIntField(int column, int defaultValue) const {
    return HasValue(column) ? sqlite3_column_int(m_statement, column) : defaultValue;
}

int64_t CSQLite3Query::GetInt64Field(int column, int64_t defaultValue) const {
    return HasValue(column) ? sqlite3_column_int64(m_statement, column) : defaultValue;
}

}  // namespace FX
