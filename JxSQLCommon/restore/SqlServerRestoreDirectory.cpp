// Restore directories made ready for the SQL Server user.
#include "JxSQLCommon/restore/SqlServerRestoreDirectory.h"

#include <cerrno>
#include <utility>
#include <vector>

#include "JxSQLCommon/records/CSQLUtilities.h"
#include "JxSQLCommon/restore/SqlServerAccount.h"
#include "WzUtils/FXString.h"

SqlServerRestoreDirectory::SqlServerRestoreDirectory(std::string sqlServerUser, EvDebug& log)
    : m_user(std::move(sqlServerUser)), m_log(log) {}

std::string SqlServerRestoreDirectory::DirectoryOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return "";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool SqlServerRestoreDirectory::IsAcceptablePath(const std::string& path) {
    if (path.empty() || path.front() != '/') return false;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (path.compare(start, end - start, "..") == 0 && end - start == 2) return false;
        start = end + 1;
    }
    return true;
}

SqlServerRestoreDirectory::Outcome SqlServerRestoreDirectory::Fail(Outcome outcome, int error) {
    m_error = error;
    return outcome;
}

SqlServerRestoreDirectory::Outcome SqlServerRestoreDirectory::LookUpUser() {
    if (m_userKnown) return kReady;
    const int rc = SqlAccount().LookUp(m_user, m_uid, m_gid);
    if (rc != 0) {
        EV_ERROR(m_log, "Failed to get passwd struct of mssql user, error [%d].", rc);
        return Fail(kNoUser, rc);
    }
    m_userKnown = true;
    return kReady;
}

SqlServerRestoreDirectory::Outcome SqlServerRestoreDirectory::Prepare(const std::string& filePath) {
    m_error = 0;
    m_directory = DirectoryOf(filePath);
    if (!IsAcceptablePath(filePath)) {
        EV_ERROR(m_log, "Restore path [%s] is not an absolute path without \"..\" levels.", filePath.c_str());
        return Fail(kBadPath, EINVAL);
    }
    std::vector<std::string> created;
    unsigned int error = 0;
    const bool made =
        CSQLUtilities::createRecursiveDirectory(FXString::ToWstring(m_directory).c_str(), error, &created);
    if (!made) {
        EV_ERROR(m_log, "Failed to create Directory [%s]. Got System Error [%ld]", m_directory.c_str(),
                 static_cast<long>(error));
    }
    // Levels made before a failure still go to the user: they are the
    // restore's and SQL Server may be asked to use them by a later attempt.
    if (!created.empty()) {
        if (Outcome o = LookUpUser(); o != kReady) return o;
        if (SqlAccount().EffectiveUser() != 0) {
            EV_INFO(m_log, "The job does not run as root: the directories it created keep their owner.");
        } else {
            for (const std::string& level : created) {
                const int rc = SqlAccount().ChangeOwner(level, m_uid, m_gid);
                if (rc != 0) {
                    EV_ERROR(m_log, "Failed to change owner of restore directory [%s] to mssql user, error [%d].",
                             level.c_str(), rc);
                    return Fail(kNotGiven, rc);
                }
            }
        }
    }
    if (!made) return Fail(kNotCreated, static_cast<int>(error));
    return CheckWritable(m_directory);
}

SqlServerRestoreDirectory::Outcome SqlServerRestoreDirectory::CheckWritable(const std::string& directory) {
    m_directory = directory;
    m_error = 0;
    if (Outcome o = LookUpUser(); o != kReady) return o;
    AsSqlServerUser as(m_uid, m_gid);
    if (as.error() != 0) {
        EV_ERROR(m_log, "Failed to switch to the SQL Server user [%s], error [%d].", m_user.c_str(), as.error());
        return Fail(kSwitchFailed, as.error());
    }
    if (!as.Switched()) {
        EV_INFO(m_log, "The job does not run as root: access to [%s] is checked as the job's own user.",
                directory.c_str());
    }
    const int access = SqlAccount().CheckWriteAccess(directory);
    const int back = as.SwitchBack();
    if (back != 0) {
        EV_ERROR(m_log, "Failed to switch back from the SQL Server user, error [%d].", back);
        return Fail(kSwitchFailed, back);
    }
    if (access != 0) return Fail(kNotAccessible, access);
    return kReady;
}
