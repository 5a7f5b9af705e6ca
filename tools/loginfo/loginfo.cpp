// loginfo: shows the log-information database of a dump folder and registers
// a dump in it, for people who look after a dump folder.
//
//   loginfo print <dump folder>
//   loginfo add <dump folder> <instance> <dump file name>
//
// "add" reads the dump's metadata file (<name>.xml beside <name>.bak), makes
// the database's record when it is new and adds the dump's Logs row (a dump
// already listed is left as it is). Exit code 0 on success, 1 on failure,
// 2 on a usage error.
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/state/CLogInfoDB.h"
#include "JxSQLCommon/state/DBLocker.h"
#include "JxSQLCommon/state/DumpXMLFile.h"
#include "WzSQLite/CSQLite3Query.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/FXPath.h"

namespace {

constexpr const char* kUsage =
    "usage: loginfo print <dump folder>\n"
    "       loginfo add <dump folder> <instance> <dump file name>\n"
    "Prints a dump folder's log-information database, or registers a dump in it.\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

int Fail(const CWzError& error) {
    std::fprintf(stderr, "loginfo: %s\n", error.AsString().c_str());
    return 1;
}

// Prints every row of a query, columns separated by tabs, under a header.
CWzError PrintRows(const CLogInfoDB& db, const char* title, const char* header, const char* statement, int columns) {
    std::printf("%s\n%s\n", title, header);
    std::unique_ptr<SQueryHandle> query = db.ExecuteQuery(statement);
    if (!query) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "Could not read the table: %s", title);
    try {
        while (query->m_query->NextRow()) {
            for (int c = 0; c < columns; ++c) {
                std::printf("%s%s", c == 0 ? "" : "\t", query->m_query->GetStringField(c, "NULL").c_str());
            }
            std::printf("\n");
        }
    } catch (const std::exception& e) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "Could not read the table %s: %s", title, e.what());
    }
    return CWzError::Success();
}

int Print(const std::string& folder) {
    CLogInfoDB db(folder, DB_LOCALITY_1MIN_RPO);
    if (!db.Exists()) {
        std::fprintf(stderr, "loginfo: no log-information database %s\n", db.GetFullDatabaseName().c_str());
        return 1;
    }
    DBLocker locker(&db, DB_LOCALITY_1MIN_RPO, 0, true);
    if (!locker.IsDbLocked()) return Fail(StateDbNotLocked(FXCODELOC));
    CWzError error = PrintRows(db, "Databases", "SerialNo\tDatabaseId\tInstanceName\tDatabaseName",
                               "SELECT SerialNo, DatabaseId, InstanceName, DatabaseName FROM Databases "
                               "ORDER BY SerialNo",
                               4);
    if (error.IsError()) return Fail(error);
    std::printf("\n");
    error = PrintRows(db, "Logs",
                      "Id\tDBSerialNo_FK\tFileName\tFirstLSN\tLastLSN\tStartTime\tEndTime\tReferenceCount\t"
                      "ReferenceTime\tSwept",
                      "SELECT Id, DBSerialNo_FK, FileName, FirstLSN, LastLSN, StartTime, EndTime, ReferenceCount, "
                      "ReferenceTime, Swept FROM Logs ORDER BY DBSerialNo_FK, FileName",
                      10);
    return error.IsError() ? Fail(error) : 0;
}

int Add(const std::string& folder, const std::string& instance, const std::string& fileName) {
    if (instance.empty() || fileName.empty() || fileName.find('/') != std::string::npos || fileName == "..") {
        std::fprintf(stderr, "loginfo: give an instance and the name of a dump file in the folder\n");
        return 2;
    }
    std::string backupPath = folder;
    CWzError error = FXPath::Append(backupPath, fileName);
    if (error.IsError()) return Fail(error);
    DumpXMLFile xmlFile;
    std::string metadataPath;
    error = xmlFile.GetXMLFileFromBAKFile(backupPath, metadataPath);
    if (error.IsError()) return Fail(error);
    LogFileInfo dump;
    error = xmlFile.GetSweepMetadataFromXML(metadataPath, dump);
    if (error.IsError()) return Fail(error);
    if (dump.databaseId < std::numeric_limits<int>::min() || dump.databaseId > std::numeric_limits<int>::max()) {
        return Fail(FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "database id %lld out of range",
                                              static_cast<long long>(dump.databaseId)));
    }

    CLogInfoDB db(folder, DB_LOCALITY_1MIN_RPO);
    error = db.CreateTablesSchema();
    if (error.IsError()) return Fail(error);
    unsigned int serial = 0;
    error = db.InsertDBRecord(instance, static_cast<int>(dump.databaseId), dump.databaseName, serial);
    if (error.IsError()) return Fail(error);

    using Info = SQLPmn::SQLDBBackupInfo;
    Info metadata;
    metadata.setstring(Info::kFirstLsn, dump.firstLSN);
    metadata.setstring(Info::kLastLsn, dump.lastLSN);
    metadata.setint64(Info::kBackupStartDate, dump.startTime);
    metadata.setint64(Info::kBackupFinishDate, dump.finishTime);
    error = db.InsertLogRecord(serial, fileName, metadata);
    if (error.IsError()) return Fail(error);
    std::printf("%s: database %s (serial %u), LSN %s to %s\n", fileName.c_str(), dump.databaseName.c_str(), serial,
                dump.firstLSN.c_str(), dump.lastLSN.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    EvDebug::SetProgramName("loginfo");
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "print") == 0) return Print(argv[2]);
    if (argc == 5 && std::strcmp(argv[1], "add") == 0) return Add(argv[2], argv[3], argv[4]);
    return Usage();
}
