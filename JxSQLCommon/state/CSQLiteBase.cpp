// CSQLiteBase: opening a state database and running its statements.
#include "JxSQLCommon/state/CSQLiteBase.h"

#include <sys/stat.h>

#include "JxLib/EvDebug.h"
#include "WzSQLite/CSQLite3DB.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/FXPath.h"
#include "WzUtils/WzClock.h"
#include "WzUtils/WzFileSystem.h"

namespace {

constexpr int kBusyAttempts = 60;
constexpr uint32_t kBusyRetryMs = 2000;
constexpr int kSQLiteBusy = 5;

constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;
constexpr uint32_t ERROR_INVALID_PARAMETER = 87;
constexpr uint32_t ERROR_INVALID_DATA_PATH = 310;  // cannot create or open the database file
constexpr uint32_t ERROR_UNKNOWN_EXCEPTION = 774;
constexpr uint32_t ERROR_DATABASE_PATH_EMPTY = 4306;

// Quoting of names put into statement text: a quote character inside the
// name is doubled, as SQL reads it; plain names come out unchanged.
std::string Quoted(const std::string& name, char open, char close) {
    std::string out(1, open);
    for (char c : name) {
        out += c;
        if (c == close) out += c;
    }
    out += close;
    return out;
}

std::string TableName(const std::string& table) { return Quoted(table, '"', '"'); }

// SQLite's square brackets have no escape for "]": such a name is written
// in double quotes instead.
std::string IndexName(const std::string& index) {
    return index.find(']') == std::string::npos ? Quoted(index, '[', ']') : TableName(index);
}

FX::CSQLite3Sql WithCondition(const FX::CSQLite3Sql& head, const FX::CSQLite3Sql& condition) {
    return condition.empty() ? head : head + " WHERE " + condition;
}

CWzError NotConnected(const FXCodeLocation& where) {
    return FXErrorUtil::ErrorHResult(where, WZ_E_POINTER, "Not connected to the database. Connection object is null.");
}

}  // namespace

CSQLiteBase::CSQLiteBase(const std::string& directory, const std::string& name) : m_name(name) {
    m_fullName = directory;
    if (FXPath::Append(m_fullName, name).IsError()) m_fullName = directory + "/";  // empty name: Open refuses it
    m_fullName += ".db";
}

CSQLiteBase::~CSQLiteBase() = default;

EvDebug CSQLiteBase::Log() const {
    EvDebug log;
    log.setJobId(static_cast<uint64_t>(m_jobId));
    return log;
}

bool CSQLiteBase::Exists() const {
    struct stat info {};
    return wz::Fs().Stat(m_fullName, &info) == 0;
}

CWzError CSQLiteBase::Open(bool create) const {
    const size_t slash = m_fullName.rfind('/');
    if (slash == std::string::npos || m_name.empty()) {  // "/x.db" lies in the folder "/"
        return FXErrorUtil::ErrorWin32(FXCODELOC, ERROR_DATABASE_PATH_EMPTY, "Database path or name is empty.");
    }
    if (!create && !Exists()) {
        return FXErrorUtil::ErrorWin32(FXCODELOC, ERROR_FILE_NOT_FOUND, "Cannot find the database file: %s",
                                       m_fullName.c_str());
    }
    try {
        m_db = std::make_unique<FX::CSQLite3DB>(m_fullName);
    } catch (const std::exception& e) {
        return FXErrorUtil::ErrorWin32(FXCODELOC, ERROR_INVALID_DATA_PATH,
                                       create ? "Cannot create/open the database file [%s] - [%s]"
                                              : "Cannot open the database file [%s] - [%s]",
                                       m_fullName.c_str(), e.what());
    }
    return CWzError::Success();
}

CWzError CSQLiteBase::OpenDB() const { return Open(false); }

CWzError CSQLiteBase::OpenOrCreateDB() const { return Open(true); }

void CSQLiteBase::CloseDB() const { m_db.reset(); }

bool CSQLiteBase::Connected() const { return m_db != nullptr; }

CWzError CSQLiteBase::ExecDML(const FX::CSQLite3Sql& statement, int64_t& result, bool scalar) const {
    if (statement.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "query is empty");
    if (!Connected()) return NotConnected(FXCODELOC);
    return RunWithBusyRetry(statement, result, scalar);
}

