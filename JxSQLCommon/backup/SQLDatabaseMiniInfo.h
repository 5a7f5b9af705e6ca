// What a backup job knows of one database from its job's status tab: the
// database status (1 backed up, see JobManager::SQLDBStatus), the backup
// value of the row and the database phase.
#pragma once

#include <cstdint>

struct SQLDatabaseMiniInfo {
    int64_t status = 0;
    int64_t value = 0;
    int64_t phase = 0;
};
