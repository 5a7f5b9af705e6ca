// SQLite access of the simulated instances: open, prepare, bind, step.
#include "JxsqlDMO/SimSqlDb.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <list>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "WzUtils/FXErrorUtil.h"

namespace {
// A busy catalogue (another process of the test writing) is waited for,
// bounded: SQLite's own busy handler, in real milliseconds.
constexpr int kBusyTimeoutMs = 5000;
// Finished statements a connection keeps for reuse.
constexpr size_t kIdleStatements = 64;
// Files a thread keeps a shared connection to.
constexpr size_t kSharedPerThread = 8;
}  // namespace

// An open SQLite connection and the finished statements kept for reuse.
struct SimSqlConnection {
    sqlite3* db = nullptr;
    std::unordered_multimap<std::string, sqlite3_stmt*> idle;

    ~SimSqlConnection() {
        for (auto& [sql, stmt] : idle) sqlite3_finalize(stmt);
        sqlite3_close_v2(db);
    }

    sqlite3_stmt* TakeIdle(const std::string& sql) {
        auto it = idle.find(sql);
        if (it == idle.end()) return nullptr;
        sqlite3_stmt* stmt = it->second;
        idle.erase(it);
        return stmt;
    }

    void GiveBack(sqlite3_stmt* stmt) {
        // A reset ends the statement's read, so a kept statement holds no lock.
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        if (idle.size() >= kIdleStatements) {
            sqlite3_finalize(stmt);
            return;
        }
        idle.emplace(sqlite3_sql(stmt), stmt);
    }
};

namespace {

// Counts forks, so a child does not go on with its parent's connections.
std::atomic<uint64_t> g_forks{0};

// SQLite's memory statistics take one process-wide mutex on every allocation,
// which serialises the sessions of a host; nothing here reads them. The
// setting only takes before SQLite initialises; later it is refused, harmlessly.
void ConfigureSqliteOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        (void)sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        ::pthread_atfork(nullptr, nullptr, [] { ++g_forks; });
    });
}

CWzError OpenConnection(const std::string& path, bool create, std::shared_ptr<SimSqlConnection>& out) {
    ConfigureSqliteOnce();
    auto connection = std::make_shared<SimSqlConnection>();
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path.c_str(), &connection->db, flags, nullptr);
    if (rc != SQLITE_OK) {
        return FXErrorUtil::ErrorSQLite(FXCODELOC, rc, "cannot open catalogue [%s]: %s", path.c_str(),
                                        connection->db != nullptr ? sqlite3_errmsg(connection->db) : sqlite3_errstr(rc));
    }
    sqlite3_busy_timeout(connection->db, kBusyTimeoutMs);
    char* message = nullptr;
    rc = sqlite3_exec(connection->db, "PRAGMA foreign_keys = ON", nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        CWzError err = FXErrorUtil::ErrorSQLite(FXCODELOC, rc, "%s", message != nullptr ? message : sqlite3_errstr(rc));
        sqlite3_free(message);
        return err;
    }
    out = std::move(connection);
    return CWzError::Success();
}

// A thread's shared connection to one file, and which file it was opened on.
struct SharedConnection {
    std::string path;
    dev_t device = 0;
    ino_t inode = 0;
    std::shared_ptr<SimSqlConnection> connection;
};

struct SharedConnections {
    uint64_t forks = 0;                // a forked child opens its own
    std::list<SharedConnection> list;  // most recently used first
    int readScopes = 0;                // SimSqlReadScope objects alive
    // Connections whose read transaction the outermost scope commits.
    std::vector<std::shared_ptr<SimSqlConnection>> inReadScope;
};

thread_local SharedConnections t_shared;

// Runs a statement without parameters or rows (BEGIN, COMMIT) on a kept
// prepared statement.
int RunKept(SimSqlConnection& connection, const char* sql) {
    sqlite3_stmt* stmt = connection.TakeIdle(sql);
    if (stmt == nullptr) {
        int rc = sqlite3_prepare_v2(connection.db, sql, -1, &stmt, nullptr);
        if (rc != SQLITE_OK) return rc;
    }
    int rc = sqlite3_step(stmt);
    connection.GiveBack(stmt);
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

// Joins a shared connection to the thread's read scope, if there is one.
void JoinReadScope(SharedConnections& shared, const std::shared_ptr<SimSqlConnection>& connection) {
    if (shared.readScopes == 0 || sqlite3_get_autocommit(connection->db) == 0) return;
    // Without the transaction every statement reads on its own, as outside
    // a scope: slower, not wrong, so a failure here fails nothing.
    if (RunKept(*connection, "BEGIN") == SQLITE_OK) shared.inReadScope.push_back(connection);
}

}  // namespace

SimSqlReadScope::SimSqlReadScope() { ++t_shared.readScopes; }

