// DumpRestoreSettings: the dump-restore state of one restore job.
#pragma once

#include <string>

#include "JxSQLCommon/dump/DbInfo.h"

struct DumpRestoreSettings {
    DB_LSNS databases;   // one entry per database to restore
    std::string jobID;   // the job id as decimal text
};
