// The simulated instance: catalogue schema, creation, and the setup API.
#include "JxsqlDMO/SqlSimInstance.h"

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <functional>
#include <vector>

#include "JxsqlDMO/SqlSimCatalog.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "JxsqlDMO/SqlSimDatabaseIds.h"
#include "JxsqlDMO/SqlSimRecoveryPath.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"
#include "WzUtils/WzFnv1a.h"
#include "WzUtils/WzFormat.h"

namespace {

constexpr size_t kMaxNameLength = 128;  // SQL Server's sysname

constexpr const char* kSchema = R"sql(
CREATE TABLE server(
    name TEXT NOT NULL, version TEXT NOT NULL, clustered INTEGER NOT NULL,
    running INTEGER NOT NULL, integrated_login INTEGER NOT NULL);
CREATE TABLE databases(
    id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE COLLATE NOCASE,
    state INTEGER NOT NULL, recovery_model TEXT NOT NULL, read_only INTEGER NOT NULL,
    user_access TEXT NOT NULL, create_time INTEGER NOT NULL,
    ag_name TEXT COLLATE NOCASE REFERENCES availability_groups(name), ag_sync_state TEXT);
CREATE TABLE filegroups(
    database_id INTEGER NOT NULL REFERENCES databases(id) ON DELETE CASCADE,
    id INTEGER NOT NULL, name TEXT NOT NULL COLLATE NOCASE, is_default INTEGER NOT NULL,
    PRIMARY KEY(database_id, id), UNIQUE(database_id, name));
CREATE TABLE files(
    database_id INTEGER NOT NULL REFERENCES databases(id) ON DELETE CASCADE,
    id INTEGER NOT NULL, filegroup_id INTEGER, logical_name TEXT NOT NULL COLLATE NOCASE,
    physical_path TEXT NOT NULL UNIQUE, type INTEGER NOT NULL, size INTEGER NOT NULL,
    PRIMARY KEY(database_id, id), UNIQUE(database_id, logical_name));
CREATE TABLE logins(
    name TEXT PRIMARY KEY COLLATE NOCASE, password TEXT NOT NULL, disabled INTEGER NOT NULL);
CREATE TABLE login_roles(
    login TEXT NOT NULL COLLATE NOCASE REFERENCES logins(name) ON DELETE CASCADE,
    role TEXT NOT NULL COLLATE NOCASE, PRIMARY KEY(login, role));
CREATE TABLE availability_groups(
    name TEXT PRIMARY KEY COLLATE NOCASE, guid TEXT NOT NULL, backup_preference TEXT NOT NULL);
CREATE TABLE ag_replicas(
    ag_name TEXT NOT NULL COLLATE NOCASE REFERENCES availability_groups(name) ON DELETE CASCADE,
    server_name TEXT NOT NULL COLLATE NOCASE, role TEXT NOT NULL, availability_mode TEXT NOT NULL,
    failover_mode TEXT NOT NULL, backup_priority INTEGER NOT NULL, endpoint_url TEXT NOT NULL,
    PRIMARY KEY(ag_name, server_name));
CREATE TABLE backup_history(
    id INTEGER PRIMARY KEY, database_name TEXT NOT NULL COLLATE NOCASE, type TEXT NOT NULL,
    first_lsn INTEGER NOT NULL, last_lsn INTEGER NOT NULL, checkpoint_lsn INTEGER NOT NULL,
    database_backup_lsn INTEGER NOT NULL, start_time INTEGER NOT NULL, finish_time INTEGER NOT NULL,
    copy_only INTEGER NOT NULL, device TEXT NOT NULL);
)sql";

// File types as the files table and SqlDbFile carry them.
constexpr int kFileData = 0;
constexpr int kFileLog = 1;

CWzError InvalidArg(const FXCodeLocation& where, const std::string& text) {
    return FXErrorUtil::ErrorHResult(where, WZ_E_INVALIDARG, "%s", text.c_str());
}

