// Why the engine refuses to back up a database that is gone or in the middle
// of a restore sequence, and the statement hold every backup takes first: one
// text for every kind of backup, streamed or by snapshot.
#pragma once

#include <cstdint>
#include <string>

class SqlSimDatabaseHold;
class SqlSimInstance;

// The engine's reason for refusing a backup of `database` in `state` (a
// SqlDbState code): empty when the state allows a backup. A database that is
// RESTORING or in STANDBY has no consistent data a backup could take; one
// left SUSPECT by a failed restore has files that do not belong together.
std::string SqlSimBackupRefusal(const std::string& database, int state);
// The engine's text for a backup of a database that does not exist (911).
std::string SqlSimMissingDatabaseText(const std::string& database);

// What a backup's statement hold found.
enum class SqlSimBackupHold {
    kTaken,      // held; the backup reads the database's state next
    kGone,       // a drop or detach holds the name and the database is gone
    kInRestore,  // a restore statement holds the database
    kFailed,     // the hold could not be taken; the reason is in `error`
};

// How long a backup waits, in platform milliseconds (so that the wait stays
// far within the devices' time-out at any time scale), for a drop or detach
// that holds its database to end.
inline constexpr int64_t kSqlSimBackupWaitsForDropMs = 10000;

// Takes the shared statement hold of `database` that a backup keeps while it
// runs. A restore, drop or detach statement holds it exclusively; the engine
// waits for a drop to end and then finds the database gone, so a backup
// meeting the hold waits for it up to kSqlSimBackupWaitsForDropMs. Still held
// then: kGone when the database has left the catalogue (a drop or detach that
// committed), otherwise kInRestore.
SqlSimBackupHold SqlSimTakeBackupHold(SqlSimInstance& instance, const std::string& database, SqlSimDatabaseHold& hold,
                                      std::string& error);
