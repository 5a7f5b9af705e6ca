// SQLite access of the simulated instances: open, prepare, bind, step.
#include "JxsqlDMO/SimSqlDb.h"

#include <fcntl.h>
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

#include "JxsqlDMO/SimSqlReadCache.h"
#include "WzUtils/FXErrorUtil.h"

namespace {
// A busy catalogue (another session or process writing) is waited for, as
// the engine waits for a lock, bounded: SQLite's own busy handler, in real
// milliseconds. Its handler is not fair: a connection may wait through many
// turns of busy writers on a loaded machine, hence a minute.
constexpr int kBusyTimeoutMs = 60000;
// Finished statements a connection keeps for reuse.
constexpr size_t kIdleStatements = 64;
// Files a thread keeps a shared connection to.
constexpr size_t kSharedPerThread = 8;
}  // namespace

// How a shared connection takes part in the thread's read scope.
enum class SimSqlScopeState {
    kNone,         // not in a scope
    kCached,       // the file is as last read: kept rows answer, no transaction yet
    kTransaction,  // in the scope's read transaction; kept rows answer once the stamp is read under its lock
    kUncached,     // in the scope, kept rows unused (a write ran, or the stamp could not be read)
};

// An open SQLite connection and the finished statements kept for reuse.
struct SimSqlConnection {
    sqlite3* db = nullptr;
    std::unordered_multimap<std::string, sqlite3_stmt*> idle;
    bool shared = false;  // a thread's shared connection, which takes part in read scopes
    SimSqlScopeState scope = SimSqlScopeState::kNone;
    bool stampPending = false;  // in kTransaction: the stamp is read after the first step
    SimSqlReadCache cache;

    // Kept rows answer this statement only while they show the state the
    // scope reads.
    bool CacheAnswers() const {
        return scope == SimSqlScopeState::kCached || (scope == SimSqlScopeState::kTransaction && !stampPending);
    }

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

// An O_PATH descriptor of the file shared connections were opened on. Its
// link count tells whether the file is still the one at the path (a file
// removed or replaced has none left) without walking the path again, and
// closing it never drops SQLite's locks on the file, which closing a
// descriptor opened for reading or writing would.
class PathHandle {
public:
    explicit PathHandle(int fd) : m_fd(fd) {}
    ~PathHandle() {
        if (m_fd >= 0) ::close(m_fd);
    }
    PathHandle(const PathHandle&) = delete;
    PathHandle& operator=(const PathHandle&) = delete;