CWzError CheckName(const char* what, const std::string& name) {
    if (name.empty() || name.size() > kMaxNameLength || name.find('\0') != std::string::npos) {
        return InvalidArg(FXCODELOC, wz::Format("invalid %s name [%s]", what, name.c_str()));
    }
    return CWzError::Success();
}

bool OneOf(const std::string& value, std::initializer_list<const char*> allowed) {
    for (const char* a : allowed) {
        if (strcasecmp(a, value.c_str()) == 0) return true;
    }
    return false;
}

// Letters, digits, "_", "-" and "." kept; anything else becomes "_".
std::string FileNameOf(const std::string& name) {
    std::string out = name;
    for (char& c : out) {
        unsigned char u = static_cast<unsigned char>(c);
        if (!(std::isalnum(u) || c == '_' || c == '-' || c == '.')) c = '_';
    }
    if (!out.empty() && out.front() == '.') out.front() = '_';
    return out;
}

// A relative path below the data directory: no "..", no absolute path.
CWzError CheckRelativePath(const std::string& path) {
    bool bad = path.empty() || path.front() == '/' || path.size() > 1024;
    size_t start = 0;
    while (!bad && start <= path.size()) {
        size_t end = path.find('/', start);
        std::string part = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        bad = part.empty() || part == "." || part == "..";
        if (end == std::string::npos) break;
        start = end + 1;
    }
    if (bad) return InvalidArg(FXCODELOC, "invalid physical file name [" + path + "]");
    return CWzError::Success();
}

// Writes a file of `size` bytes whose content follows from `seed`, so that
// files differ from each other and a copy can be compared byte for byte.
CWzError WriteDatabaseFile(const std::string& path, uint64_t size, uint64_t seed) {
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && wz::MakeDirectoryTree(path.substr(0, slash)) != 0) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "cannot create the directory of [%s]", path.c_str());
    }
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "cannot create database file [%s]", path.c_str());
    std::vector<unsigned char> block(64 * 1024);
    for (size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<unsigned char>((seed >> ((i % 8) * 8)) ^ (i * 131) ^ (i >> 9));
    }
    uint64_t written = 0;
    while (written < size) {
        size_t chunk = static_cast<size_t>(std::min<uint64_t>(block.size(), size - written));
        ssize_t n = ::write(fd, block.data(), chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int err = errno;
            ::close(fd);
            return FXErrorUtil::ErrorErrNo(FXCODELOC, err, "cannot write database file [%s]", path.c_str());
        }
        written += static_cast<uint64_t>(n);
    }
    if (::close(fd) != 0) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "cannot close database file [%s]", path.c_str());
    }
    return CWzError::Success();
}

std::string GuidOf(const std::string& name) {
    uint64_t a = wz::Fnv1a(name);
    uint64_t b = wz::Fnv1a(name + "#guid");
    return wz::Format("%08X-%04X-%04X-%04X-%012llX", static_cast<unsigned>(a >> 32),
                      static_cast<unsigned>((a >> 16) & 0xFFFF), static_cast<unsigned>(a & 0xFFFF),
                      static_cast<unsigned>(b >> 48), static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFull));
}

}  // namespace

CWzError SqlSimInstance::InTransaction(const std::function<CWzError()>& body) {
    CWzError err = m_db.Exec("BEGIN IMMEDIATE");
    if (err.IsError()) return err;
    m_newFiles.clear();
    err = body();
    if (err.IsError()) {
        (void)m_db.Exec("ROLLBACK");  // the body's failure is the one reported
        // Files written for rows that were rolled back go too.
        for (const std::string& path : m_newFiles) ::unlink(path.c_str());
        m_newFiles.clear();
        return err;
    }
    m_newFiles.clear();
    return m_db.Exec("COMMIT");
}