SimSqlReadScope::~SimSqlReadScope() {
    SharedConnections& shared = t_shared;
    if (--shared.readScopes > 0) return;
    for (const std::shared_ptr<SimSqlConnection>& connection : shared.inReadScope) {
        if (sqlite3_get_autocommit(connection->db) != 0) continue;
        // A read transaction only releases its lock on commit; should the
        // commit fail, the rollback releases it as well.
        if (RunKept(*connection, "COMMIT") != SQLITE_OK) {
            (void)sqlite3_exec(connection->db, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }
    shared.inReadScope.clear();
}

SimSqlStatement::SimSqlStatement(std::shared_ptr<SimSqlConnection> connection)
    : m_connection(std::move(connection)) {}

SimSqlStatement::~SimSqlStatement() { Release(); }

void SimSqlStatement::Release() {
    if (m_stmt != nullptr) {
        if (m_connection) {
            m_connection->GiveBack(m_stmt);
        } else {
            sqlite3_finalize(m_stmt);
        }
    }
    m_stmt = nullptr;
}

SimSqlStatement::SimSqlStatement(SimSqlStatement&& other) noexcept
    : m_connection(std::move(other.m_connection)),
      m_stmt(std::exchange(other.m_stmt, nullptr)),
      m_error(std::move(other.m_error)) {}

SimSqlStatement& SimSqlStatement::operator=(SimSqlStatement&& other) noexcept {
    if (this != &other) {
        Release();
        m_connection = std::move(other.m_connection);
        m_stmt = std::exchange(other.m_stmt, nullptr);
        m_error = std::move(other.m_error);
    }
    return *this;
}

void SimSqlStatement::Fail(int rc, const char* what) {
    if (m_error.IsError()) return;  // keep the first failure
    m_error = FXErrorUtil::ErrorSQLite(FXCODELOC, rc, "%s failed: %s", what,
                                       m_connection ? sqlite3_errmsg(m_connection->db) : sqlite3_errstr(rc));
}

SimSqlStatement& SimSqlStatement::Bind(int index, const std::string& text) {
    if (m_stmt == nullptr) return *this;
    int rc = sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) Fail(rc, "bind");
    return *this;
}

SimSqlStatement& SimSqlStatement::Bind(int index, int64_t value) {
    if (m_stmt == nullptr) return *this;
    int rc = sqlite3_bind_int64(m_stmt, index, value);
    if (rc != SQLITE_OK) Fail(rc, "bind");
    return *this;
}

SimSqlStatement& SimSqlStatement::BindNull(int index) {
    if (m_stmt == nullptr) return *this;
    int rc = sqlite3_bind_null(m_stmt, index);
    if (rc != SQLITE_OK) Fail(rc, "bind");
    return *this;
}

bool SimSqlStatement::Step() {
    if (m_stmt == nullptr || m_error.IsError()) return false;
    int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) Fail(rc, "step");
    return false;
}

CWzError SimSqlStatement::Run() {
    while (Step()) {
    }
    return m_error;
}

std::string SimSqlStatement::Text(int column) const {
    const unsigned char* text = sqlite3_column_text(m_stmt, column);
    if (text == nullptr) return std::string();
    return std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(sqlite3_column_bytes(m_stmt, column)));
}

int64_t SimSqlStatement::Int(int column) const { return sqlite3_column_int64(m_stmt, column); }

bool SimSqlStatement::IsNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }

SimSqlDb::~SimSqlDb() { Close(); }

void SimSqlDb::Close() { m_connection.reset(); }

CWzError SimSqlDb::Open(const std::string& path, bool create) {
    Close();
    return OpenConnection(path, create, m_connection);
}

CWzError SimSqlDb::OpenShared(const std::string& path) {
    Close();
    SharedConnections& shared = t_shared;
    if (shared.forks != g_forks) {
        shared.list.clear();
        shared.forks = g_forks;
    }
    auto it = std::find_if(shared.list.begin(), shared.list.end(),
                           [&](const SharedConnection& c) { return c.path == path; });
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        const int err = errno;
        if (it != shared.list.end()) shared.list.erase(it);
        return FXErrorUtil::ErrorErrNo(FXCODELOC, err, "cannot open catalogue [%s]", path.c_str());
    }
    // The connection holds the file open, so its inode number cannot be
    // reused: another number means the file was replaced.
    if (it != shared.list.end() && (it->device != info.st_dev || it->inode != info.st_ino)) {
        shared.list.erase(it);
        it = shared.list.end();
    }
    if (it == shared.list.end()) {
        SharedConnection opened{path, info.st_dev, info.st_ino, nullptr};
        CWzError err = OpenConnection(path, false, opened.connection);
        if (err.IsError()) return err;
        shared.list.push_front(std::move(opened));
        if (shared.list.size() > kSharedPerThread) shared.list.pop_back();
    } else if (it != shared.list.begin()) {
        shared.list.splice(shared.list.begin(), shared.list, it);
    }
    m_connection = shared.list.front().connection;
    JoinReadScope(shared, m_connection);
    return CWzError::Success();
}

CWzError SimSqlDb::Exec(const std::string& sql) {
    if (!m_connection) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "catalogue is not open");
    char* message = nullptr;
    int rc = sqlite3_exec(m_connection->db, sql.c_str(), nullptr, nullptr, &message);
    if (rc == SQLITE_OK) return CWzError::Success();
    CWzError err = FXErrorUtil::ErrorSQLite(FXCODELOC, rc, "%s", message != nullptr ? message : sqlite3_errstr(rc));
    sqlite3_free(message);
    return err;
}

SimSqlStatement SimSqlDb::Prepare(const std::string& sql) {
    SimSqlStatement statement(m_connection);
    if (!m_connection) {
        statement.m_error = FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "catalogue is not open");
        return statement;
    }
    statement.m_stmt = m_connection->TakeIdle(sql);
    if (statement.m_stmt != nullptr) return statement;
    int rc = sqlite3_prepare_v2(m_connection->db, sql.c_str(), -1, &statement.m_stmt, nullptr);
    if (rc != SQLITE_OK) statement.Fail(rc, "prepare");
    return statement;
}

int64_t SimSqlDb::LastInsertId() const { return m_connection ? sqlite3_last_insert_rowid(m_connection->db) : 0; }

int SimSqlDb::Changes() const { return m_connection ? sqlite3_changes(m_connection->db) : 0; }
