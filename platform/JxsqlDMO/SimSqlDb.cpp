// SQLite access of the simulated instances: open, prepare, bind, step.
#include "JxsqlDMO/SimSqlDb.h"

#include <sqlite3.h>

#include <utility>

#include "WzUtils/FXErrorUtil.h"

namespace {
// A busy catalogue (another process of the test writing) is waited for,
// bounded: SQLite's own busy handler, in real milliseconds.
constexpr int kBusyTimeoutMs = 5000;
}  // namespace

SimSqlStatement::~SimSqlStatement() {
    if (m_stmt != nullptr) sqlite3_finalize(m_stmt);
}

SimSqlStatement::SimSqlStatement(SimSqlStatement&& other) noexcept
    : m_db(std::exchange(other.m_db, nullptr)),
      m_stmt(std::exchange(other.m_stmt, nullptr)),
      m_error(std::move(other.m_error)) {}

SimSqlStatement& SimSqlStatement::operator=(SimSqlStatement&& other) noexcept {
    if (this != &other) {
        if (m_stmt != nullptr) sqlite3_finalize(m_stmt);
        m_db = std::exchange(other.m_db, nullptr);
        m_stmt = std::exchange(other.m_stmt, nullptr);
        m_error = std::move(other.m_error);
    }
    return *this;
}

void SimSqlStatement::Fail(int rc, const char* what) {
    if (m_error.IsError()) return;  // keep the first failure
    m_error = FXErrorUtil::ErrorSQLite(FXCODELOC, rc, "%s failed: %s", what,
                                       m_db != nullptr ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc));
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

void SimSqlDb::Close() {
    if (m_db != nullptr) sqlite3_close(m_db);
    m_db = nullptr;
}

CWzError SimSqlDb::Open(const std::string& path, bool create) {
    Close();
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        CWzError err = FXErrorUtil::ErrorSQLite(FXCODELOC, rc, "cannot open catalogue [%s]: %s", path.c_str(),
                                                m_db != nullptr ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc));
        Close();
        return err;
    }
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    return Exec("PRAGMA foreign_keys = ON");
}

CWzError SimSqlDb::Exec(const std::string& sql) {
    if (m_db == nullptr) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "catalogue is not open");
    char* message = nullptr;
    int rc = sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &message);
    if (rc == SQLITE_OK) return CWzError::Success();
    CWzError err = FXErrorUtil::ErrorSQLite(FXCODELOC, rc, "%s", message != nullptr ? message : sqlite3_errstr(rc));
    sqlite3_free(message);
    return err;
}

SimSqlStatement SimSqlDb::Prepare(const std::string& sql) {
    SimSqlStatement statement(m_db, nullptr);
    if (m_db == nullptr) {
        statement.m_error = FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "catalogue is not open");
        return statement;
    }
    int rc = sqlite3_prepare_v2(m_db, sql.c_str(), -1, &statement.m_stmt, nullptr);
    if (rc != SQLITE_OK) statement.Fail(rc, "prepare");
    return statement;
}

int64_t SimSqlDb::LastInsertId() const { return m_db != nullptr ? sqlite3_last_insert_rowid(m_db) : 0; }

int SimSqlDb::Changes() const { return m_db != nullptr ? sqlite3_changes(m_db) : 0; }
