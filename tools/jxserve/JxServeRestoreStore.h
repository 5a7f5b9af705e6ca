// The central-server stand-in's records of what clients discovered and what
// restores need: databases added by auto-discovery, restore tasks (database
// and Analysis Services) and the backups of each database with the archive
// files that hold them. Tests and the demo fill and read them through these
// functions; the request handlers (JxServeAutoDiscovery.cpp,
// JxServeRestoreOptions.cpp, JxServeArchiveFiles.cpp,
// JxServeAnalysisRestore.cpp) answer from them.
//
// Every function opens the store afresh and throws FX::CSQLite3Exception
// when it cannot be used.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "WzSQLite/CSQLite3DB.h"

// ---- Auto-discovery --------------------------------------------------------
struct JxServeDiscoveredDatabase {
    uint64_t applicationId = 0;
    std::string name;
    uint64_t creationTime = 0;
    uint64_t databaseId = 0;
};

// Every database added for application `appId`, in the order received.
std::vector<JxServeDiscoveredDatabase> JxServeDiscoveredDatabases(uint64_t appId);
// From now on additions for `appId` are answered with error word 1.
void JxServeRefuseAutoDiscovery(uint64_t appId);

// ---- Restore tasks ---------------------------------------------------------
struct JxServeRestoreTask {
    uint64_t archiveSelector = 0;
    uint64_t sourceClientId = 0;
    uint64_t destinationClientId = 0;
    uint64_t sourceInstanceId = 0;
    uint64_t destinationInstanceId = 0;
    uint64_t copyPrecedence = 0;
    uint64_t pointInTime = 0;
    uint64_t optionFlags = 0;
    std::optional<std::string> standbyUndoFile;
    uint64_t dateFormatKind = 0;
    std::vector<std::string> databases;    // sent in this order
    std::vector<std::string> relocations;  // sent in this order
};
void JxServePutRestoreTask(uint64_t taskId, const JxServeRestoreTask& task);

// ---- Backups of a database -------------------------------------------------
struct JxServeArchiveFile {
    uint32_t jxCellId = 0;
    uint32_t archiveFileId = 0;
    uint64_t offset = 0;
    std::string path;
};

struct JxServeBackup {
    uint64_t restoreId = 0;    // set when read back; ignored by JxServePutBackup
    uint64_t instanceId = 0;   // the instance that made the backup
    std::string database;
    uint64_t jobId = 0;
    uint64_t applicationId = 0;
    char backupType = 'D';
    int32_t vssFlag = 0;
    uint64_t word6 = 0;
    uint64_t referenceTime = 0;
    uint64_t startTime = 0;
    uint64_t endTime = 0;      // the chain of a point in time holds the backups that ended by it
    uint64_t word10 = 0;
    uint64_t word11 = 0;
    std::string firstLsn;
    std::string lastLsn;
    uint64_t backupSize = 0;
    std::vector<JxServeArchiveFile> archiveFiles;
    // The file groups the backup holds, which a file/filegroup restore
    // learns; without them it is answered with the file names it asked about.
    std::vector<std::string> fileGroups;
    // The logical names of the data files it holds (a file or file-group
    // backup holds only some); empty when not known.
    std::vector<std::string> dataFiles;
    // What places a differential on its full: a differential's database
    // backup LSN is the checkpoint LSN of the full it holds the changes
    // since. Empty when not known (the chains then go by position).
    std::string checkpointLsn;
    std::string databaseBackupLsn;
    // A copy-only full is no base for differentials.
    bool copyOnly = false;
    // The recovery path the backup was taken on, the path that one forked
    // from and the fork LSN (JxServeRecoveryPaths.h); empty when not known.
    std::string recoveryPath;
    std::string forkedFromPath;
    std::string forkLsn;
};
// Adds a backup; the chain lists backups in the order added. Returns its
// restore id (the id a file/filegroup restore asks by).
uint64_t JxServePutBackup(const JxServeBackup& backup);
// Replaces the file-group names of the backup of a restore id.
void JxServeSetBackupFileGroups(uint64_t restoreId, const std::vector<std::string>& names);
// While set, the file/filegroup list of `database` is answered with status 3:
// the tail of its log must be backed up first.
void JxServeSetLogTailNotBackedUp(uint64_t instanceId, const std::string& database, bool notBackedUp);
// The status the live-sync chain request answers for `database` of `instanceId`.
void JxServeSetLiveSyncStatus(uint64_t instanceId, const std::string& database, uint64_t status);

// ---- Analysis Services restore tasks ---------------------------------------
struct JxServeAnalysisDetail {
    std::string texts[7];   // the detail entry's texts in order
    uint32_t numbers[2] = {};
};

struct JxServeAnalysisDatabase {
    std::string entry;
    std::vector<JxServeAnalysisDetail> details;
    // Its backups are the JxServePutBackup records of the task's instance
    // (word 5) and the entry's database name.
};

struct JxServeAnalysisTask {
    uint64_t words[8] = {};
    std::optional<std::string> standbyUndoFile;
    uint64_t status = 0;
    std::vector<JxServeAnalysisDatabase> databases;
    std::vector<std::string> relocations;
};
void JxServePutAnalysisTask(uint64_t taskId, const JxServeAnalysisTask& task);

// ---- For the handlers ------------------------------------------------------
// The store with the tables of these records.
std::unique_ptr<FX::CSQLite3DB> JxServeOpenRestoreStore();
// Every reader of the backups below first lets the jobs' backup sets whose
// data the media has committed since the last question join them
// (JxServePublishCommittedSets), so no answer misses a backup a job stored.
//
// The backups of `database` of `instanceId` in the order added; with a
// point in time (not 0) only those that ended by it.
std::vector<JxServeBackup> JxServeBackupsOf(FX::CSQLite3DB& db, uint64_t instanceId, const std::string& database,
                                            uint64_t pointInTime);
// The backup of a restore id; false when there is none.
bool JxServeBackupById(FX::CSQLite3DB& db, uint64_t restoreId, JxServeBackup& backup);
// A stored task; false when there is none.
bool JxServeGetRestoreTask(FX::CSQLite3DB& db, uint64_t taskId, JxServeRestoreTask& task);
bool JxServeGetAnalysisTask(FX::CSQLite3DB& db, uint64_t taskId, JxServeAnalysisTask& task);
