// CLogInfoDB: the log-information database "loginfo.db" of a dump folder.
//
// It lists every transaction-log dump of the folder (table Logs) with its
// database (table Databases), LSN range and times, how many live-sync
// restores use it (ReferenceCount) and whether it has been swept (Swept).
// The dump programs fill it and sweep from it; live sync reads it. Outside
// programs open the same file, so the schema text is fixed.
//
// Every statement runs under the lock file loginfo.db.lock: single
// statements lock by themselves, the multi-row reads hold one DBLocker for
// their whole duration.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "JxSQLCommon/state/CSQLiteWithLock.h"

namespace SQLPmn {
class SQLDBBackupInfo;
}

class CLogInfoDB : public CSQLiteWithLock {
public:
    static constexpr const char* kName = "loginfo";
    static constexpr const char* kDatabasesTable = "Databases";
    static constexpr const char* kLogsTable = "Logs";
    static constexpr const char* kLogsIndex = "IDX_Logs_FileName";
    static const char* const kDatabasesSchema;
    static const char* const kLogsSchema;
    static const char* const kLogsIndexSchema;

    CLogInfoDB(const std::string& folder, DB_LOCALITY locality);

    // Creates the two tables and the index when missing.
    CWzError CreateTablesSchema() const;
    // The database's serial number, inserting its row first when needed.
    CWzError InsertDBRecord(const std::string& instance, int databaseId, const std::string& database,
                            unsigned int& serial) const;
    // Adds one Logs row for a dump (ignored when the file name is listed).
    CWzError InsertLogRecord(unsigned int serial, const std::string& logFileName,
                             SQLPmn::SQLDBBackupInfo& metadata) const;
    // The serial number of a database; an empty instance matches any.
    CWzError GetDatabaseSerialNo(const std::string& instance, const std::string& database,
                                 unsigned int& serial) const;
    // Writes the file names of the matching Logs rows to the debug log;
    // a serial of 0xFFFFFFFF does not filter by database.
    CWzError GetLogRecords(const FX::CSQLite3Sql& condition, unsigned int serial) const;
    // Writes the absolute paths of the unswept dumps whose .bak and .xml
    // files both exist, one per line, into the collect file (which lies in
    // the dump folder); no such dump leaves no collect file. The file is
    // replaced whole: a failure leaves the previous one as it was.
    CWzError GenerateCollectFileForSweep(const std::string& collectFilePath) const;
    // Deletes rows of Logs.
    CWzError Delete(int64_t& changed, const FX::CSQLite3Sql& condition) const;
    using CSQLiteBase::Delete;

    // ---- Live-sync references: rows a live-sync job reads and holds ----
    static constexpr const char* kLogsLSNIndex = "IDX_Logs_SerialLastLSN";

    // One Logs row as live sync reads it.
    struct LogRow {
        int64_t id = 0;
        std::string fileName;
        std::string firstLSN;
        std::string lastLSN;
        int64_t startTime = 0;
        int64_t endTime = 0;
    };

    // Under one lock, on an existing database only (a missing file is an
    // error and is not created): reads the rows of database `serial` whose
    // LastLSN is after `afterLSN` by value (all its rows when empty), in LSN
    // order, into `rows`; stamps each row read with `now` (ReferenceTime,
    // never moved back), adds one reference to each whose id is not in `held`
    // (listed in `taken`) and removes one from each id of `held` that was not
    // read (listed in `dropped`). Rows whose file
    // name would leave the dump folder are left out. Creates the index the
    // read uses when it is missing.
    CWzError ReferenceRowsAfter(unsigned int serial, const std::string& afterLSN, const std::set<int64_t>& held,
                                int64_t now, std::vector<LogRow>& rows, std::vector<int64_t>& taken,
                                std::vector<int64_t>& dropped) const;
    // Under one lock, on an existing database only: removes one reference
    // from each row of `ids` that has one.
    CWzError ReleaseReferences(const std::vector<int64_t>& ids) const;
    // The metadata file beside a dump backup file: a trailing ".jxf", then a
    // trailing ".bak" removed (either case), then ".xml".
    static std::string DumpMetadataPath(const std::string& backupPath);
    // True when a file name read from the database names a file inside the
    // dump folder.
    static bool IsDumpFileName(const std::string& fileName);
    // ---- end of live-sync references ----
};
