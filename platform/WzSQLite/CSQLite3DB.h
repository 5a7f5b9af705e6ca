// FX::CSQLite3DB: one open SQLite 3 database file.
//
// The constructor opens the file, creating it when missing; destruction closes
// it (cursors still held keep the connection alive until they go). Every
// statement call runs exactly one statement with its values bound and throws
// CSQLite3Exception on failure; a busy database fails at once with code 5 and
// the caller decides whether to retry, unless it gave the connection a busy
// time-out.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "WzSQLite/CSQLite3Exception.h"
#include "WzSQLite/CSQLite3Query.h"
#include "WzSQLite/CSQLite3Sql.h"

struct sqlite3;

namespace FX {

// The busy time-out of a store that several processes write at once (the
// central server's host and the job processes): a writer that finds the
// store locked waits this long for the other's transaction to end.
inline constexpr std::chrono::seconds kSharedStoreBusyTimeout{30};

class CSQLite3DB {
public:
    explicit CSQLite3DB(const std::string& path);
    ~CSQLite3DB();
    CSQLite3DB(const CSQLite3DB&) = delete;
    CSQLite3DB& operator=(const CSQLite3DB&) = delete;

    // A statement that finds the database locked by another connection
    // waits up to `timeout` (real time) for the lock before it fails with
    // code 5.
    void SetBusyTimeout(std::chrono::milliseconds timeout);

    // Runs a statement; returns the number of rows it changed.
    int ExecDML(const CSQLite3Sql& statement);
    // Runs a query; the first column of its first row, or `defaultValue`
    // when there is no row or the value is NULL.
    int64_t ExecScalarInt64(const CSQLite3Sql& statement, int64_t defaultValue);
    // Prepares a query and returns its cursor, before the first row.
    std::shared_ptr<CSQLite3Query> ExecQuerySetup(const CSQLite3Sql& statement);

private:
    sqlite3_stmt* Prepare(const CSQLite3Sql& statement);

    sqlite3* m_db = nullptr;
};

}  // namespace FX