    bool StillLinked() const {
        struct stat info {};
        return ::fstat(m_fd, &info) == 0 && info.st_nlink > 0;
    }

private:
    int m_fd;
};

// The handle of the file at `path`, one for the whole process and shared by
// every thread's connection to it, so a host's session threads add one
// descriptor per catalogue, not one per thread: the handle already open while
// it is still linked, else a new one. Null, with `err` set, when the path
// cannot be opened.
std::shared_ptr<PathHandle> HandleOf(const std::string& path, int& err) {
    static std::mutex mutex;
    static std::unordered_map<std::string, std::weak_ptr<PathHandle>> handles;
    std::lock_guard<std::mutex> lock(mutex);
    if (handles.size() > 256) std::erase_if(handles, [](const auto& entry) { return entry.second.expired(); });
    std::weak_ptr<PathHandle>& slot = handles[path];
    if (std::shared_ptr<PathHandle> kept = slot.lock(); kept && kept->StillLinked()) return kept;
    const int fd = ::open(path.c_str(), O_PATH | O_CLOEXEC);
    if (fd < 0) {
        err = errno;
        handles.erase(path);
        return nullptr;
    }
    auto handle = std::make_shared<PathHandle>(fd);
    slot = handle;
    return handle;
}

// A thread's shared connection to one file, and the file it was opened on.
struct SharedConnection {
    std::string path;
    std::shared_ptr<PathHandle> file;
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

// Begins the scope's read transaction. Without it every statement reads on
// its own, as outside a scope: slower, not wrong, so a failure fails nothing.
void BeginReadTransaction(SimSqlConnection& connection) {
    if (RunKept(connection, "BEGIN") == SQLITE_OK) {
        connection.scope = SimSqlScopeState::kTransaction;
        connection.stampPending = true;
    } else {
        connection.scope = SimSqlScopeState::kUncached;
    }
}

// Joins a shared connection to the thread's read scope, if there is one.
void JoinReadScope(SharedConnections& shared, const std::shared_ptr<SimSqlConnection>& connection) {
    if (shared.readScopes == 0 || !connection->shared || connection->scope != SimSqlScopeState::kNone) return;
    if (sqlite3_get_autocommit(connection->db) == 0) return;  // in a transaction of its own
    shared.inReadScope.push_back(connection);
    SimSqlFileStamp stamp;
    if (SimSqlReadCache::ReadStamp(connection->db, stamp) && connection->cache.Matches(stamp)) {
        connection->scope = SimSqlScopeState::kCached;
        return;
    }
    BeginReadTransaction(*connection);
}

// A statement that may write, or SQL run past the statements, inside a scope:
// the transaction begins as for any statement in a scope, and kept rows no
// longer answer, since they would not show what it changes.
void LeaveCache(SimSqlConnection& connection) {
    if (connection.scope == SimSqlScopeState::kNone || connection.scope == SimSqlScopeState::kUncached) return;
    if (connection.scope == SimSqlScopeState::kCached) (void)RunKept(connection, "BEGIN");
    connection.scope = SimSqlScopeState::kUncached;
    connection.cache.Clear();
}

}  // namespace

SimSqlReadScope::SimSqlReadScope() { ++t_shared.readScopes; }

SimSqlReadScope::~SimSqlReadScope() {
    SharedConnections& shared = t_shared;
    if (--shared.readScopes > 0) return;
    for (const std::shared_ptr<SimSqlConnection>& connection : shared.inReadScope) {
        connection->scope = SimSqlScopeState::kNone;
        connection->stampPending = false;
        if (sqlite3_get_autocommit(connection->db) != 0) continue;
        // A read transaction only releases its lock on commit; should the
        // commit fail, the rollback releases it as well.
        if (RunKept(*connection, "COMMIT") != SQLITE_OK) {
            (void)sqlite3_exec(connection->db, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }
    shared.inReadScope.clear();
}

SimSqlStatement::SimSqlStatement() = default;

SimSqlStatement::SimSqlStatement(std::shared_ptr<SimSqlConnection> connection)
    : m_connection(std::move(connection)) {}

SimSqlStatement::~SimSqlStatement() { Release(); }

void SimSqlStatement::Release() {
    // A statement left before its end finishes recording, so a single-row
    // lookup is kept as well; the recording's own bound stops a long one.
    while (m_recording && StepSqlite()) {
    }
    m_recording.reset();
    m_cached.reset();
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
      m_error(std::move(other.m_error)),
      m_started(other.m_started),
      m_cached(std::move(other.m_cached)),
      m_row(other.m_row),
      m_key(std::move(other.m_key)),
      m_recording(std::move(other.m_recording)) {}

SimSqlStatement& SimSqlStatement::operator=(SimSqlStatement&& other) noexcept {
    if (this != &other) {
        Release();
        m_connection = std::move(other.m_connection);
        m_stmt = std::exchange(other.m_stmt, nullptr);
        m_error = std::move(other.m_error);
        m_started = other.m_started;
        m_cached = std::move(other.m_cached);
        m_row = other.m_row;
        m_key = std::move(other.m_key);
        m_recording = std::move(other.m_recording);
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

void SimSqlStatement::StartInReadScope() {
    SimSqlConnection& connection = *m_connection;
    if (connection.scope == SimSqlScopeState::kNone || connection.scope == SimSqlScopeState::kUncached) return;
    if (sqlite3_stmt_readonly(m_stmt) == 0) {
        LeaveCache(connection);
        return;
    }
    // Only queries: BEGIN, COMMIT and setting pragmas count as read-only too,
    // but must run each time.
    if (sqlite3_column_count(m_stmt) == 0) return;
    // The SQL with its bindings written in: the same text reads the same rows.
    char* expanded = sqlite3_expanded_sql(m_stmt);
    if (expanded == nullptr) return;  // runs uncached
    std::string key(expanded);
    sqlite3_free(expanded);
    if (connection.CacheAnswers()) {
        m_cached = connection.cache.Find(key);
        if (m_cached) return;
    }
    if (connection.scope == SimSqlScopeState::kCached) BeginReadTransaction(connection);
    if (connection.scope != SimSqlScopeState::kTransaction) return;
    m_key = std::move(key);
    m_recording = std::make_unique<SimSqlCachedRows>(sqlite3_column_count(m_stmt));
}

bool SimSqlStatement::StepSqlite() {
    const int rc = sqlite3_step(m_stmt);
    SimSqlConnection& connection = *m_connection;
    if (connection.scope == SimSqlScopeState::kTransaction && connection.stampPending &&
        (rc == SQLITE_ROW || rc == SQLITE_DONE)) {
        // The first step took the transaction's shared lock: the stamp read
        // now is the state every statement of the transaction reads.
        SimSqlFileStamp stamp;
        connection.stampPending = false;
        if (SimSqlReadCache::ReadStamp(connection.db, stamp)) {
            connection.cache.SetStamp(stamp);
        } else {
            LeaveCache(connection);
        }
    }
    if (m_recording) {
        // Rows are kept only under the stamp read in this transaction.
        const bool keep = connection.scope == SimSqlScopeState::kTransaction && !connection.stampPending;
        if (rc == SQLITE_DONE && keep) connection.cache.Store(std::move(m_key), std::move(*m_recording));
        if (rc != SQLITE_ROW || !keep || !m_recording->Append(m_stmt)) m_recording.reset();
    }
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) Fail(rc, "step");
    return false;
}

bool SimSqlStatement::Step() {
    if (m_stmt == nullptr || m_error.IsError()) return false;
    if (!m_started) {
        m_started = true;
        StartInReadScope();
    }
    if (m_cached) {
        if (m_row >= m_cached->Rows()) return false;
        ++m_row;
        return true;
    }
    return StepSqlite();
}

CWzError SimSqlStatement::Run() {
    while (Step()) {
    }
    return m_error;
}

std::string SimSqlStatement::Text(int column) const {
    if (m_cached) return m_cached->Text(m_row - 1, column);
    const unsigned char* text = sqlite3_column_text(m_stmt, column);
    if (text == nullptr) return std::string();
    return std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(sqlite3_column_bytes(m_stmt, column)));
}

int64_t SimSqlStatement::Int(int column) const {
    if (m_cached) return m_cached->Int(m_row - 1, column);
    return sqlite3_column_int64(m_stmt, column);
}

bool SimSqlStatement::IsNull(int column) const {
    if (m_cached) return m_cached->IsNull(m_row - 1, column);
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

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
    if (it != shared.list.end() && !it->file->StillLinked()) {
        shared.list.erase(it);  // removed or replaced: opened again from the path
        it = shared.list.end();
    }
    if (it == shared.list.end()) {
        int openErr = 0;
        std::shared_ptr<PathHandle> file = HandleOf(path, openErr);
        if (!file) return FXErrorUtil::ErrorErrNo(FXCODELOC, openErr, "cannot open catalogue [%s]", path.c_str());
        SharedConnection opened{path, std::move(file), nullptr};
        CWzError err = OpenConnection(path, false, opened.connection);
        if (err.IsError()) return err;
        opened.connection->shared = true;
        shared.list.push_front(std::move(opened));
        if (shared.list.size() > kSharedPerThread) shared.list.pop_back();
    } else if (it != shared.list.begin()) {
        shared.list.splice(shared.list.begin(), shared.list, it);
    }
    m_connection = shared.list.front().connection;
    return CWzError::Success();
}

CWzError SimSqlDb::Exec(const std::string& sql) {
    if (!m_connection) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "catalogue is not open");
    JoinReadScope(t_shared, m_connection);
    LeaveCache(*m_connection);
    char* message = nullptr;
    int rc = sqlite3_exec(m_connection->db, sql.c_str(), nullptr, nullptr, &message);
    if (rc == SQLITE_OK) return CWzError::Success();
    CWzError err = FXErrorUtil::ErrorSQLite(FXCODELOC, rc, "%s", message != nullptr ? message : sqlite3_errstr(rc));
    sqlite3_free(message);
    return err;
}

CWzError SimSqlDb::RunInTransaction(const std::function<CWzError()>& body) {
    if (!m_connection) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "catalogue is not open");
    // Savepoints of one name nest: each RELEASE or ROLLBACK TO names the
    // innermost one still open.
    const bool nested = sqlite3_get_autocommit(m_connection->db) == 0;
    if (CWzError e = Exec(nested ? "SAVEPOINT jx_nested" : "BEGIN IMMEDIATE"); e.IsError()) return e;
    CWzError err = body();
    if (err.IsSuccess()) err = Exec(nested ? "RELEASE jx_nested" : "COMMIT");
    if (err.IsError()) {
        // The body's failure is the one to report.
        (void)Exec(nested ? "ROLLBACK TO jx_nested" : "ROLLBACK");
        if (nested) (void)Exec("RELEASE jx_nested");
    }
    return err;
}

SimSqlStatement SimSqlDb::Prepare(const std::string& sql) {
    SimSqlStatement statement(m_connection);
    if (!m_connection) {
        statement.m_error = FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "catalogue is not open");
        return statement;
    }
    JoinReadScope(t_shared, m_connection);
    statement.m_stmt = m_connection->TakeIdle(sql);
    if (statement.m_stmt != nullptr) return statement;
    int rc = sqlite3_prepare_v2(m_connection->db, sql.c_str(), -1, &statement.m_stmt, nullptr);
    if (rc != SQLITE_OK) statement.Fail(rc, "prepare");
    return statement;
}

int64_t SimSqlDb::LastInsertId() const { return m_connection ? sqlite3_last_insert_rowid(m_connection->db) : 0; }

int SimSqlDb::Changes() const { return m_connection ? sqlite3_changes(m_connection->db) : 0; }
