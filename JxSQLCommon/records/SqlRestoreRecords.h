// Value records of a restore: the archive files of a backup, the backups of
// a database's restore chain, one database to restore and the options of the
// restore task.
//
// Records are held and passed by value; copies are deep (a copied chain owns
// its own archive-file lists) and every number starts at zero.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <vector>

// One archive file of a backup.
struct AFileInfo_t {
    uint64_t jxCellId = 0;        // JxCell of the archive file
    uint64_t archiveFileId = 0;
    uint64_t offset = 0;          // byte offset of the backup inside the archive file
    std::string path;             // path text that comes with the archive file
};

// Backup type letters of SqlAFilesPerBackup_t::backupType.
constexpr uint32_t kBackupTypeFull = 'D';
constexpr uint32_t kBackupTypeDifferential = 'I';
constexpr uint32_t kBackupTypeLog = 'L';

// Archive-file type of a dump file on a media agent's disk library.
constexpr uint32_t AFileType_RestoreFromMediaAgentDump = 1;

// One backup in the restore chain of a database, in the central server's
// terms. Members in the order the central server's replies fill them.
struct SqlAFilesPerBackup_t {
    uint64_t jobId = 0;            // backup job id
    uint64_t applicationId = 0;
    uint32_t backupType = 0;       // 'D' full, 'I' differential, 'L' log
    bool vssFlag = false;          // set when the reply's value is positive
    uint64_t backupMethod = 0;     // 0 streamed; 1, 2, 3 and 5 snapshot and VSS methods
    uint64_t word6 = 0;
    uint64_t referenceTime = 0;    // compared with a point-in-time time
    uint64_t startTime = 0;        // seconds since 1970
    uint64_t endTime = 0;          // seconds since 1970
    uint32_t word10 = 0;
    uint32_t word11 = 0;
    std::list<AFileInfo_t> archiveFiles;   // in the order received
    std::string sFirstLsn;
    std::string sLastLsn;
    uint32_t afileType = 0;        // AFileType_RestoreFromMediaAgentDump for a dump file
    std::string sFullPathLogFile;  // full path of a dump file
    uint64_t backupSize = 0;       // bytes
};

// One backup of a file or filegroup restore: the backup, then the database
// files and filegroups to restore.
struct SqlFFGRestoreInfo_t : SqlAFilesPerBackup_t {
    std::list<std::string> fileGroups;
};

// One database to restore.
struct SqlRestoreDbInfo_t {
    std::string sDbName;                   // the task's entry; the name is its text before the first 0x12
    std::string newDbName;                 // empty when restored under its own name
    std::list<std::string> newFiles;       // new physical file of each relocated file
    std::list<std::string> oldFiles;       // old physical file of each relocated file
    std::list<std::string> relocationList; // first field of each relocation entry
    std::list<SqlAFilesPerBackup_t> restoreChain;   // backups to apply, oldest first
    int64_t sortKey = 0;                   // job id of the chain's full backup
    uint64_t databaseId = 0;               // 1 master, 2 tempdb, 3 model, 4 msdb
};

// The instance a snapshot restore goes to; instanceId 0 when there is none.
struct SqlSnapDestinationInstance_t {
    uint64_t instanceId = 0;
    uint64_t clientId = 0;
    std::string instanceName;
    std::string stageFolder;   // stages the database on the source for the copy
};

// The options of a restore task.
struct SqlRestoreTaskOptions_t {
    uint64_t archiveSelector = 0;
    uint64_t sourceClientId = 0;
    uint64_t destinationClientId = 0;
    uint64_t sourceInstanceId = 0;
    uint64_t destinationInstanceId = 0;
    uint64_t requestedDestinationInstanceId = 0;   // kept when a staging instance is swapped in
    uint64_t copyPrecedence = 0;
    uint64_t pointInTime = 0;                      // seconds since 1970 (UTC); 0 = latest
    uint64_t optionFlags = 0;
    std::string standbyUndoFile;
    std::vector<std::string> databaseEntries;      // fields separated by 0x12
    std::vector<std::string> relocationEntries;    // fields separated by 0x12
    SqlSnapDestinationInstance_t snapDestination;
    uint64_t stagingInstanceId = 0;
    uint64_t dateFormatKind = 0;
};
