// DumpRestoreSettings: the dump-restore state of one restore job.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "JxSQLCommon/dump/DbInfo.h"

struct DumpRestoreSettings {
    std::set<uint64_t> AppIDs;   // application ids to mount; after mounting, those mounted
    DB_LSNS databases;           // one entry per database to restore, by source name
    std::string jobID;           // the job id as decimal text
    std::string mountRoot;       // <job-results directory>/dump
    // Application ids whose storage could not be unmounted, with their mount
    // folders: every later unmount (the last one at the end of the job)
    // tries them again.
    std::map<uint64_t, std::string> unmountFailed;
};
