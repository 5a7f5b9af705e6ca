// DbInfo: the dump-restore state of one database, and DB_LSNS, the map of
// them by database name.
//
// The map is keyed by the database's source name: the name its dump files
// and markers carry. The name it is restored under lives in restoreName,
// which is the database whose last restore the instance is asked about.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "JxSQLCommon/state/LogFileInfo.h"
#include "JxSQLCommon/state/RestoreMarkerFile.h"

struct DbInfo {
    LSNS logFiles;                      // the database's dumps on its mount paths, in LSN order
    uint64_t restoredCount = 0;         // dumps restored
    uint64_t failedCount = 0;           // dumps whose restore failed
    std::set<std::string> mountPaths;   // mounted folders that hold the database's dumps
    // Markers of this job beside the database's dumps; dropping them removes
    // them from disk.
    std::vector<std::shared_ptr<RestoreMarkerFile>> markerFiles;
    std::set<uint64_t> appIDs;          // application ids of the central server's chain
    std::string stopFirstLSN;           // restore of dumps stops at the dump with this first LSN
    std::string XmlDBLastRestoreInfo;   // the last restore as SQLPmn::DBLastRestoreInfo text
    std::string PaddedFirstLSN;
    std::string FirstLSN;
    std::string PaddedLastLSN;
    std::string LastLSN;
    std::string lastRestoreText;
    bool selected = true;
    std::string restoreName;            // the name on the instance (the new name, else the source name)
};

typedef std::map<std::string, DbInfo> DB_LSNS;
// Application id of each database by name.
typedef std::map<std::string, uint64_t> AppIDMap;
