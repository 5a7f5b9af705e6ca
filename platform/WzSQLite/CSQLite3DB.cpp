// FX::CSQLite3DB: opening a database file and running single statements.
#include "WzSQLite/CSQLite3DB.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <sqlite3.h>

namespace FX {

namespace {

[[noreturn]] void Throw(sqlite3* db, int rc) {
    throw CSQLite3Exception(rc & 0xff, db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
}

// Owns a prepared statement until it is handed on.
struct StatementGuard {
    sqlite3_stmt* statement;
    ~StatementGuard() { sqlite3_finalize(statement); }
};

bool OnlyBlanksAndSemicolons(const char* tail) {
    for (; tail && *tail; ++tail) {
        if (!std::isspace(static_cast<unsigned char>(*tail)) && *tail != ';') return false;
    }
    return true;
}

}  // namespace

CSQLite3DB::CSQLite3DB(const std::string& path) {
    int rc = sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        std::string message = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc);
        sqlite3_close(m_db);
        m_db = nullptr;
        throw CSQLite3Exception(rc & 0xff, message);
    }
}

// close_v2 defers the close while cursors handed out are still alive.
CSQLite3DB::~CSQLite3DB() { sqlite3_close_v2(m_db); }

void CSQLite3DB::SetBusyTimeout(std::chrono::milliseconds timeout) {
    const auto limit = std::chrono::milliseconds(std::numeric_limits<int>::max());
    const auto bounded = std::clamp(timeout, std::chrono::milliseconds(0), limit);
    sqlite3_busy_timeout(m_db, static_cast<int>(bounded.count()));
}

sqlite3_stmt* CSQLite3DB::Prepare(const CSQLite3Sql& statement) {
    sqlite3_stmt* prepared = nullptr;
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(m_db, statement.text.c_str(), static_cast<int>(statement.text.size()), &prepared,
                                &tail);
    if (rc != SQLITE_OK) Throw(m_db, rc);
    StatementGuard guard{prepared};
    if (prepared == nullptr) throw CSQLite3Exception(SQLITE_MISUSE, "the statement text holds no statement");
    // One statement per call: text after it is refused rather than ignored.
    if (!OnlyBlanksAndSemicolons(tail)) throw CSQLite3Exception(SQLITE_MISUSE, "more than one statement in the text");
    if (sqlite3_bind_parameter_count(prepared) != static_cast<int>(statement.params.size())) {
        throw CSQLite3Exception(SQLITE_RANGE, "the number of values does not match the statement's parameters");
    }
    for (size_t i = 0; i < statement.params.size(); ++i) {
        const int index = static_cast<int>(i) + 1;
        const CSQLite3Value& value = statement.params[i];
        if (const int64_t* number = std::get_if<int64_t>(&value)) {
            rc = sqlite3_bind_int64(prepared, index, *number);
        } else if (const std::string* text = std::get_if<std::string>(&value)) {
            rc = sqlite3_bind_text64(prepared, index, text->data(), text->size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        } else {
            rc = sqlite3_bind_null(prepared, index);
        }
        if (rc != SQLITE_OK) Throw(m_db, rc);
    }
    guard.statement = nullptr;
    return prepared;
}

int CSQLite3DB::ExecDML(const CSQLite3Sql& statement) {
    StatementGuard guard{Prepare(statement)};
    int rc;
    while ((rc = sqlite3_step(guard.statement)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) Throw(m_db, rc);
    return sqlite3_changes(m_db);
}

int64_t CSQLite3DB::ExecScalarInt64(const CSQLite3Sql& statement, int64_t defaultValue) {
    StatementGuard guard{Prepare(statement)};
    int rc = sqlite3_step(guard.statement);
    if (rc == SQLITE_DONE) return defaultValue;
    if (rc != SQLITE_ROW) Throw(m_db, rc);
    if (sqlite3_column_type(guard.statement, 0) == SQLITE_NULL) return defaultValue;
    return sqlite3_column_int64(guard.statement, 0);
}

std::shared_ptr<CSQLite3Query> CSQLite3DB::ExecQuerySetup(const CSQLite3Sql& statement) {
    sqlite3_stmt* prepared = Prepare(statement);
    try {
        return std::make_shared<CSQLite3Query>(prepared);
    } catch (...) {
        sqlite3_finalize(prepared);
        throw;
    }
}

}  // namespace FX
