// SqlServerAccount: the system calls through which a restore hands files to
// the SQL Server service's user and checks what that user may write.
//
// Restore directories the job creates (it runs as root) must belong to the
// user SQL Server runs as, and SQL Server must be able to write the files
// it restores there. Every ownership change and every switch of the
// effective user goes through the account in use, so that tests can install
// one that records the calls instead of changing ownership of anything.
//
// AsSqlServerUser is the only way the restore takes on the user: it holds a
// process-wide lock for as long as the switch lasts, so that no two threads
// switch at once, and it switches the group before the user and back in the
// reverse order, checking each step.
#pragma once

#include <sys/types.h>

#include <string>

class SqlServerAccount {
public:
    virtual ~SqlServerAccount() = default;

    // The user and group ids of `user`; 0, or the errno value (ENOENT when
    // there is no such user).
    virtual int LookUp(const std::string& user, uid_t& uid, gid_t& gid) = 0;
    // chown(2): 0 or the errno value.
    virtual int ChangeOwner(const std::string& path, uid_t uid, gid_t gid) = 0;
    // The effective user and group ids of the process.
    virtual uid_t EffectiveUser() = 0;
    virtual gid_t EffectiveGroup() = 0;
    // setegid(2) and seteuid(2): 0 or the errno value.
    virtual int SetEffectiveGroup(gid_t gid) = 0;
    virtual int SetEffectiveUser(uid_t uid) = 0;
    // Whether the effective user may write `path` (euidaccess(3) with W_OK):
    // 0 or the errno value.
    virtual int CheckWriteAccess(const std::string& path) = 0;
};

// The account in use: the system's unless a test installed another.
SqlServerAccount& SqlAccount();

// Installs `account` for its lifetime (tests).
class ScopedSqlServerAccount {
public:
    explicit ScopedSqlServerAccount(SqlServerAccount& account);
    ~ScopedSqlServerAccount();
    ScopedSqlServerAccount(const ScopedSqlServerAccount&) = delete;
    ScopedSqlServerAccount& operator=(const ScopedSqlServerAccount&) = delete;

private:
    SqlServerAccount* m_previous;
};

// Takes on the SQL Server user's identity for its lifetime when the process
// runs as root; otherwise it keeps the process's own (a job not run as root
// checks access as itself). Switched() tells whether the switch happened;
// error() gives the errno value of a failed switch (the identity is then
// the process's own again). The destructor switches back.
class AsSqlServerUser {
public:
    AsSqlServerUser(uid_t uid, gid_t gid);
    ~AsSqlServerUser();
    AsSqlServerUser(const AsSqlServerUser&) = delete;
    AsSqlServerUser& operator=(const AsSqlServerUser&) = delete;

    bool Switched() const { return m_switched; }
    int error() const { return m_error; }
    // Switches back now; 0 or the errno value of the failed step.
    int SwitchBack();

private:
    bool m_switched = false;
    int m_error = 0;
    uid_t m_savedUser = 0;
    gid_t m_savedGroup = 0;
};
