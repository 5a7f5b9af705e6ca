// CSQLiteBase: the handle on one SQLite database file of the local state store.
//
// The file is <directory>/<name>.db. The object opens or creates it and runs
// statements built from table names, column lists and conditions; values go
// in as bound parameters (FX::CSQLite3Sql), so conditions and value lists are
// written with "?" marks and carry their values beside the text. A statement
// that finds the database busy is tried 60 times, 2 s apart.
//
// Every write and every scalar query goes through the virtual ExecDML, so
// that CSQLiteWithLock can run each one under the database's lock file.
// One object is used by one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "JxSQLCommon/state/SQueryHandle.h"
#include "WzSQLite/CSQLite3Sql.h"
#include "WzUtils/CWzError.h"

namespace FX {
class CSQLite3DB;
}
class EvDebug;

class CSQLiteBase {
public:
    CSQLiteBase(const std::string& directory, const std::string& name);
    virtual ~CSQLiteBase();
    CSQLiteBase(const CSQLiteBase&) = delete;
    CSQLiteBase& operator=(const CSQLiteBase&) = delete;

    // INSERT OR IGNORE of several rows, each a value list such as "?,?".
    virtual CWzError Insert(const std::string& table, const std::string& columns,
                            const std::vector<FX::CSQLite3Sql>& rows) const;
    // INSERT OR IGNORE of one row.
    virtual CWzError Insert(const std::string& table, const std::string& columns, const FX::CSQLite3Sql& values) const;
    // UPDATE ... SET setList [WHERE condition]; `changed` = rows changed.
    virtual CWzError Update(const std::string& table, const FX::CSQLite3Sql& setList, int64_t& changed,
                            const FX::CSQLite3Sql& condition) const;
    // DELETE FROM ... [WHERE condition]; `changed` = rows deleted.
    virtual CWzError Delete(const std::string& table, int64_t& changed, const FX::CSQLite3Sql& condition) const;
    virtual CWzError DropTable(const std::string& table) const;
    // True while the database object exists.
    virtual bool Connected() const;
    // Runs a statement (`result` = rows changed) or, with `scalar`, a query
    // (`result` = the first column of its first row, 0 when none).
    virtual CWzError ExecDML(const FX::CSQLite3Sql& statement, int64_t& result, bool scalar) const;

    const std::string& GetFullDatabaseName() const { return m_fullName; }
    bool Exists() const;
    const std::string& GetMachineName() const { return m_machineName; }
    void SetJobId(long long jobId) { m_jobId = jobId; }
    long long GetJobId() const { return m_jobId; }

    // Opens the file; a missing file is an error (code 2) and is not created.
    CWzError OpenDB() const;
    CWzError OpenOrCreateDB() const;
    void CloseDB() const;

    CWzError ExecScalarInt64(const FX::CSQLite3Sql& statement, long& result) const;
    // The cursor of a SELECT, before its first row; empty on any failure.
    // No busy retry and no lock of its own.
    std::unique_ptr<SQueryHandle> ExecuteQuery(const FX::CSQLite3Sql& statement) const;
    CWzError DoesSQLObjectExists(const std::string& objectName, bool& exists) const;
    // Creates the table (and then the index, when named) unless the table exists.
    CWzError CreateTable(const std::string& table, const std::string& tableSchema, const std::string& indexName,
                         const std::string& indexSchema) const;
    CWzError CreateIndex(const std::string& table, const std::string& indexName, const std::string& indexSchema) const;
    // COUNT(*) of the table [WHERE condition]; 0 on any failure.
    int64_t GetTotalRows(const std::string& table, const FX::CSQLite3Sql& condition) const;

protected:
    // The attempt loop behind ExecDML: up to 60 attempts, 2 s after each busy one.
    CWzError RunWithBusyRetry(const FX::CSQLite3Sql& statement, int64_t& result, bool scalar) const;
    // A logger that prints this object's job id.
    EvDebug Log() const;
    void SetMachineName(std::string machineName) { m_machineName = std::move(machineName); }

private:
    CWzError Open(bool create) const;

    mutable std::unique_ptr<FX::CSQLite3DB> m_db;
    std::string m_fullName;
    std::string m_name;
    std::string m_machineName;
    long long m_jobId = 0;
};
