// FX::CSQLite3Query: the cursor of one prepared SELECT.
//
// NextRow() steps to the next row (call it before reading the first); the
// field readers read the current row by 0-based column and give the default
// for NULL or a column out of range. A failing step throws CSQLite3Exception.
#pragma once

#include <cstdint>
#include <string>

struct sqlite3_stmt;

namespace FX {

class CSQLite3Query {
public:
    explicit CSQLite3Query(sqlite3_stmt* statement);  // takes ownership
    ~CSQLite3Query();
    CSQLite3Query(const CSQLite3Query&) = delete;
    CSQLite3Query& operator=(const CSQLite3Query&) = delete;

    bool NextRow();
    std::string GetStringField(int column, const std::string& defaultValue = "") const;
    int GetIntField(int column, int defaultValue = 0) const;
    int64_t GetInt64Field(int column, int64_t defaultValue = 0) const;

private:
    bool HasValue(int column) const;

    sqlite3_stmt* m_statement;
    bool m_onRow = false;
};

}  // namespace FX
