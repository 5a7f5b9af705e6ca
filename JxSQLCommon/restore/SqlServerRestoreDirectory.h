// SqlServerRestoreDirectory: makes the directory a restored file goes to
// ready for SQL Server, and tells whether SQL Server may write a directory.
//
// The restore runs as root; SQL Server runs as its own user (the setting
// "sSQLServerUser"). A relocated file's directory is created with its
// missing parents, the levels this restore created are given to that user
// and its group (nothing that already existed changes owner), and the
// directory must then be writable by that user. Paths come from the restore
// task: only absolute paths without ".." levels are accepted.
//
// Every ownership change and identity switch goes through SqlAccount()
// (SqlServerAccount.h). Each operation logs its failure.
#pragma once

#include <sys/types.h>

#include <string>

#include "JxLib/EvDebug.h"

class SqlServerRestoreDirectory {
public:
    enum Outcome {
        kReady = 0,
        kBadPath,        // relative, or with a ".." level
        kNotCreated,     // a level could not be made
        kNoUser,         // the SQL Server user is unknown
        kNotGiven,       // a created level could not be given to the user
        kNotAccessible,  // the user may not write the directory
        kSwitchFailed,   // the process could not take on the user or come back
    };

    SqlServerRestoreDirectory(std::string sqlServerUser, EvDebug& log);

    // Makes the directory of `filePath` (the path up to its last '/')
    // ready: created, created levels given to the user, writable by the
    // user.
    Outcome Prepare(const std::string& filePath);
    // Whether the user may write `directory` (nothing is created).
    Outcome CheckWritable(const std::string& directory);

    // The directory of the last call, and the errno value of its failure.
    const std::string& directory() const { return m_directory; }
    int error() const { return m_error; }

    // The directory part of `path`: up to its last '/' ("/" for a file at
    // the root, empty when there is no '/').
    static std::string DirectoryOf(const std::string& path);
    // Absolute, no ".." level.
    static bool IsAcceptablePath(const std::string& path);

private:
    Outcome LookUpUser();
    Outcome Fail(Outcome outcome, int error);

    std::string m_user;
    EvDebug& m_log;
    std::string m_directory;
    int m_error = 0;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    bool m_userKnown = false;
};
