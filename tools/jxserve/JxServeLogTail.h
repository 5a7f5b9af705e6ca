// Whether a file or file-group restore must wait for a log backup: restored
// in place, the chosen files come back only as far as the last backup
// reaches, and a database whose log holds changes beyond it can never bring
// them level with the rest. SQL Server then asks for a backup of the tail of
// the log first; the central server answers the file-group list with status
// 3, and the restore job asks the user for a log backup, the database
// untouched.
#pragma once

#include <vector>

#include "WzSQLite/CSQLite3DB.h"
#include "tools/jxserve/JxServeRestoreStore.h"

class EvDebug;
struct SQLAFilesForFFGRstReq_t;

// True when the store forces the answer for the database
// (JxServeSetLogTailNotBackedUp), or when all of these hold: the request's
// restore task restores the database in place (same instance, same name);
// the database is ONLINE on the engine, in the FULL or BULK_LOGGED recovery
// model; and `latestChain` (the latest file-group chain) ends below the
// database's current LSN. Whatever cannot be learned (an unknown task,
// instance or database, a chain without LSNs) never refuses: a database in
// SIMPLE recovery, RESTORING or STANDBY has no log backup to ask for.
bool JxServeLogTailNotBackedUp(FX::CSQLite3DB& db, const SQLAFilesForFFGRstReq_t& request,
                               const std::vector<JxServeBackup>& latestChain, EvDebug& log);