CWzError CSQLiteBase::RunWithBusyRetry(const FX::CSQLite3Sql& statement, int64_t& result, bool scalar) const {
    // The locked variant connects per use, so the database object is checked
    // here too and not only through the virtual Connected().
    if (!m_db) return NotConnected(FXCODELOC);
    EvDebug log = Log();
    CWzError error;
    for (int attempt = 0; attempt < kBusyAttempts; ++attempt) {
        error = CWzError::Success();
        result = 0;
        log.Tagged(__FILE_NAME__, __LINE__, EvDebug::kInfo, 2, "  Running %s: %s", scalar ? "scalar query" : "query",
                   statement.text.c_str());
        try {
            result = scalar ? m_db->ExecScalarInt64(statement, 0) : m_db->ExecDML(statement);
        } catch (const FX::CSQLite3Exception& e) {
            const char* message = e.errorMessage();
            error = FXErrorUtil::ErrorSQLite(FXCODELOC, e.errorCode(), "SQLite Exception%s%s", message ? ", " : "",
                                             message ? message : "");
        } catch (...) {
            error = FXErrorUtil::ErrorWin32(FXCODELOC, ERROR_UNKNOWN_EXCEPTION, "Unknown exception");
        }
        if (FXErrorUtil::GetSQLite(error) != kSQLiteBusy) break;
        log.Tagged(__FILE_NAME__, __LINE__, EvDebug::kInfo, 0, "SQLite DB is busy. Will try again after %d seconds.",
                   static_cast<int>(kBusyRetryMs / 1000));
        WZSLEEP_InTeRnAl(kBusyRetryMs);
    }
    if (error.IsError()) return error.Push(FXCODELOC, "Failed to execute the query [%s]", statement.text.c_str());
    return CWzError::Success();
}

CWzError CSQLiteBase::ExecScalarInt64(const FX::CSQLite3Sql& statement, long& result) const {
    int64_t value = 0;
    CWzError error = ExecDML(statement, value, true);
    result = static_cast<long>(value);
    return error;
}

std::unique_ptr<SQueryHandle> CSQLiteBase::ExecuteQuery(const FX::CSQLite3Sql& statement) const {
    EvDebug log = Log();
    if (statement.empty() || !Connected() || !m_db) {
        log.Tagged(__FILE_NAME__, __LINE__, EvDebug::kInfo, 0, "Empty query passed or not connected to the database.");
        return nullptr;
    }
    auto handle = std::make_unique<SQueryHandle>();
    try {
        handle->m_query = m_db->ExecQuerySetup(statement);
    } catch (const std::exception& e) {
        log.Tagged(__FILE_NAME__, __LINE__, EvDebug::kError, 0, "Failed to execute the query [%s]. Error: [%s]",
                   statement.text.c_str(), e.what());
        return nullptr;
    }
    return handle;
}

CWzError CSQLiteBase::DoesSQLObjectExists(const std::string& objectName, bool& exists) const {
    exists = false;
    if (objectName.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "objName is empty");
    if (!Connected()) return NotConnected(FXCODELOC);
    int64_t count = 0;
    CWzError error = ExecDML(FX::CSQLite3Sql("SELECT COUNT(*) FROM SQLITE_MASTER WHERE NAME=?", {objectName}), count,
                             true);
    exists = count != 0;
    return error;
}

CWzError CSQLiteBase::CreateTable(const std::string& table, const std::string& tableSchema,
                                  const std::string& indexName, const std::string& indexSchema) const {
    if (table.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "tableName is empty");
    if (tableSchema.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "tableSchema is empty");
    if (!Connected()) return NotConnected(FXCODELOC);

    EvDebug log = Log();
    bool exists = false;
    CWzError error = DoesSQLObjectExists(table, exists);
    if (error.IsError()) return error.Push(FXCODELOC, "CreateTable");
    if (exists) {
        log.Tagged(__FILE_NAME__, __LINE__, EvDebug::kInfo, 0, "Table [%s] already exists.", table.c_str());
        return CWzError::Success();
    }
    int64_t ignored = 0;
    // The test below tells whether the table is there; the statement's own
    // result adds nothing to it.
    (void)ExecDML("CREATE TABLE " + TableName(table) + " ( " + tableSchema + ");", ignored, false);
    error = DoesSQLObjectExists(table, exists);
    if (error.IsError()) return error.Push(FXCODELOC, "CreateTable");
    if (!exists) {
        return FXErrorUtil::ErrorWin32(FXCODELOC, ERROR_FILE_NOT_FOUND, "Failed to create the table [%s].",
                                       table.c_str());
    }
    log.Tagged(__FILE_NAME__, __LINE__, EvDebug::kInfo, 0, "Table [%s] created.", table.c_str());
    if (!indexName.empty()) {
        error = CreateIndex(table, indexName, indexSchema);
        if (error.IsError()) return error.Push(FXCODELOC, "CreateTable");
    }
    return CWzError::Success();
}

