// The engine's reasons for refusing a backup of a database that is gone or
// that a restore sequence holds, and the hold a backup takes first.
#include "JxsqlDMO/SqlSimBackupRefusal.h"

#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimDatabaseHold.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "JxsqlDMO/SqlSimRestoreCatalog.h"
#include "WzUtils/WzClock.h"

std::string SqlSimBackupRefusal(const std::string& database, int state) {
    if (state == SQLDB_STATE_RESTORING) {
        return "Database '" + database + "' cannot be opened. It is in the middle of a restore.";
    }
    if (state == SQLDB_STATE_STANDBY) {
        return "The database '" + database +
               "' is in warm-standby state (set by executing RESTORE WITH STANDBY) "
               "and cannot be backed up until the entire restore sequence is completed.";
    }
    // A restore that could not put the old files back left a database whose
    // files do not belong together.
    if (state == SQLDB_STATE_SUSPECT) {
        return "Database '" + database +
               "' cannot be opened due to inaccessible files or insufficient memory or disk space.";
    }
    return std::string();
}

std::string SqlSimMissingDatabaseText(const std::string& database) {
    return "Database '" + database + "' does not exist. Make sure that the name is entered correctly.";
}

SqlSimBackupHold SqlSimTakeBackupHold(SqlSimInstance& instance, const std::string& database, SqlSimDatabaseHold& hold,
                                      std::string& error) {
    using Hold = SqlSimDatabaseHold;
    const Hold::Result r = hold.TakeWaiting(instance.Location(), database, Hold::Mode::kShared, error,
                                            Hold::Purpose::kStatement, wz::RealMs(kSqlSimBackupWaitsForDropMs));
    if (r == Hold::Result::kTaken) return SqlSimBackupHold::kTaken;
    if (r == Hold::Result::kFailed) return SqlSimBackupHold::kFailed;
    // Still held: a restore, or a drop that has outlasted the wait. A drop
    // whose catalogue change committed has left no database behind.
    bool exists = false;
    int64_t id = 0;
    int state = 0;
    if (CWzError e = SqlSimDatabaseState(instance, database, exists, id, state); e.IsError()) {
        error = e.GetMessage();
        return SqlSimBackupHold::kFailed;
    }
    return exists ? SqlSimBackupHold::kInRestore : SqlSimBackupHold::kGone;
}
