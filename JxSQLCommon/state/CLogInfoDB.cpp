// CLogInfoDB: schema and fixed queries of the log-information database.
#include "JxSQLCommon/state/CLogInfoDB.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/DumpLayoutConstants.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/state/DBLocker.h"
#include "JxSQLCommon/state/LsnOrder.h"
#include "WzSQLite/CSQLite3Query.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/FXPath.h"
#include "WzUtils/FXString.h"
#include "WzUtils/WzFileSystem.h"

const char* const CLogInfoDB::kDatabasesSchema =
    "    SerialNo        INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,"
    "    DatabaseId      INTEGER,"
    "    InstanceName    TEXT COLLATE NOCASE,"
    "    DatabaseName    TEXT COLLATE NOCASE,"
    "    UNIQUE(InstanceName,DatabaseName)";

const char* const CLogInfoDB::kLogsSchema =
    "    Id              INTEGER  NOT NULL PRIMARY KEY AUTOINCREMENT,"
    "    DBSerialNo_FK   INTEGER  NOT NULL,"
    "    FileName        TEXT NOT NULL UNIQUE COLLATE NOCASE,"
    "    FirstLSN        TEXT NOT NULL,"
    "    LastLSN         TEXT NOT NULL,"
    "    StartTime       INTEGER  NOT NULL,"
    "    EndTime         INTEGER  NOT NULL,"
    "    ReferenceCount  INTEGER  NOT NULL DEFAULT 0,"
    "    ReferenceTime   INTEGER,"
    "    Swept           INTEGER DEFAULT 0,"
    "    FOREIGN KEY(DBSerialNo_FK) REFERENCES Databases(SerialNo)";

const char* const CLogInfoDB::kLogsIndexSchema = "FileName ASC";

namespace {

constexpr uint32_t ERROR_INVALID_DATA_PATH = 310;
constexpr int32_t E_COLLECT_FILE_WRITE = static_cast<int32_t>(0x80070306u);  // Win32 774 as an HRESULT

bool FileExists(const std::string& path) {
    struct stat info {};
    return wz::Fs().Stat(path, &info) == 0;
}

// The metadata file beside a dump: a trailing ".jxf", then a trailing ".bak"
// removed (either case), then ".xml".
std::string MetadataPathOf(std::string backupPath) {
    FXString::RemoveRightNoCase(backupPath, sqlosc::RESTORE_POSTFIX);
    FXString::RemoveRightNoCase(backupPath, sqlosc::BAK_EXT);
    return backupPath + sqlosc::XML_EXT;
}

// A file name from the database must stay inside the dump folder.
bool IsRelativeInside(const std::string& name) {
    if (name.empty() || name.front() == '/' || name.find('\n') != std::string::npos) return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        if (name.compare(start, end - start, "..") == 0 && end - start == 2) return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

CLogInfoDB::CLogInfoDB(const std::string& folder, DB_LOCALITY locality) : CSQLiteWithLock(folder, kName, locality) {}

CWzError CLogInfoDB::CreateTablesSchema() const {
    CWzError error = CreateTable(kDatabasesTable, kDatabasesSchema, "", "");
    if (error.IsError()) {
        Log().Tagged(__FILE_NAME__, __LINE__, EvDebug::kError, 0, "Failed to create the table [%s]. Error: [%s]",
                     kDatabasesTable, error.AsString().c_str());
        return error;
    }
    error = CreateTable(kLogsTable, kLogsSchema, kLogsIndex, kLogsIndexSchema);
    if (error.IsError()) {
        Log().Tagged(__FILE_NAME__, __LINE__, EvDebug::kError, 0, "Failed to create the table [%s]. Error: [%s]",
                     kLogsTable, error.AsString().c_str());
        return error;
    }
    return CWzError::Success();
}

CWzError CLogInfoDB::GetDatabaseSerialNo(const std::string& instance, const std::string& database,
                                         unsigned int& serial) const {
    if (database.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "database name is empty");
    DBLocker locker(this, GetLocality(), GetJobId(), true);
    if (!locker.IsDbLocked()) return StateDbNotLocked(FXCODELOC);

    FX::CSQLite3Sql statement("SELECT SerialNo from Databases where ");
    if (!instance.empty()) statement = statement + FX::CSQLite3Sql("InstanceName = ? AND ", {instance});
    statement = statement + FX::CSQLite3Sql("DatabaseName = ?", {database});

    std::unique_ptr<SQueryHandle> query = ExecuteQuery(statement);
    if (!query) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "apQuery is null");
    try {
        if (!query->m_query->NextRow()) {
            return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "Failed to find SerialNo for database: %s",
                                             database.c_str());
        }
        serial = static_cast<unsigned int>(query->m_query->GetIntField(0, 0));
    } catch (const std::exception& e) {
        return FXErrorUtil::ErrorWin32(FXCODELOC, ERROR_INVALID_DATA_PATH,
                                       "Failed to find the SerialNo for the database: %s. Error: [%s]",
                                       database.c_str(), e.what());
    }
    return CWzError::Success();
}