CWzError SqlSimInstance::Create(const SqlSimServerSpec& desc) {
    CWzError err = SqlSimInstanceName::Parse(desc.name, m_location);
    if (err.IsError()) return err;
    if (desc.version.empty()) return InvalidArg(FXCODELOC, "empty SQL Server version");
    std::string path = m_location.CatalogPath();
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        return InvalidArg(FXCODELOC, "SQL Server instance [" + desc.name + "] exists already");
    }
    if (wz::MakeDirectoryTree(wz::PlatformPath(m_location.RelativeDirectory())) != 0) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "cannot create the directory of instance [%s]",
                                       desc.name.c_str());
    }
    err = m_db.Open(path, true);
    if (err.IsError()) return err;
    m_name = m_location.FullName();
    err = InTransaction([&] {
        CWzError e = m_db.Exec(kSchema);
        if (e.IsError()) return e;
        return m_db.Prepare("INSERT INTO server VALUES(?, ?, ?, ?, ?)")
            .Bind(1, m_name)
            .Bind(2, desc.version)
            .Bind(3, int64_t{desc.clustered})
            .Bind(4, int64_t{desc.running})
            .Bind(5, int64_t{desc.integratedLogin})
            .Run();
    });
    for (const char* system : {"master", "tempdb", "model", "msdb"}) {
        if (err.IsError()) break;
        SqlSimDatabaseSpec db;
        db.name = system;
        db.recoveryModel = std::string(system) == "model" || std::string(system) == "msdb" ? "FULL" : "SIMPLE";
        err = AddDatabase(db);
    }
    if (err.IsError()) {
        m_db.Close();
        std::filesystem::remove_all(wz::PlatformPath(m_location.RelativeDirectory()), ec);
        return err.Push(FXCODELOC, "cannot create SQL Server instance [%s]", desc.name.c_str());
    }
    return CWzError::Success();
}

CWzError SqlSimInstance::Open(const std::string& name) {
    CWzError err = SqlSimInstanceName::Parse(name, m_location);
    if (err.IsError()) return err;
    return SqlSimOpenCatalog(m_location, "SQL Server", m_db, m_name, &m_runningWhenOpened);
}

std::vector<std::string> SqlSimInstance::ListInstances() { return SqlSimListInstances("mssql"); }

CWzError SqlSimInstance::SetServiceRunning(bool running) {
    return m_db.Prepare("UPDATE server SET running = ?").Bind(1, int64_t{running}).Run();
}

CWzError SqlSimInstance::DatabaseId(const std::string& database, int64_t& id) {
    SimSqlStatement q = m_db.Prepare("SELECT id FROM databases WHERE name = ?");
    q.Bind(1, database);
    if (q.Step()) {
        id = q.Int(0);
        return CWzError::Success();
    }
    if (q.Error().IsError()) return q.Error();
    return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "database [%s] does not exist", database.c_str());
}

CWzError SqlSimInstance::FileGroupId(int64_t databaseId, const std::string& group, int64_t& id) {
    SimSqlStatement q = m_db.Prepare("SELECT id FROM filegroups WHERE database_id = ? AND name = ?");
    q.Bind(1, databaseId).Bind(2, group);
    if (q.Step()) {
        id = q.Int(0);
        return CWzError::Success();
    }
    if (q.Error().IsError()) return q.Error();
    return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "file group [%s] does not exist", group.c_str());
}

