// DbInfo: the dump-restore state of one database, and DB_LSNS, the map of
// them by database name.
#pragma once

#include <map>
#include <set>
#include <string>

#include "JxSQLCommon/state/LogFileInfo.h"

struct DbInfo {
    LSNS logFiles;                      // the database's dumps on its mount paths, in LSN order
    std::set<std::string> mountPaths;   // mounted folders that hold the database's dumps
};

typedef std::map<std::string, DbInfo> DB_LSNS;
