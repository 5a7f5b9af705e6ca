// Value records of snapshot backups and restores: files handed back by the
// backup-set step, mounted snapshot volumes and the file maps of a snapshot
// copy restore.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "JxSQLCommon/records/SqlStringUtils.h"

// One database file of a backup set: its physical name and whether that path
// is a directory.
struct SqlDatabaseFiles_t {
    std::string fileName;
    uint8_t isDirectory = 0;
};

// One mounted snapshot volume.
struct SqlSMVolInfo {
    std::string mountPath;
    uint32_t volumeId = 0;
    std::vector<std::string> databases;   // databases on the volume
};

// The file maps of a snapshot copy restore; keys compared without regard to case.
struct SqlSnapFileMapInfo_t {
    using NameMap = std::map<std::string, std::string, InsensitiveCompare>;
    NameMap mappedPaths;          // new physical path -> mapped path
    NameMap sourceFolders;        // file or folder name -> source folder
    NameMap destinationFolders;   // file or folder name -> destination folder
};
