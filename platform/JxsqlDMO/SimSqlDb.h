// SimSqlDb: the small SQLite access the simulated instances need.
//
// One open database file and prepared statements whose parameters are always
// bound, never pasted into the SQL text, so any name is harmless. Failures
// come back as CWzError values carrying SQLite's code and message.
//
// A connection keeps the statements it prepared once they are finished, so
// the same SQL text is prepared once per connection. A catalogue opened with
// OpenShared uses the connection its thread already has for that file; inside
// a SimSqlReadScope such a connection answers read-only statements it ran
// before from their kept rows while the file shows no commit since.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "WzUtils/CWzError.h"

struct sqlite3;
struct sqlite3_stmt;

class SimSqlDb;
class SimSqlCachedRows;
struct SimSqlConnection;

// One prepared statement. Bind parameters by 1-based index, then Step()
// through the rows.
class SimSqlStatement {
public:
    SimSqlStatement();
    ~SimSqlStatement();
    SimSqlStatement(SimSqlStatement&& other) noexcept;
    SimSqlStatement& operator=(SimSqlStatement&& other) noexcept;
    SimSqlStatement(const SimSqlStatement&) = delete;
    SimSqlStatement& operator=(const SimSqlStatement&) = delete;

    SimSqlStatement& Bind(int index, const std::string& text);
    SimSqlStatement& Bind(int index, int64_t value);
    SimSqlStatement& BindNull(int index);

    // True while a row is available; false at the end or on failure
    // (then Error() tells which).
    bool Step();
    // Runs a statement that returns no rows.
    CWzError Run();
    const CWzError& Error() const { return m_error; }

    std::string Text(int column) const;
    int64_t Int(int column) const;
    bool IsNull(int column) const;

private:
    friend class SimSqlDb;
    explicit SimSqlStatement(std::shared_ptr<SimSqlConnection> connection);
    void Fail(int rc, const char* what);
    // Hands the statement back to its connection for the next use.
    void Release();
    // Before the first step inside a read scope: serve the rows from the
    // connection's cache, or run the statement and record its rows.
    void StartInReadScope();
    // Steps SQLite, recording the row for the cache when it records.
    bool StepSqlite();

    std::shared_ptr<SimSqlConnection> m_connection;
    sqlite3_stmt* m_stmt = nullptr;
    CWzError m_error;
    bool m_started = false;
    // Served from the cache: the rows and the 1-based current row.
    std::shared_ptr<const SimSqlCachedRows> m_cached;
    size_t m_row = 0;
    // Recording for the cache: the key (the SQL with its bindings) and rows.
    std::string m_key;
    std::unique_ptr<SimSqlCachedRows> m_recording;
};

class SimSqlDb {
public:
    SimSqlDb() = default;
    ~SimSqlDb();
    SimSqlDb(const SimSqlDb&) = delete;
    SimSqlDb& operator=(const SimSqlDb&) = delete;

    // Opens an existing file, or creates it when `create` is set, on a
    // connection of this object's own.
    CWzError Open(const std::string& path, bool create);
    // Opens an existing file on the connection this thread keeps for it
    // (at most a few files a thread), opening one when there is none or when
    // the file was replaced since.
    CWzError OpenShared(const std::string& path);
    bool IsOpen() const { return m_connection != nullptr; }
    void Close();

    // Runs statements that take no parameters (schema, transactions).
    CWzError Exec(const std::string& sql);
    // Runs `body` as one transaction: BEGIN IMMEDIATE and COMMIT when none
    // is open on the connection, a savepoint of the open one otherwise, so
    // that a call made alone and the same call made inside a larger
    // transaction both keep all or none of their changes. A failing body
    // (or commit) leaves nothing of what the body changed.
    CWzError RunInTransaction(const std::function<CWzError()>& body);
    // Prepares one statement; a failure is kept in the statement's Error()
    // and makes its Step() false and Run() fail.
    SimSqlStatement Prepare(const std::string& sql);

    int64_t LastInsertId() const;
    int Changes() const;

private:
    std::shared_ptr<SimSqlConnection> m_connection;
};

// Runs the statements of one read-only request in one read transaction: every
// catalogue opened with OpenShared that this thread uses while the scope lives
// begins a deferred transaction, committed when the outermost scope ends. SQLite then
// checks the file for another process's changes (journal, size, change
// counter) and takes its shared lock once per request instead of once per
// statement, and the request reads one consistent state. When the file shows
// no commit since the connection last read it in a scope, statements it ran
// then are answered from their kept rows and the transaction only begins at
// the first statement that must run. Meant for requests that write nothing: a
// write inside stops the use of kept rows, and meets another connection's
// write transaction with SQLITE_BUSY at once (SQLite does not wait to turn a
// read transaction into a write one).
class SimSqlReadScope {
public:
    SimSqlReadScope();
    ~SimSqlReadScope();
    SimSqlReadScope(const SimSqlReadScope&) = delete;
    SimSqlReadScope& operator=(const SimSqlReadScope&) = delete;
};
