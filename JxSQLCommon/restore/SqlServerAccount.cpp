// The system's account calls, and the guarded switch into the SQL Server
// user.
#include "JxSQLCommon/restore/SqlServerAccount.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <vector>

namespace {

class SystemAccount : public SqlServerAccount {
public:
    int LookUp(const std::string& user, uid_t& uid, gid_t& gid) override {
        long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
        std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
        struct passwd entry {};
        struct passwd* found = nullptr;
        const int rc = ::getpwnam_r(user.c_str(), &entry, buffer.data(), buffer.size(), &found);
        if (rc != 0) return rc;
        if (found == nullptr) return ENOENT;
        uid = found->pw_uid;
        gid = found->pw_gid;
        return 0;
    }
    int ChangeOwner(const std::string& path, uid_t uid, gid_t gid) override {
        return ::chown(path.c_str(), uid, gid) == 0 ? 0 : errno;
    }
    uid_t EffectiveUser() override { return ::geteuid(); }
    gid_t EffectiveGroup() override { return ::getegid(); }
    int SetEffectiveGroup(gid_t gid) override { return ::setegid(gid) == 0 ? 0 : errno; }
    int SetEffectiveUser(uid_t uid) override { return ::seteuid(uid) == 0 ? 0 : errno; }
    int CheckWriteAccess(const std::string& path) override {
        return ::euidaccess(path.c_str(), W_OK) == 0 ? 0 : errno;
    }
};

SystemAccount g_system;
SqlServerAccount* g_account = &g_system;

// Held while the process has taken on another identity.
std::mutex& SwitchMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

SqlServerAccount& SqlAccount() { return *g_account; }

ScopedSqlServerAccount::ScopedSqlServerAccount(SqlServerAccount& account) : m_previous(g_account) {
    g_account = &account;
}

ScopedSqlServerAccount::~ScopedSqlServerAccount() { g_account = m_previous; }

AsSqlServerUser::AsSqlServerUser(uid_t uid, gid_t gid) {
    SqlServerAccount& account = SqlAccount();
    if (account.EffectiveUser() != 0) return;  // not root: the process checks as itself
    SwitchMutex().lock();
    m_savedUser = account.EffectiveUser();
    m_savedGroup = account.EffectiveGroup();
    // The group first: once the user is switched the process may no longer
    // change its group.
    m_error = account.SetEffectiveGroup(gid);
    if (m_error == 0) {
        m_error = account.SetEffectiveUser(uid);
        if (m_error != 0) (void)account.SetEffectiveGroup(m_savedGroup);  // still root: restoring the group cannot fail
    }
    if (m_error != 0) {
        SwitchMutex().unlock();
        return;
    }
    m_switched = true;
}

int AsSqlServerUser::SwitchBack() {
    if (!m_switched) return 0;
    SqlServerAccount& account = SqlAccount();
    int error = account.SetEffectiveUser(m_savedUser);
    if (error == 0) error = account.SetEffectiveGroup(m_savedGroup);
    m_switched = false;
    SwitchMutex().unlock();
    return error;
}

AsSqlServerUser::~AsSqlServerUser() {
    // A failed switch back leaves the process as the SQL Server user: the
    // caller's SwitchBack() reports it; here it can only be noted.
    if (m_switched) (void)SwitchBack();
}
