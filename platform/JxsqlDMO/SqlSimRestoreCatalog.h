// What a restore changes in a simulated instance's catalogue: the restored
// database's rows, its state, and the restore history that msdb would keep.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/CWzError.h"

struct SqlSimRestoredFile {
    std::string logicalName;
    std::string fileGroup;  // empty for a log file
    std::string path;
    int type = 0;           // 0 data, 1 log
    uint64_t size = 0;
};

struct SqlSimRestoreHistoryRow {
    std::string database;
    char type = 'D';
    std::string backupSetId;
    uint64_t firstLsn = 0;
    uint64_t lastLsn = 0;
    std::string stopAt;
    bool replace = false;
    int state = 0;  // the database's state afterwards
    // The point the database was restored to, seconds since 1970: where the
    // restore stopped inside the set, or the end of the set; 0 when unknown.
    int64_t restoredTo = 0;
};

// Gives `name` exactly these files (creating the database, or replacing the
// rows of an existing one of that name) and clears the files an earlier file
// restore left pending, in one transaction (a part of the caller's when one
// is open); `id` receives its id. The caller
// has placed the files and checked that REPLACE allows it.
CWzError SqlSimReplaceDatabase(SqlSimInstance& instance, const std::string& name, const std::string& recoveryModel,
                               const std::vector<SqlSimRestoredFile>& files, int64_t& id);
// Adds the rows of files a log or differential restore created (data files
// added to the database after its base) to database `id`, all or none; joins
// a transaction the caller has open.
CWzError SqlSimAddRestoredFiles(SqlSimInstance& instance, int64_t id, const std::vector<SqlSimRestoredFile>& files);
CWzError SqlSimSetRestoredState(SqlSimInstance& instance, int64_t id, int state, bool readOnly);
// The name of the database that has a file at `path`, empty when none.
CWzError SqlSimFileOwner(SqlSimInstance& instance, const std::string& path, std::string& database);
// The state of a database; `exists` false when there is none of that name.
CWzError SqlSimDatabaseState(SqlSimInstance& instance, const std::string& name, bool& exists, int64_t& id,
                             int& state);
// Adds a row to the restore history (made when missing; a history written
// before the restored-to point was kept gets that column first).
CWzError SqlSimAddRestoreHistory(SqlSimInstance& instance, const SqlSimRestoreHistoryRow& row);
// Whether the restore history keeps the restored-to point (false too when
// there is no restore history yet).
CWzError SqlSimRestoreHistoryHasPoint(SqlSimInstance& instance, bool& has);