CWzError SqlSimInstance::AddFileRow(int64_t databaseId, int64_t fileGroupId, int type,
                                    const std::string& logicalName, const std::string& physicalName,
                                    uint64_t size) {
    if (size > kMaxFileSize) {
        return InvalidArg(FXCODELOC, wz::Format("file [%s] is larger than %llu bytes", logicalName.c_str(),
                                                static_cast<unsigned long long>(kMaxFileSize)));
    }
    SimSqlStatement next = m_db.Prepare("SELECT COALESCE(MAX(id), 0) + 1 FROM files WHERE database_id = ?");
    next.Bind(1, databaseId);
    if (!next.Step()) return next.Error();
    int64_t fileId = next.Int(0);

    std::string relative = physicalName;
    std::error_code ec;
    if (relative.empty()) {
        const char* extension = type == kFileLog ? ".ldf" : (fileId == 1 ? ".mdf" : ".ndf");
        relative = FileNameOf(logicalName) + extension;
        if (std::filesystem::exists(m_location.DataDirectory() + "/" + relative, ec)) {
            relative = FileNameOf(logicalName) + wz::Format("_%lld_%lld", static_cast<long long>(databaseId),
                                                            static_cast<long long>(fileId)) + extension;
        }
    }
    CWzError err = CheckRelativePath(relative);
    if (err.IsError()) return err;
    std::string path = m_location.DataDirectory() + "/" + relative;

    SimSqlStatement insert = m_db.Prepare("INSERT INTO files VALUES(?, ?, ?, ?, ?, ?, ?)");
    insert.Bind(1, databaseId).Bind(2, fileId);
    if (fileGroupId > 0) {
        insert.Bind(3, fileGroupId);
    } else {
        insert.BindNull(3);
    }
    insert.Bind(4, logicalName).Bind(5, path).Bind(6, int64_t{type}).Bind(7, static_cast<int64_t>(size));
    err = insert.Run();
    if (err.IsError()) return err.Push(FXCODELOC, "cannot add file [%s]", logicalName.c_str());
    err = WriteDatabaseFile(path, size, wz::Fnv1a(path));
    if (err.IsSuccess()) m_newFiles.push_back(path);
    return err;
}

CWzError SqlSimInstance::AddDatabase(const SqlSimDatabaseSpec& desc, int64_t* id) {
    CWzError err = CheckName("database", desc.name);
    if (err.IsError()) return err;
    if (SqlDbStateText(desc.state).empty()) return InvalidArg(FXCODELOC, wz::Format("invalid state %d", desc.state));
    if (!OneOf(desc.recoveryModel, {"FULL", "BULK_LOGGED", "SIMPLE"})) {
        return InvalidArg(FXCODELOC, "invalid recovery model [" + desc.recoveryModel + "]");
    }
    if (!OneOf(desc.userAccess, {"MULTI_USER", "SINGLE_USER", "RESTRICTED_USER"})) {
        return InvalidArg(FXCODELOC, "invalid user access [" + desc.userAccess + "]");
    }
    int64_t created = desc.creationTime != 0 ? desc.creationTime : static_cast<int64_t>(std::time(nullptr));
    int64_t newId = 0;
    err = InTransaction([&] {
        const bool system =
            desc.name == "master" || desc.name == "tempdb" || desc.name == "model" || desc.name == "msdb";
        if (CWzError e = SqlSimNewDatabaseId(*this, desc.name, system ? 1 : kSqlSimFirstUserDatabaseId, newId);
            e.IsError()) {
            return e;
        }
        CWzError e = m_db.Prepare("INSERT INTO databases VALUES(?, ?, ?, ?, ?, ?, ?, NULL, NULL)")
                         .Bind(1, newId)
                         .Bind(2, desc.name)
                         .Bind(3, int64_t{desc.state})
                         .Bind(4, SqlSimUpper(desc.recoveryModel))
                         .Bind(5, int64_t{desc.readOnly})
                         .Bind(6, SqlSimUpper(desc.userAccess))
                         .Bind(7, created)
                         .Run();
        if (e.IsError()) return e.Push(FXCODELOC, "cannot add database [%s]", desc.name.c_str());
        e = m_db.Prepare("INSERT INTO filegroups VALUES(?, 1, 'PRIMARY', 1)").Bind(1, newId).Run();
        if (e.IsError()) return e;
        e = AddFileRow(newId, 1, kFileData, desc.name, "", desc.dataSize);
        if (e.IsError()) return e;
        return AddFileRow(newId, 0, kFileLog, desc.name + "_log", "", desc.logSize);
    });
    if (err.IsError()) return err;
    if (id != nullptr) *id = newId;
    return CWzError::Success();
}

