// SqlSimDatabaseHold: a statement's hold on one database of a simulated
// instance, as the engine gives a RESTORE, DROP DATABASE or detach statement
// exclusive access to its database and lets BACKUP statements share theirs.
//
// The hold is a lock (flock) on a lock file of its own per database under the
// instance's folder ("holds/<key>.lock"), so it excludes statements of other
// processes on the instance as well as other statements of this process
// (each hold opens the file afresh), and the kernel drops it when the holder
// exits or is killed. The key is the database name folded to lower case as
// the catalogue compares names (ASCII letters only), hashed: two spellings of
// one name share a hold, and no name, whatever it holds, becomes a path.
// Lock files stay behind once made (removing one could split a hold in two).
// Taking a statement's hold never waits: a statement that meets another's
// hold is refused at once, except a backup, which first waits a while for a
// drop to end (SqlSimTakeBackupHold). The descriptor is close-on-exec.
//
// The same mechanism, on lock files of their own, serializes what the engine
// serializes per database besides: one full or differential backup at a
// time, one log backup at a time, and the writes a snapshot freezes.
#pragma once

#include <cstdint>
#include <string>

#include "JxsqlDMO/SqlSimInstanceName.h"

class SqlSimDatabaseHold {
public:
    enum class Mode {
        kShared,     // a backup: other backups of the database go on beside it
        kExclusive,  // a restore: nothing else holds the database
    };
    // What the hold is for; each purpose has a lock file of its own.
    enum class Purpose {
        kStatement,   // restore statements exclusive, backups shared
        kDataBackup,  // one full or differential backup at a time
        kLogBackup,   // one log backup at a time
        kWrites,      // changes shared, a snapshot exclusive while it copies
    };
    enum class Result {
        kTaken,
        kBusy,    // another statement holds the database in a way that excludes this one
        kFailed,  // the lock file could not be made or locked; the reason is in `error`
    };

    // SQL Server's texts for statements that meet another statement's hold:
    // a restore (3101), a DROP DATABASE (3702) and a detach (3703).
    static constexpr const char* kInUseText =
        "Exclusive access could not be obtained because the database is in use.";
    static std::string DropInUseText(const std::string& database);
    static std::string DetachInUseText(const std::string& database);

    SqlSimDatabaseHold() = default;
    ~SqlSimDatabaseHold() { Release(); }
    SqlSimDatabaseHold(const SqlSimDatabaseHold&) = delete;
    SqlSimDatabaseHold& operator=(const SqlSimDatabaseHold&) = delete;

    // Takes the hold of `database` on `instance` without waiting. A shared
    // hold is busy only while a restore holds the database.
    Result Take(const SqlSimInstanceName& instance, const std::string& database, Mode mode, std::string& error,
                Purpose purpose = Purpose::kStatement);
    // The same, waiting for the holds that exclude it to go, at most
    // `realMs` of real time (then kBusy): a change waits for a snapshot to
    // be taken, a snapshot for the changes in progress.
    Result TakeWaiting(const SqlSimInstanceName& instance, const std::string& database, Mode mode,
                       std::string& error, Purpose purpose, int64_t realMs);
    bool Held() const { return m_fd >= 0; }
    // Gives the hold back (also done when the object goes).
    void Release();

    // The lock file that stands for `database` on `instance`.
    static std::string LockFilePath(const SqlSimInstanceName& instance, const std::string& database,
                                    Purpose purpose = Purpose::kStatement);

private:
    int m_fd = -1;
};
