// What a backup job knows of one database from its job's status tab: the
// database status (JobManager::SQLDBStatus, 1 backed up), the database phase
// (the phase a converted database moves to: 1 full, 3 differential) and the
// backup phase of the row (1 full, 2 log, 3 differential).
#pragma once

#include <cstdint>

struct SQLDatabaseMiniInfo {
    int64_t status = 0;
    int64_t databasePhase = 0;
    int64_t backupPhase = 0;
};
