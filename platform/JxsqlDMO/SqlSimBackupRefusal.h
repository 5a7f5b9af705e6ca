// Why the engine refuses to back up a database in the middle of a restore
// sequence: one text for every kind of backup, streamed or by snapshot.
#pragma once

#include <string>

// The engine's reason for refusing a backup of `database` in `state` (a
// SqlDbState code): empty when the state allows a backup. A database that is
// RESTORING or in STANDBY has no consistent data a backup could take; one
// left SUSPECT by a failed restore has files that do not belong together.
std::string SqlSimBackupRefusal(const std::string& database, int state);