CWzError CLogInfoDB::InsertDBRecord(const std::string& instance, int databaseId, const std::string& database,
                                    unsigned int& serial) const {
    if (instance.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "instance is empty");
    if (database.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "dbName is empty");
    if (!GetDatabaseSerialNo(instance, database, serial).IsError()) return CWzError::Success();

    CWzError error = Insert(kDatabasesTable, "DatabaseId, InstanceName, DatabaseName",
                            FX::CSQLite3Sql("?,?,?", {int64_t{databaseId}, instance, database}));
    if (error.IsError()) {
        const std::string text = error.AsString();
        return error.Push(FXCODELOC, "Failed to insert the DB record. %s", text.c_str());
    }
    return GetDatabaseSerialNo(instance, database, serial);
}

CWzError CLogInfoDB::GetLogRecords(const FX::CSQLite3Sql& condition, unsigned int serial) const {
    DBLocker locker(this, GetLocality(), GetJobId(), true);
    if (!locker.IsDbLocked()) return StateDbNotLocked(FXCODELOC);

    FX::CSQLite3Sql statement("SELECT FileName from Logs");
    if (!condition.empty()) statement = statement + " WHERE " + condition;
    // A serial without a condition gets its own WHERE: joined by AND alone it
    // would make the statement invalid.
    if (serial != 0xFFFFFFFFu) {
        statement = statement + FX::CSQLite3Sql(condition.empty() ? " WHERE DBSerialNo_FK = ?" : " AND DBSerialNo_FK = ?",
                                                {int64_t{serial}});
    }

    std::unique_ptr<SQueryHandle> query = ExecuteQuery(statement);
    if (!query) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "apQuery is null");
    EvDebug log = Log();
    try {
        while (query->m_query->NextRow()) {
            log.Tagged(__FILE_NAME__, __LINE__, EvDebug::kInfo, 2, "%s", query->m_query->GetStringField(0).c_str());
        }
    } catch (const std::exception& e) {
        return FXErrorUtil::ErrorWin32(FXCODELOC, ERROR_INVALID_DATA_PATH,
                                       "Failed to find the log files from the table: Logs. Error: [%s]", e.what());
    }
    return CWzError::Success();
}

