// Value records of snapshot backups and restores: files handed back by the
// backup-set step, mounted snapshot volumes, the file maps of a snapshot
// copy restore and of a VSS-style backup, and the records of the indexed
// restore session. Numbers start at zero; texts and lists start empty and
// are copied deeply. Members the jobs do not read yet carry neutral names
// (valueN, textN) in the order the closed layers give them.
#pragma once

#include <cstdint>
#include <list>
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

// One snapshot backup job of a database's chain; job id 0 when the chain
// has no such backup.
struct SqlSnapJobDetails_t {
    uint64_t jobId = 0;
    char jobType = 0;          // 'D' full, 'I' differential
    uint64_t jobEndTime = 0;   // seconds since 1970
    uint64_t appId = 0;
    uint64_t jxCellId = 0;     // backup domain
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

// One file of a snapshot copy restore, as the indexed restore hands it over.
struct SnapCopyIndexFileInfo {
    std::string indexedPath;      // last component the file name, the rest its folder
    std::string targetDirectory;  // a lone separator: the folder of the indexed path
    std::string nodePath;         // the file's path on the node that holds it
    std::string text4;
    uint64_t value1 = 0;
    uint64_t value2 = 0;
    uint64_t value3 = 0;
    uint64_t value4 = 0;
    uint64_t value5 = 0;
    uint64_t value6 = 0;
    uint64_t value7 = 0;
};

// The initialisation of an indexed restore session.
struct FSIndexRestoreInit {
    uint64_t jobId = 0;
    uint64_t value2 = 0;
    int32_t restoreLevel = 0;  // passed with each path
    std::string text1;
    std::string text2;
    std::string text3;
    std::vector<std::string> paths;  // the paths to restore
};

// Progress counters of an indexed restore session; the newer layout has one
// counter more.
struct FSRProgressReport {
    uint64_t counters[6] = {};
};
struct FSRProgressReport_5_9 {
    uint64_t counters[7] = {};
};

// One database file of a VSS-style backup and its path in the snapshot,
// with the FILESTREAM files found under it.
struct SqlDatabaseVssFileInfo_t {
    std::string originalFile;
    std::string snapFile;
    std::list<std::string> fileStreamFiles;
};

// One file of a VSS-style backup's map: its path and the archive file and
// offset it went to.
struct SqlVssFileArch_t {
    std::string filePath;
    uint64_t archiveFileId = 0;
    uint64_t offset = 0;
};

// The file map of one database of a VSS-style backup.
struct SqlVssMapFile_t {
    std::string databaseName;
    std::string mapFilePath;
    std::list<SqlVssFileArch_t> files;
};