CWzError SqlSimInstance::AddFileGroup(const std::string& database, const std::string& group) {
    CWzError err = CheckName("file group", group);
    if (err.IsError()) return err;
    int64_t databaseId = 0;
    err = DatabaseId(database, databaseId);
    if (err.IsError()) return err;
    err = m_db
              .Prepare("INSERT INTO filegroups SELECT ?, COALESCE(MAX(id), 0) + 1, ?, 0 FROM filegroups "
                       "WHERE database_id = ?")
              .Bind(1, databaseId)
              .Bind(2, group)
              .Bind(3, databaseId)
              .Run();
    if (err.IsError()) return err.Push(FXCODELOC, "cannot add file group [%s]", group.c_str());
    return CWzError::Success();
}

CWzError SqlSimInstance::AddFile(const SqlSimFileSpec& desc) {
    CWzError err = CheckName("logical file", desc.logicalName);
    if (err.IsError()) return err;
    int64_t databaseId = 0;
    err = DatabaseId(desc.database, databaseId);
    if (err.IsError()) return err;
    int64_t groupId = 0;
    if (!desc.fileGroup.empty()) {
        err = FileGroupId(databaseId, desc.fileGroup, groupId);
        if (err.IsError()) return err;
    }
    return InTransaction([&] {
        CWzError e = AddFileRow(databaseId, groupId, groupId > 0 ? kFileData : kFileLog, desc.logicalName,
                                desc.physicalName, desc.size);
        // The database's log records the file, as restores and backups need.
        if (e.IsSuccess()) e = SqlSimChanges(*this).LogAddedFile(desc.database, desc.logicalName);
        return e;
    });
}

CWzError SqlSimInstance::SetDatabaseState(const std::string& database, int state) {
    if (SqlDbStateText(state).empty()) return InvalidArg(FXCODELOC, wz::Format("invalid state %d", state));
    int64_t id = 0;
    CWzError err = DatabaseId(database, id);
    if (err.IsError()) return err;
    return m_db.Prepare("UPDATE databases SET state = ? WHERE id = ?").Bind(1, int64_t{state}).Bind(2, id).Run();
}

CWzError SqlSimInstance::AddLogin(const SqlSimLoginSpec& desc) {
    CWzError err = CheckName("login", desc.name);
    if (err.IsError()) return err;
    return InTransaction([&] {
        CWzError e = m_db.Prepare("INSERT INTO logins VALUES(?, ?, ?)")
                         .Bind(1, desc.name)
                         .Bind(2, desc.password)
                         .Bind(3, int64_t{desc.disabled})
                         .Run();
        if (e.IsError()) return e.Push(FXCODELOC, "cannot add login [%s]", desc.name.c_str());
        for (const std::string& role : desc.roles) {
            e = CheckName("server role", role);
            if (e.IsError()) return e;
            e = m_db.Prepare("INSERT OR IGNORE INTO login_roles VALUES(?, ?)").Bind(1, desc.name).Bind(2, role).Run();
            if (e.IsError()) return e;
        }
        return CWzError::Success();
    });
}

CWzError SqlSimInstance::AddAvailabilityGroup(const SqlSimAvailabilityGroupSpec& desc) {
    CWzError err = CheckName("availability group", desc.name);
    if (err.IsError()) return err;
    if (!OneOf(desc.backupPreference, {"PRIMARY", "SECONDARY", "SECONDARY_ONLY", "NONE"})) {
        return InvalidArg(FXCODELOC, "invalid backup preference [" + desc.backupPreference + "]");
    }
    err = m_db.Prepare("INSERT INTO availability_groups VALUES(?, ?, ?)")
              .Bind(1, desc.name)
              .Bind(2, desc.guid.empty() ? GuidOf(desc.name) : desc.guid)
              .Bind(3, SqlSimUpper(desc.backupPreference))
              .Run();
    if (err.IsError()) return err.Push(FXCODELOC, "cannot add availability group [%s]", desc.name.c_str());
    return CWzError::Success();
}

