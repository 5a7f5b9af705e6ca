// The central-server stand-in's backup sets and log marks: what the backup
// jobs' updates stored, and the set-up a test gives them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "WzSQLite/CSQLite3DB.h"

// One stored backup-set update.
struct JxServeBackupSet {
    unsigned long code = 0;  // the request code it came under
    uint64_t instanceId = 0;
    std::string databaseName;
    std::string backupType;
    uint64_t jobId = 0;
    uint64_t backupPhase = 0;
    std::string firstLsn;
    std::string lastLsn;
    uint64_t fileCount = 0;
    uint64_t archiveCount = 0;
};

// One log mark the central server knows of a database.
struct JxServeLogMark {
    uint64_t instanceId = 0;
    std::string databaseName;
    std::string markName;
    std::string description;
    std::string lsn;
    std::string markTime;
    int64_t value = 0;
};

// Whether backup method `method` (a backup set's field 23) is a snapshot
// method: the set's data are in its snapshot, not on the media.
constexpr bool JxServeIsSnapshotMethod(int64_t method) { return method == 2 || method == 3; }

// The store with the tables of the backup sets.
std::unique_ptr<FX::CSQLite3DB> JxServeOpenBackupSetStore();
// Makes each stored backup set whose data the disk library shows committed,
// and each snapshot set, known to restores (JxServeRestoreStore.h), once, in
// the order stored.
void JxServePublishCommittedSets();
// Whether the disk library shows every piece of data of stored backup set
// `setId` committed.
bool JxServeSetDataCommitted(FX::CSQLite3DB& db, int64_t setId);
// Drops the stored backup sets of job `jobId` whose data the disk library
// does not show committed (commits keep the order of the data, so these are
// the sets after the job's last commit); returns their database names, each
// once, in the order stored. Snapshot sets stay: their data are in the
// snapshot.
std::vector<std::string> JxServeDropUncommittedSets(uint64_t jobId);
// The archive entries (archive file id, offset) of the stored sets of a
// database, oldest set first.
std::vector<std::vector<std::pair<uint32_t, uint64_t>>> JxServeStoredArchives(const std::string& databaseName);

// Backup-set updates of `databaseName` are answered with `error` (0: stored;
// 6: the backup chain is broken) and not stored.
void JxServeRefuseBackupSets(const std::string& databaseName, uint64_t error);
// The `nth` backup-set update of `databaseName` from now on (1: the next) is
// handled as any other (stored, or answered as repeated or refused), but its
// reply is lost: the session ends without an answer. Once.
void JxServeLoseBackupSetReply(const std::string& databaseName, int nth = 1);
// The stored backup-set updates, oldest first.
std::vector<JxServeBackupSet> JxServeStoredBackupSets();

// Makes the central server know SQL Server's id of a database (as a stored
// backup set of the database does).
void JxServeAddDatabase(uint64_t instanceId, uint64_t databaseId, const std::string& databaseName);
void JxServeAddLogMark(const JxServeLogMark& mark);
// The marks known of a database, by value.
std::vector<JxServeLogMark> JxServeLogMarks(uint64_t instanceId, const std::string& databaseName);
