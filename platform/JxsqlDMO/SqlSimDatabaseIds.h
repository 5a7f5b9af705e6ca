// The ids of a simulated instance's databases. A new database (created,
// attached or restored as a new name) takes the highest id plus one, so one
// made after the newest database was dropped or detached takes that
// database's id, as SQL Server reuses ids. What the stand-in keeps beside the
// catalogue under a database's id (its LSN state, changed extents, log index
// and recovery path) and its options belong to that database alone: they go
// with it, and a new database starts with none of them, also where an older
// drop left some behind. Its log marks stay in the mark history under no
// database, so mark values keep growing; the backup and restore history
// stays as msdb keeps it, by name.
#pragma once

#include <cstdint>
#include <string>

#include "WzUtils/CWzError.h"

class SqlSimInstance;

// Lowest id of a user database; the system databases take 1 to 4.
inline constexpr int64_t kSqlSimFirstUserDatabaseId = 5;

// The id for new database `name`: the highest plus one, at least `lowest`,
// with what a former holder of the id or the name left removed. Call it in
// the transaction that adds the database, so that both happen or neither.
CWzError SqlSimNewDatabaseId(SqlSimInstance& instance, const std::string& name, int64_t lowest, int64_t& id);

// Removes database `id` (`name`) from the catalogue, as DROP and detach do:
// its row, files and file groups with what it kept under its id and its
// options. Call it in the caller's transaction. Its files stay on disk.
CWzError SqlSimRemoveDatabase(SqlSimInstance& instance, int64_t id, const std::string& name);
