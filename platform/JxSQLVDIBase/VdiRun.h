// What the engine's statement thread runs, and the helpers its backup and
// restore share. Internal to the engine.
#pragma once

#include <cstdint>
#include <string>

#include "JxSQLVDIBase/VdiDevice.h"
#include "JxSQLVDIBase/VdiStatement.h"
#include "JxsqlDMO/SqlSimDatabaseHold.h"

// SQL Server's error numbers for the refusals the engine makes.
enum VdiSqlError : long {
    kSqlErrDatabaseMissing = 911,
    kSqlErrInRestore = 927,
    kSqlErrFilesInaccessible = 945,
    kSqlErrFileInUse = 1834,
    kSqlErrFileNotInBackup = 3234,
    kSqlErrReadFailed = 3203,
    kSqlErrDatabaseInUse = 3101,
    kSqlErrBackupSerialized = 3023,
    kSqlErrDiffWithoutFull = 3035,
    kSqlErrInStandby = 3036,
    kSqlErrNotReadyToRollForward = 3117,
    kSqlErrDiffWrongBase = 3136,
    kSqlErrTailNotBackedUp = 3159,
    kSqlErrBackupSetMismatch = 3241,
    kSqlErrBackupDamaged = 3183,
    kSqlErrLogInSimple = 4208,
    kSqlErrNoCurrentBackup = 4214,
    kSqlErrLogTooRecent = 4305,
    kSqlErrLogTooEarly = 4326,
    kSqlErrWriteFailed = 3202,
    kSqlErrStopped = 3013,
};

// SQL Server's text for a backup that meets another backup of its kind, or a
// file added meanwhile (3023).
constexpr const char* kVdiSerializedText =
    "Backup, file manipulation operations (such as ALTER DATABASE ADD FILE) and encryption changes on a database "
    "must be serialized. Reissue the statement after the current backup or file manipulation operation is "
    "completed.";

class SqlSimInstance;

void VdiRunBackup(VdiStatement& s);
void VdiRunRestore(VdiStatement& s);
// The restore of a set whose streams are the files of options.dbFiles.
void VdiRunRestoreFromFiles(VdiStatement& s);

// Records the statement's failure; the first failure stands.
void VdiFail(VdiStatement& s, long code, const std::string& text);
void VdiTimeOut(VdiStatement& s, int stream);
// Takes a statement's hold of `database`: exclusive for a restore, shared for
// a backup. False with the failure recorded when another statement's hold
// excludes it: 3101 for a restore; for a backup, which first waits a while
// for a drop to end (SqlSimTakeBackupHold), 911 when the database is gone and
// 927 (in the middle of a restore) when a restore holds it. With a backup's
// purpose, the hold that runs data backups (or log backups) of a database one
// at a time: 3023 while another runs.
bool VdiHold(VdiStatement& s, SqlSimInstance& sim, const std::string& database, SqlSimDatabaseHold::Mode mode,
             SqlSimDatabaseHold& hold,
             SqlSimDatabaseHold::Purpose purpose = SqlSimDatabaseHold::Purpose::kStatement);
// Records the failure of a statement that was stopped or whose device was
// aborted: the stopped code when the job manager asked the job to stop,
// otherwise code 0; the text is the reason the engine was aborted with, or
// `reason` when it was given none.
void VdiStopped(VdiStatement& s, const std::string& reason);
void VdiInfo(VdiStatement& s, const std::string& text);
// Ends every device with the statement's failure text.
void VdiAbortDevices(VdiStatement& s);

// Waits for a device the way the engine does: the VDI time-out, repeated up
// to the retry limit. TimedOut after the last retry.
VdiWait VdiAcquire(VdiStatement& s, VdiDevice& device, VdiBlock& block);
VdiWait VdiGet(VdiStatement& s, VdiDevice& device, VdiBlock& block);
VdiWait VdiDrain(VdiStatement& s, VdiDevice& device);