CWzError CLogInfoDB::GenerateCollectFileForSweep(const std::string& collectFilePath) const {
    if (collectFilePath.empty()) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "collectFilePath is empty");
    }
    std::string folder;
    std::string collectName;
    CWzError error = FXPath::SplitParentPath(collectFilePath, folder, collectName);
    if (error.IsError()) return error.Push(FXCODELOC, "FXPath::SplitParentPath failed %s", collectFilePath.c_str());
    DBLocker locker(this, GetLocality(), GetJobId(), true);
    if (!locker.IsDbLocked()) return StateDbNotLocked(FXCODELOC);
    std::unique_ptr<SQueryHandle> query =
        ExecuteQuery("SELECT FileName FROM Logs WHERE Swept = 0 ORDER BY DBSerialNo_FK, FileName");
    if (!query) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "apQuery is null");

    // The whole list is gathered first and then replaces the collect file in
    // one step, so a failure leaves the previous file as it was and never a
    // list cut short.
    EvDebug log = Log();
    std::string content;
    unsigned int added = 0;
    try {
        while (query->m_query->NextRow()) {
            const std::string fileName = query->m_query->GetStringField(0);
            if (!IsRelativeInside(fileName)) {
                log.Tagged(__FILE_NAME__, __LINE__, EvDebug::kWarn, 0,
                           "The file name [%s] does not name a file of the dump folder. Skipping it",
                           fileName.c_str());
                continue;
            }
            std::string backupPath = folder;
            (void)FXPath::Append(backupPath, fileName);  // the name was checked above
            if (!FileExists(backupPath)) {
                log.Tagged(__FILE_NAME__, __LINE__, EvDebug::kInfo, 0, "The bak file [%s] was not found. Skipping it",
                           backupPath.c_str());
                continue;
            }
            const std::string metadataPath = MetadataPathOf(backupPath);
            if (!FileExists(metadataPath)) {
                log.Tagged(__FILE_NAME__, __LINE__, EvDebug::kInfo, 0, "The xml file [%s] was not found. Skipping it",
                           metadataPath.c_str());
                continue;
            }
            content += backupPath + "\n";
            log.Tagged(__FILE_NAME__, __LINE__, EvDebug::kInfo, 0, " Added [%s]", fileName.c_str());
            ++added;
        }
    } catch (const std::exception& e) {
        return FXErrorUtil::ErrorWin32(FXCODELOC, ERROR_INVALID_DATA_PATH,
                                       "Failed to find the log file records from the table: Logs. Error: [%s]",
                                       e.what());
    }
    if (added == 0) {
        // No entry: no collect file, as a sweep with nothing to do expects.
        if (wz::Fs().Unlink(collectFilePath) != 0 && errno != ENOENT) {
            return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Could not remove the previous collect file [%s]",
                                           collectFilePath.c_str());
        }
        log.Tagged(__FILE_NAME__, __LINE__, EvDebug::kInfo, 0,
                   "No log entry found in [%s] for sweeping. Nothing added to collect file [%s]",
                   GetFullDatabaseName().c_str(), collectName.c_str());
        return CWzError::Success();
    }
    log.Tagged(__FILE_NAME__, __LINE__, EvDebug::kInfo, 0, "Populating collect file [%s]", collectFilePath.c_str());
    if (!wz::WriteFileAtomically(collectFilePath, content)) {
        const std::string text = std::strerror(errno);
        log.Tagged(__FILE_NAME__, __LINE__, EvDebug::kError, 0, "Failed to write the collect file [%s]. Error: [%s]",
                   collectFilePath.c_str(), text.c_str());
        return FXErrorUtil::ErrorHResult(FXCODELOC, E_COLLECT_FILE_WRITE,
                                         "Could not write collect file [%s]. Error: [%s]", collectFilePath.c_str(),
                                         text.c_str());
    }
    log.Tagged(__FILE_NAME__, __LINE__, EvDebug::kInfo, 0, "Added %u entries to collect file [%s]", added,
               collectName.c_str());
    return CWzError::Success();
}

CWzError CLogInfoDB::Delete(int64_t& changed, const FX::CSQLite3Sql& condition) const {
    return CSQLiteBase::Delete(kLogsTable, changed, condition);
}

CWzError CLogInfoDB::InsertLogRecord(unsigned int serial, const std::string& logFileName,
                                     SQLPmn::SQLDBBackupInfo& metadata) const {
    if (logFileName.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "logFileName is empty");
    using Info = SQLPmn::SQLDBBackupInfo;
    // The dates are kept whole: the INTEGER columns hold 64 bits.
    return Insert(kLogsTable, "DBSerialNo_FK, FileName, FirstLSN, LastLSN, StartTime, EndTime",
                  FX::CSQLite3Sql("?,?,?,?,?,?", {int64_t{serial}, logFileName, metadata.getstring(Info::kFirstLsn),
                                                  metadata.getstring(Info::kLastLsn),
                                                  metadata.getint64(Info::kBackupStartDate),
                                                  metadata.getint64(Info::kBackupFinishDate)}));
}

