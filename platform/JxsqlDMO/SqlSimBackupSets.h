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
// Whether log backups of `database` (of `recoveryModel`) go on from
// `lastLsn` after a restore brought it there: its model keeps a log chain
// and the newest backup the history records of it ends at that LSN. A
// restore anywhere else starts a new recovery path, which a full backup must
// begin.
CWzError SqlSimRestoreKeepsLogChain(SqlSimInstance& instance, const std::string& database,
                                    const std::string& recoveryModel, uint64_t lastLsn, bool& keeps);