CWzError CSQLiteBase::CreateIndex(const std::string& table, const std::string& indexName,
                                  const std::string& indexSchema) const {
    if (table.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "tableName is empty");
    if (indexName.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "indexName is empty");
    if (indexSchema.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "indexSchema is empty");
    if (!Connected()) return NotConnected(FXCODELOC);

    EvDebug log = Log();
    bool exists = false;
    CWzError error = DoesSQLObjectExists(indexName, exists);
    if (error.IsError()) return error.Push(FXCODELOC, "CreateIndex");
    if (exists) {
        log.Tagged(__FILE_NAME__, __LINE__, EvDebug::kInfo, 0, "Index [%s] already exists.", indexName.c_str());
        return CWzError::Success();
    }
    int64_t ignored = 0;
    (void)ExecDML("CREATE INDEX " + IndexName(indexName) + " ON " + TableName(table) + " (" + indexSchema + ");",
                  ignored, false);
    error = DoesSQLObjectExists(indexName, exists);
    if (error.IsError()) return error.Push(FXCODELOC, "CreateIndex");
    log.Tagged(__FILE_NAME__, __LINE__, EvDebug::kInfo, 0, "Index [%s] %s.", indexName.c_str(),
               exists ? "created" : "not created");
    return CWzError::Success();
}

CWzError CSQLiteBase::Insert(const std::string& table, const std::string& columns,
                             const std::vector<FX::CSQLite3Sql>& rows) const {
    if (table.empty() || columns.empty() || rows.empty() || !Connected()) {
        return FXErrorUtil::ErrorWin32(FXCODELOC, ERROR_INVALID_PARAMETER, "Invalid parameter passed.");
    }
    FX::CSQLite3Sql statement("INSERT OR IGNORE INTO " + TableName(table) + " (" + columns + ") VALUES ");
    for (size_t i = 0; i < rows.size(); ++i) {
        statement = statement + FX::CSQLite3Sql(i == 0 ? "(" : ",(") + rows[i] + ")";
    }
    int64_t changed = 0;
    return ExecDML(statement, changed, false);
}

CWzError CSQLiteBase::Insert(const std::string& table, const std::string& columns,
                             const FX::CSQLite3Sql& values) const {
    if (values.empty()) return FXErrorUtil::ErrorWin32(FXCODELOC, ERROR_INVALID_PARAMETER, "Invalid parameter passed.");
    return Insert(table, columns, std::vector<FX::CSQLite3Sql>{values});
}

CWzError CSQLiteBase::Update(const std::string& table, const FX::CSQLite3Sql& setList, int64_t& changed,
                             const FX::CSQLite3Sql& condition) const {
    changed = 0;
    if (table.empty() || setList.empty() || !Connected()) {
        return FXErrorUtil::ErrorWin32(FXCODELOC, ERROR_INVALID_PARAMETER, "Invalid parameter passed.");
    }
    return ExecDML(WithCondition(FX::CSQLite3Sql("UPDATE " + TableName(table) + " SET ") + setList, condition),
                   changed, false);
}

CWzError CSQLiteBase::Delete(const std::string& table, int64_t& changed, const FX::CSQLite3Sql& condition) const {
    if (table.empty() || !Connected()) {
        return FXErrorUtil::ErrorWin32(FXCODELOC, ERROR_INVALID_PARAMETER, "Invalid parameter passed.");
    }
    changed = 0;
    return ExecDML(WithCondition("DELETE FROM " + TableName(table), condition), changed, false);
}

CWzError CSQLiteBase::DropTable(const std::string& table) const {
    if (table.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "tableName is empty");
    if (!Connected()) return NotConnected(FXCODELOC);
    int64_t changed = 0;
    return ExecDML("DROP TABLE IF EXISTS " + Quoted(table, '\'', '\''), changed, false);
}

int64_t CSQLiteBase::GetTotalRows(const std::string& table, const FX::CSQLite3Sql& condition) const {
    if (table.empty() || !Connected()) {
        Log().Tagged(__FILE_NAME__, __LINE__, EvDebug::kInfo, 0,
                     "Invalid parameter passed. Returning zero for total rows.");
        return 0;
    }
    int64_t count = 0;
    if (ExecDML(WithCondition("SELECT COUNT(*) FROM " + TableName(table), condition), count, true).IsError()) return 0;
    return count;
}