CWzError SqlSimInstance::AddReplica(const SqlSimReplicaSpec& desc) {
    CWzError err = CheckName("replica server", desc.serverName);
    if (err.IsError()) return err;
    if (!OneOf(desc.role, {"PRIMARY", "SECONDARY"}) ||
        !OneOf(desc.availabilityMode, {"SYNCHRONOUS_COMMIT", "ASYNCHRONOUS_COMMIT"}) ||
        !OneOf(desc.failoverMode, {"AUTOMATIC", "MANUAL"}) || desc.backupPriority < 0 || desc.backupPriority > 100) {
        return InvalidArg(FXCODELOC, "invalid replica settings for [" + desc.serverName + "]");
    }
    std::string host = desc.serverName.substr(0, desc.serverName.find('/'));
    err = m_db.Prepare("INSERT INTO ag_replicas VALUES(?, ?, ?, ?, ?, ?, ?)")
              .Bind(1, desc.group)
              .Bind(2, desc.serverName)
              .Bind(3, SqlSimUpper(desc.role))
              .Bind(4, SqlSimUpper(desc.availabilityMode))
              .Bind(5, SqlSimUpper(desc.failoverMode))
              .Bind(6, int64_t{desc.backupPriority})
              .Bind(7, desc.endpointUrl.empty() ? "TCP://" + host + ":5022" : desc.endpointUrl)
              .Run();
    if (err.IsError()) {
        return err.Push(FXCODELOC, "cannot add replica [%s] to availability group [%s]", desc.serverName.c_str(),
                        desc.group.c_str());
    }
    return CWzError::Success();
}

CWzError SqlSimInstance::JoinAvailabilityGroup(const std::string& group, const std::string& database,
                                               const std::string& syncState) {
    if (!OneOf(syncState, {"NOT_SYNCHRONIZING", "SYNCHRONIZING", "SYNCHRONIZED", "REVERTING", "INITIALIZING"})) {
        return InvalidArg(FXCODELOC, "invalid synchronization state [" + syncState + "]");
    }
    int64_t id = 0;
    CWzError err = DatabaseId(database, id);
    if (err.IsError()) return err;
    err = m_db.Prepare("UPDATE databases SET ag_name = (SELECT name FROM availability_groups WHERE name = ?), "
                       "ag_sync_state = ? WHERE id = ?")
              .Bind(1, group)
              .Bind(2, SqlSimUpper(syncState))
              .Bind(3, id)
              .Run();
    if (err.IsError()) return err;
    SimSqlStatement check = m_db.Prepare("SELECT ag_name IS NOT NULL FROM databases WHERE id = ?");
    check.Bind(1, id);
    if (!check.Step() || check.Int(0) == 0) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "availability group [%s] does not exist",
                                         group.c_str());
    }
    return CWzError::Success();
}

CWzError SqlSimInstance::AddBackupHistory(const SqlSimBackupSpec& desc, int64_t* id) {
    // Full, differential and log; file (F, G) and partial (P, Q) backups.
    if (std::string("DILFGPQ").find(desc.type) == std::string::npos || desc.type == '\0') {
        return InvalidArg(FXCODELOC, wz::Format("invalid backup type [%c]", desc.type));
    }
    if (desc.lastLsn < desc.firstLsn) return InvalidArg(FXCODELOC, "backup's last LSN is before its first LSN");
    int64_t databaseId = 0;
    CWzError err = DatabaseId(desc.database, databaseId);
    if (err.IsError()) return err;
    err = m_db.Prepare("INSERT INTO backup_history VALUES(NULL, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
              .Bind(1, desc.database)
              .Bind(2, std::string(1, desc.type))
              .Bind(3, static_cast<int64_t>(desc.firstLsn))
              .Bind(4, static_cast<int64_t>(desc.lastLsn))
              .Bind(5, static_cast<int64_t>(desc.checkpointLsn))
              .Bind(6, static_cast<int64_t>(desc.databaseBackupLsn))
              .Bind(7, desc.startTime)
              .Bind(8, desc.finishTime)
              .Bind(9, int64_t{desc.copyOnly})
              .Bind(10, desc.device)
              .Run();
    if (err.IsError()) return err;
    const int64_t historyId = m_db.LastInsertId();
    if (id != nullptr) *id = historyId;
    return SqlSimRecordBackupRecoveryPath(*this, historyId, databaseId);
}
