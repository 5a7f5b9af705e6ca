// The engine's reasons for refusing a backup of a database that a restore
// sequence holds.
#include "JxsqlDMO/SqlSimBackupRefusal.h"

#include "JxsqlDMO/SqlDbState.h"

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