// ---- Live-sync references ----

namespace {

constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;
// Ids per UPDATE, well below SQLite's limit on bound values.
constexpr size_t kIdsPerStatement = 500;

// `head` + " Id IN (?,...)" for one slice of `ids`, with the ids bound after
// the values `head` carries.
FX::CSQLite3Sql IdsIn(FX::CSQLite3Sql head, const std::vector<int64_t>& ids, size_t begin, size_t end) {
    std::string marks;
    std::vector<FX::CSQLite3Value> values;
    for (size_t i = begin; i < end; ++i) {
        marks += marks.empty() ? "?" : ",?";
        values.emplace_back(ids[i]);
    }
    return head + FX::CSQLite3Sql("Id IN (" + marks + ")", std::move(values));
}

const FX::CSQLite3Sql kReleaseHead("UPDATE \"Logs\" SET ReferenceCount = ReferenceCount - 1 WHERE ReferenceCount > 0 AND ");

}  // namespace

std::string CLogInfoDB::DumpMetadataPath(const std::string& backupPath) { return MetadataPathOf(backupPath); }

bool CLogInfoDB::IsDumpFileName(const std::string& fileName) { return IsRelativeInside(fileName); }

CWzError CLogInfoDB::ReferenceRowsAfter(unsigned int serial, const std::string& afterLSN,
                                        const std::set<int64_t>& held, int64_t now, std::vector<LogRow>& rows,
                                        std::vector<int64_t>& taken, std::vector<int64_t>& dropped) const {
    rows.clear();
    taken.clear();
    dropped.clear();
    if (!afterLSN.empty() && !IsDecimalLSN(afterLSN)) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "afterLSN is not a decimal LSN: %s",
                                         afterLSN.c_str());
    }
    // A dump folder without the database is not given one: its dumps are
    // found by walking the folder instead.
    if (!Exists()) {
        return FXErrorUtil::ErrorWin32(FXCODELOC, ERROR_FILE_NOT_FOUND, "Cannot find the database file: %s",
                                       GetFullDatabaseName().c_str());
    }
    DBLocker locker(this, GetLocality(), GetJobId(), true);
    if (!locker.IsDbLocked()) return StateDbNotLocked(FXCODELOC);
    EvDebug log = Log();

    const std::string key = LSNSortKeySql("LastLSN");
    int64_t changed = 0;
    CWzError error = RunWithBusyRetry(std::string("CREATE INDEX IF NOT EXISTS [") + kLogsLSNIndex +
                                          "] ON \"Logs\" (DBSerialNo_FK, " + key + ")",
                                      changed, false);
    if (error.IsError()) {
        // Without the index the rows are still read, by a longer scan.
        log.Tagged(__FILE_NAME__, __LINE__, EvDebug::kWarn, 0, "Could not create the index [%s] in [%s]: %s",
                   kLogsLSNIndex, GetFullDatabaseName().c_str(), error.AsString().c_str());
    }

    FX::CSQLite3Sql select(
        "SELECT Id, FileName, FirstLSN, LastLSN, StartTime, EndTime FROM Logs WHERE DBSerialNo_FK = ?",
        {int64_t{serial}});
    if (!afterLSN.empty()) select = select + FX::CSQLite3Sql(" AND " + key + " > ?", {LSNSortKey(afterLSN)});
    select = select + (" ORDER BY " + key);
    log.Tagged(__FILE_NAME__, __LINE__, EvDebug::kInfo, 0, "Getting the list of records. Query: %s",
               select.text.c_str());

    // The reads and the reference changes are one transaction, so that no
    // other writer sees references taken for a list it could change.
    error = RunWithBusyRetry("BEGIN IMMEDIATE", changed, false);
    if (error.IsError()) return error.Push(FXCODELOC, "Could not start a transaction on [%s]", GetFullDatabaseName().c_str());
    auto rollback = [&](CWzError failure) {
        int64_t ignored = 0;
        (void)RunWithBusyRetry("ROLLBACK", ignored, false);  // the failure being returned is what counts
        rows.clear();
        taken.clear();
        dropped.clear();
        return failure;
    };

    {
        std::unique_ptr<SQueryHandle> query = ExecuteQuery(select);
        if (!query) return rollback(FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "apQuery is null"));
        try {
            while (query->m_query->NextRow()) {
                LogRow row;
                row.id = query->m_query->GetInt64Field(0);
                row.fileName = query->m_query->GetStringField(1);
                row.firstLSN = query->m_query->GetStringField(2);
                row.lastLSN = query->m_query->GetStringField(3);
                row.startTime = query->m_query->GetInt64Field(4);
                row.endTime = query->m_query->GetInt64Field(5);
                if (!IsRelativeInside(row.fileName)) {
                    log.Tagged(__FILE_NAME__, __LINE__, EvDebug::kWarn, 0,
                               "The file name [%s] does not name a file of the dump folder. Skipping it",
                               row.fileName.c_str());
                    continue;
                }
                rows.push_back(std::move(row));
            }
        } catch (const std::exception& e) {
            return rollback(FXErrorUtil::ErrorWin32(FXCODELOC, ERROR_INVALID_DATA_PATH,
                                                    "Failed to read the log records from the table: Logs. Error: [%s]",
                                                    e.what()));
        }
    }

    std::set<int64_t> read;
    for (const LogRow& row : rows) {
        read.insert(row.id);
        if (held.count(row.id) == 0) taken.push_back(row.id);
    }
    for (int64_t id : held) {
        if (read.count(id) == 0) dropped.push_back(id);
    }
    // Every listed row carries the time of the latest run that listed it;
    // the rows not held yet get their reference, the held ones no longer
    // listed lose it.
    std::vector<int64_t> listed(read.begin(), read.end());
    const FX::CSQLite3Sql stampHead(
        "UPDATE \"Logs\" SET ReferenceTime = ? WHERE (ReferenceTime IS NULL OR ReferenceTime <= ?) AND ", {now, now});
    const FX::CSQLite3Sql takeHead("UPDATE \"Logs\" SET ReferenceCount = ReferenceCount + 1 WHERE ");
    for (const auto& [head, ids] :
         {std::pair{&stampHead, &listed}, std::pair{&takeHead, &taken}, std::pair{&kReleaseHead, &dropped}}) {
        for (size_t begin = 0; begin < ids->size(); begin += kIdsPerStatement) {
            error = RunWithBusyRetry(IdsIn(*head, *ids, begin, std::min(ids->size(), begin + kIdsPerStatement)),
                                     changed, false);
            if (error.IsError()) return rollback(error.Push(FXCODELOC, "Failed to update the records in SQLite DB: [%s]",
                                                            GetFullDatabaseName().c_str()));
        }
    }
    error = RunWithBusyRetry("COMMIT", changed, false);
    if (error.IsError()) return rollback(error.Push(FXCODELOC, "Could not commit to [%s]", GetFullDatabaseName().c_str()));
    return CWzError::Success();
}

CWzError CLogInfoDB::ReleaseReferences(const std::vector<int64_t>& ids) const {
    if (ids.empty()) return CWzError::Success();
    if (!Exists()) {
        return FXErrorUtil::ErrorWin32(FXCODELOC, ERROR_FILE_NOT_FOUND, "Cannot find the database file: %s",
                                       GetFullDatabaseName().c_str());
    }
    DBLocker locker(this, GetLocality(), GetJobId(), true);
    if (!locker.IsDbLocked()) return StateDbNotLocked(FXCODELOC);
    int64_t changed = 0;
    for (size_t begin = 0; begin < ids.size(); begin += kIdsPerStatement) {
        CWzError error = RunWithBusyRetry(IdsIn(kReleaseHead, ids, begin, std::min(ids.size(), begin + kIdsPerStatement)),
                                          changed, false);
        if (error.IsError()) {
            return error.Push(FXCODELOC, "Failed to reduce the reference count of the records in SQLite DB: [%s]",
                              GetFullDatabaseName().c_str());
        }
    }
    return CWzError::Success();
}
