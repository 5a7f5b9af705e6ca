// SqlSimLog: the transaction-log state of the simulated databases.
//
// Besides the log files the catalogue already lists, the instance keeps per
// database how many bytes of its log are in use and how many transactions
// are open (table "log_usage", added beside the catalogue's own tables the
// first time it is needed). A database without a row has its whole log in
// use and no open transaction, so nothing can be shrunk until a test or the
// demo says there is free space.
//
// Shrink truncates the database's log files to the part in use (each file
// keeps at least kMinLogFileBytes) and records the new sizes; it never grows
// a file and never cuts into the used part.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/CWzError.h"

struct SqlSimLogSpace {
    std::string database;
    uint64_t sizeBytes = 0;   // all log files together
    uint64_t usedBytes = 0;   // never above sizeBytes
    int64_t openTransactions = 0;
};

class SqlSimLog {
public:
    static constexpr uint64_t kMinLogFileBytes = 8 * 1024;

    explicit SqlSimLog(SqlSimInstance& instance) : m_instance(instance) {}

    // Setup: the bytes of the log in use (at most the log's size) and the
    // number of open transactions (not negative).
    CWzError SetUsedBytes(const std::string& database, uint64_t usedBytes);
    CWzError SetOpenTransactions(const std::string& database, int64_t count);

    CWzError Space(const std::string& database, SqlSimLogSpace& space);
    // Every database of the instance, by id.
    CWzError AllSpaces(std::vector<SqlSimLogSpace>& spaces);

    // Shrinks the database's log files; `sizeBytes` receives the log's size
    // afterwards.
    CWzError Shrink(const std::string& database, uint64_t& sizeBytes);

private:
    struct LogFile {
        int64_t id;
        std::string path;
        uint64_t size;
    };
    CWzError EnsureTable();
    CWzError LogFiles(int64_t databaseId, std::vector<LogFile>& files);
    CWzError SpaceOf(int64_t databaseId, SqlSimLogSpace& space);
    CWzError SetUsage(const std::string& database, const char* column, int64_t value);

    SqlSimInstance& m_instance;
};
