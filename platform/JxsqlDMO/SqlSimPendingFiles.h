// The files of a simulated database that a FILE or FILEGROUP restore wrote
// back and that the log has not yet brought level with the rest of the
// database: their logical names and the LSN they have reached. While any are
// pending the database stays RESTORING and cannot be recovered.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "WzUtils/CWzError.h"

class SqlSimInstance;

struct SqlSimPendingFiles {
    std::set<std::string> logicalNames;  // empty: nothing pending
    uint64_t lsn = 0;                    // last log record applied to them
};

CWzError SqlSimGetPendingFiles(SqlSimInstance& instance, const std::string& database, SqlSimPendingFiles& pending);
// Records `pending`; an empty set clears what was recorded.
CWzError SqlSimSetPendingFiles(SqlSimInstance& instance, const std::string& database,
                               const SqlSimPendingFiles& pending);
