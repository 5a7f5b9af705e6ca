// SqlSimRecoveryPath: the recovery paths of simulated databases, as SQL
// Server keeps them with its recovery-fork ids.
//
// A database's log sequence runs on one recovery path. A restore or revert
// that keeps the log chain (it ends where the database's newest backup
// ended) keeps the path of the set it restored; any other starts a new path,
// forked from that set's path at the LSN where the new path begins. LSNs of
// two paths overlap, so a backup is placed by its path: every backup history
// row keeps the path the database was on, the path it forked from and the
// fork LSN, and the backup metadata carries them to the central server.
#pragma once

#include <cstdint>
#include <string>

#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/CWzError.h"

struct SqlSimRecoveryPath {
    std::string id;          // empty: not known (a history row recorded before paths were kept)
    std::string forkedFrom;  // the path this one forked from; empty for a database's first path
    uint64_t forkLsn = 0;    // the first LSN of this path; 0 for a first path
};

// The path `databaseId` is on; a database that has none yet gets a first one.
CWzError SqlSimDatabaseRecoveryPath(SqlSimInstance& instance, int64_t databaseId, SqlSimRecoveryPath& path);
// Records that backup history row `historyId` was taken of `databaseId` on
// its current path.
CWzError SqlSimRecordBackupRecoveryPath(SqlSimInstance& instance, int64_t historyId, int64_t databaseId);
// The path backup history row `historyId` was taken on (id empty when not known).
CWzError SqlSimBackupRecoveryPath(SqlSimInstance& instance, int64_t historyId, SqlSimRecoveryPath& path);
// After a restore or revert left `databaseId` at `nextLsn` (the LSN it
// writes next) from the set of history row `historyId` (0: a set the history
// does not hold): keeping the log chain, the database is on the set's path;
// otherwise on a new path forked from it at `nextLsn`. One statement: it
// joins an enclosing catalogue transaction.
CWzError SqlSimFollowRestoredSet(SqlSimInstance& instance, int64_t databaseId, int64_t historyId, bool keepsLogChain,
                                 uint64_t nextLsn);
// The same after a revert of `database` to the snapshot that ended at
// `nextLsn` (the newest snapshot history row of it that ended there).
CWzError SqlSimFollowRevertedSnapshot(SqlSimInstance& instance, int64_t databaseId, const std::string& database,
                                      bool keepsLogChain, uint64_t nextLsn);
// Drops the path of a database that is dropped or replaced.
CWzError SqlSimForgetRecoveryPath(SqlSimInstance& instance, int64_t databaseId);
// Puts `path` into the further texts of backup metadata `info` (nothing
// for an unknown path).
void SqlSimPutRecoveryPath(SQLPmn::SQLDBBackupInfo& info, const SqlSimRecoveryPath& path);
