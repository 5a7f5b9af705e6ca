// What the central-server stand-in records of the restores it hands out, for
// the backup-conversion rules. A restore to a point in time or to a log mark
// leaves the database at a state its stored chain does not continue from,
// and a restored system database puts every database of its instance in
// doubt: the next backup of each such database must be a full one. A stored
// backup of a database clears what was recorded of it.
//
// The stand-in learns of a restore job when the job asks for its task's
// options; whether the restore then succeeds is not reported back, and
// converting the next backup to full after a restore that failed is the
// safe side.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "WzSQLite/CSQLite3DB.h"

class EvDebug;
struct JxServeRestoreTask;
struct SqlDatabaseBackupInfo_V2;

// The names `task` restores its databases as, read from its entries as the
// restore job reads them.
std::vector<std::string> JxServeDestinationNames(const JxServeRestoreTask& task);

// Records what `task` does to the databases of its destination instance:
// each database it restores to a point in time or a mark (under the name it
// is restored as), and, when it restores master, model or msdb, every
// database the stand-in knows of that instance.
void JxServeRecordRestore(const JxServeRestoreTask& task, EvDebug& log);

// Forgets what was recorded of `databaseName` of `instanceId`, in `db` (the
// store a backup set of it was just stored in).
void JxServeClearRestoreRecords(FX::CSQLite3DB& db, uint64_t instanceId, const std::string& databaseName);

// Sets the restore flags of `d` (system database restored, point-in-time
// restore done) from what is recorded of `databaseName` of `instanceId`.
void JxServeReadRestoreRecords(uint64_t instanceId, const std::string& databaseName, SqlDatabaseBackupInfo_V2& d);
