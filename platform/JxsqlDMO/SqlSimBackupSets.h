// SqlSimBackupSets: the instance's backup history as restores read it back:
// which recorded set a restored stream came from, and whether a set ends
// the newest backups of its database (the log chain can then go on from
// where that set ended).
#pragma once

#include <cstdint>
#include <string>

#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/CWzError.h"

struct SqlSimBackupSetRow {
    int64_t id = 0;  // order of recording
    std::string database;
    uint64_t lastLsn = 0;
    int64_t finishTime = 0;  // seconds since 1970
};

// The device the engine records a backup set of this id under.
std::string SqlSimBackupDevice(uint64_t backupSetId);

// The history row recorded with `device`; `found` false when the history
// has none (a set of another instance, or a pruned history).
CWzError SqlSimFindBackupSet(SqlSimInstance& instance, const std::string& device, SqlSimBackupSetRow& row,
                             bool& found);
// The last recorded row of `database`; `found` false when it has none.
CWzError SqlSimNewestBackupSet(SqlSimInstance& instance, const std::string& database, SqlSimBackupSetRow& row,
                               bool& found);
// Whether no backup of the row's database recorded after it reaches a
// higher last LSN.
CWzError SqlSimIsNewestBackupSet(SqlSimInstance& instance, const SqlSimBackupSetRow& row, bool& newest);

// Whether a database of this recovery model keeps a log chain.
bool SqlSimModelKeepsLogChain(const std::string& recoveryModel);
