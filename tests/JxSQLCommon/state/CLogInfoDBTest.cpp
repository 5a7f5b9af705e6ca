// Behaviour of the log-information database: schema as outside programs
// see it, database and log records, and the sweep collect file.
#include "JxSQLCommon/state/CLogInfoDB.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "JxSQLCommon/state/DBLocker.h"
#include "WzSQLite/CSQLite3Query.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzClock.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/JxSQLCommon/state/ChildProcess.h"
#include "tests/JxSQLCommon/state/DumpFiles.h"
#include "tests/JxSQLCommon/state/DumpFolderTest.h"
#include "tests/support/TestRoot.h"

namespace {

class CLogInfoDBTest : public statetest::DumpFolderTest {
protected:
    // Adds a Logs row the way the dump programs do, with the values given.
    void AddLog(const CLogInfoDB& db, unsigned serial, const std::string& file, int64_t swept = 0) {
        ASSERT_FALSE(db.Insert("Logs", "DBSerialNo_FK, FileName, FirstLSN, LastLSN, StartTime, EndTime, Swept",
                               FX::CSQLite3Sql("?,?,'1','2',0,0,?", {int64_t{serial}, file, swept}))
                         .IsError());
    }
    void Touch(const std::string& name) const { root.WriteFile("dump/" + name, "x"); }
};

// Runs the sqlite3 shell on the database and returns what it prints.
std::string Shell(const std::string& database, const std::string& command) {
    std::string out;
    statetest::RunCommand("sqlite3 '" + database + "' \"" + command + "\" 2>&1", out);
    return out;
}

TEST_F(CLogInfoDBTest, NewDatabaseHasExactlyTheSchemaOutsideProgramsExpect) {
    CLogInfoDB db(Folder(), DB_LOCALITY_1MIN_RPO);
    EXPECT_EQ(Folder() + "/loginfo.db", db.GetFullDatabaseName());
    ASSERT_FALSE(db.CreateTablesSchema().IsError());
    ASSERT_FALSE(db.CreateTablesSchema().IsError());  // second run: tables exist

    const std::string expected =
        "CREATE TABLE \"Databases\" (     SerialNo        INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,"
        "    DatabaseId      INTEGER,    InstanceName    TEXT COLLATE NOCASE,    DatabaseName    TEXT COLLATE NOCASE,"
        "    UNIQUE(InstanceName,DatabaseName))\n"
        "CREATE TABLE \"Logs\" (     Id              INTEGER  NOT NULL PRIMARY KEY AUTOINCREMENT,"
        "    DBSerialNo_FK   INTEGER  NOT NULL,    FileName        TEXT NOT NULL UNIQUE COLLATE NOCASE,"
        "    FirstLSN        TEXT NOT NULL,    LastLSN         TEXT NOT NULL,    StartTime       INTEGER  NOT NULL,"
        "    EndTime         INTEGER  NOT NULL,    ReferenceCount  INTEGER  NOT NULL DEFAULT 0,"
        "    ReferenceTime   INTEGER,    Swept           INTEGER DEFAULT 0,"
        "    FOREIGN KEY(DBSerialNo_FK) REFERENCES Databases(SerialNo))\n"
        "CREATE INDEX [IDX_Logs_FileName] ON \"Logs\" (FileName ASC)\n";
    EXPECT_EQ(expected, Shell(db.GetFullDatabaseName(),
                              "SELECT sql FROM sqlite_master WHERE name IN ('Databases','Logs','IDX_Logs_FileName') "
                              "ORDER BY type DESC, name"));
}

TEST_F(CLogInfoDBTest, DatabaseRecordIsFoundAgainWithoutRegardToCase) {
    CLogInfoDB db(Folder(), DB_LOCALITY_1MIN_RPO);
    ASSERT_FALSE(db.CreateTablesSchema().IsError());
    unsigned serial = 0;
    ASSERT_FALSE(db.InsertDBRecord("SQL1", 5, "O'Neil", serial).IsError());
    unsigned again = 0;
    ASSERT_FALSE(db.InsertDBRecord("sql1", 5, "o'neil", again).IsError());
    EXPECT_EQ(serial, again);
    unsigned other = 0;
    ASSERT_FALSE(db.InsertDBRecord("SQL2", 5, "O'Neil", other).IsError());
    EXPECT_NE(serial, other);
    EXPECT_EQ(2, db.GetTotalRows("Databases", ""));

    unsigned found = 0;
    ASSERT_FALSE(db.GetDatabaseSerialNo("", "O'Neil", found).IsError());  // any instance
    EXPECT_EQ(serial, found);
    ASSERT_FALSE(db.GetDatabaseSerialNo("SQL2", "o'NEIL", found).IsError());
    EXPECT_EQ(other, found);
    EXPECT_EQ(WZ_E_FAIL, db.GetDatabaseSerialNo("SQL1", "missing", found).GetErrorCode());
    EXPECT_EQ("database name is empty", db.GetDatabaseSerialNo("SQL1", "", found).GetMessage());
    EXPECT_EQ("instance is empty", db.InsertDBRecord("", 1, "x", found).GetMessage());
}

TEST_F(CLogInfoDBTest, LogRecordIsAddedOnceWithWholeDates) {
    CLogInfoDB db(Folder(), DB_LOCALITY_1MIN_RPO);
    ASSERT_FALSE(db.CreateTablesSchema().IsError());
    statetest::DumpFields fields;
    fields.start = int64_t{1} << 32;  // after 2106: beyond a 32-bit date
    fields.finish = (int64_t{1} << 32) + 5;
    SQLPmn::SQLDBBackupInfo info = statetest::BackupInfo(fields);
    ASSERT_FALSE(db.InsertLogRecord(4, "sales_log_backup_1.bak", info).IsError());
    ASSERT_FALSE(db.InsertLogRecord(4, "SALES_LOG_BACKUP_1.BAK", info).IsError());
    EXPECT_EQ(1, db.GetTotalRows("Logs", ""));
    EXPECT_EQ("4|sales_log_backup_1.bak|100|200|4294967296|4294967301|0||0\n",
              Shell(db.GetFullDatabaseName(),
                    "SELECT DBSerialNo_FK, FileName, FirstLSN, LastLSN, StartTime, EndTime, ReferenceCount, "
                    "ReferenceTime, Swept FROM Logs"));
    EXPECT_EQ("logFileName is empty", db.InsertLogRecord(4, "", info).GetMessage());
}

TEST_F(CLogInfoDBTest, LogRecordsAndDeleteTakeConditionsWithValues) {
    CLogInfoDB db(Folder(), DB_LOCALITY_1MIN_RPO);
    ASSERT_FALSE(db.CreateTablesSchema().IsError());
    AddLog(db, 1, "a_log_backup_1.bak");
    AddLog(db, 1, "b'_log_backup_2.bak");
    AddLog(db, 2, "c_log_backup_3.bak");
    EXPECT_FALSE(db.GetLogRecords("Swept = 0", 1).IsError());
    EXPECT_FALSE(db.GetLogRecords("", 0xFFFFFFFFu).IsError());
    EXPECT_FALSE(db.GetLogRecords("", 2).IsError());  // a serial alone still makes a valid statement
    int64_t deleted = 0;
    ASSERT_FALSE(db.Delete(deleted, FX::CSQLite3Sql("FileName = ?", {std::string("B'_LOG_BACKUP_2.BAK")})).IsError());
    EXPECT_EQ(1, deleted);
    EXPECT_EQ(2, db.GetTotalRows("Logs", ""));
}

TEST_F(CLogInfoDBTest, SweepListsUnsweptDumpsWhoseFilesBothExist) {
    CLogInfoDB db(Folder(), DB_LOCALITY_1MIN_RPO);
    ASSERT_FALSE(db.CreateTablesSchema().IsError());
    AddLog(db, 2, "b_log_backup_1.bak");
    AddLog(db, 1, "a_log_backup_2.bak");
    AddLog(db, 1, "a_log_backup_1.bak.jxf");   // paired with a_log_backup_1.xml
    AddLog(db, 1, "a_log_backup_3.bak");        // no .xml
    AddLog(db, 1, "a_log_backup_4.bak");        // no .bak
    AddLog(db, 1, "a_log_backup_5.bak", 1);     // swept already
    AddLog(db, 1, "../outside_log_backup.bak"); // not a file of the dump folder
    for (const char* name : {"b_log_backup_1.bak", "b_log_backup_1.xml", "a_log_backup_2.bak", "a_log_backup_2.xml",
                             "a_log_backup_1.bak.jxf", "a_log_backup_1.xml", "a_log_backup_3.bak",
                             "a_log_backup_4.xml", "a_log_backup_5.bak", "a_log_backup_5.xml"}) {
        Touch(name);
    }
    root.WriteFile("outside_log_backup.bak", "x");
    root.WriteFile("outside_log_backup.xml", "x");

    const std::string collect = Folder() + "/sweep.jxf";
    root.WriteFile("dump/sweep.jxf", "old content\n");
    ASSERT_FALSE(db.GenerateCollectFileForSweep(collect).IsError());
    EXPECT_EQ(Folder() + "/a_log_backup_1.bak.jxf\n" + Folder() + "/a_log_backup_2.bak\n" + Folder() +
                  "/b_log_backup_1.bak\n",
              jxtest::ReadWholeFile(collect));
}

TEST_F(CLogInfoDBTest, SweepWithNothingToListLeavesNoCollectFile) {
    CLogInfoDB db(Folder(), DB_LOCALITY_1MIN_RPO);
    ASSERT_FALSE(db.CreateTablesSchema().IsError());
    AddLog(db, 1, "a_log_backup_1.bak", 1);
    const std::string collect = Folder() + "/sweep.jxf";
    root.WriteFile("dump/sweep.jxf", "old content\n");
    ASSERT_FALSE(db.GenerateCollectFileForSweep(collect).IsError());
    EXPECT_NE(0, ::access(collect.c_str(), F_OK));
    EXPECT_EQ("collectFilePath is empty", db.GenerateCollectFileForSweep("").GetMessage());
}

TEST_F(CLogInfoDBTest, SweepThatCannotMakeTheCollectFileSaysSo) {
    CLogInfoDB db(Folder(), DB_LOCALITY_1MIN_RPO);
    ASSERT_FALSE(db.CreateTablesSchema().IsError());
    AddLog(db, 1, "a_log_backup_1.bak");
    Touch("a_log_backup_1.bak");
    Touch("a_log_backup_1.xml");
    const std::string collect = Folder() + "/sweep.jxf";
    ASSERT_EQ(wz::MakeDirectoryTree(collect), 0);  // a folder where the file should go
    CWzError error = db.GenerateCollectFileForSweep(collect);
    ASSERT_TRUE(error.IsError());
    EXPECT_EQ(0u, error.GetMessage().find("Could not write collect file [" + collect + "]")) << error.AsString();
}

TEST_F(CLogInfoDBTest, SweepThatMeetsAFullOrFailingDiskKeepsThePreviousCollectFile) {
    CLogInfoDB db(Folder(), DB_LOCALITY_1MIN_RPO);
    ASSERT_FALSE(db.CreateTablesSchema().IsError());
    for (const char* name : {"a_log_backup_1", "a_log_backup_2"}) {
        AddLog(db, 1, std::string(name) + ".bak");
        Touch(std::string(name) + ".bak");
        Touch(std::string(name) + ".xml");
    }
    const std::string collect = Folder() + "/sweep.jxf";
    using jxtest::FsCall;
    struct Fault {
        FsCall kind;
        int error;
        const char* text;
    };
    for (const Fault& fault : {Fault{FsCall::kOpen, ENOSPC, "No space left on device"},
                               Fault{FsCall::kWrite, ENOSPC, "No space left on device"},
                               Fault{FsCall::kFsync, EIO, "Input/output error"},
                               Fault{FsCall::kRename, EIO, "Input/output error"}}) {
        root.WriteFile("dump/sweep.jxf", "previous\n");
        jxtest::FaultyFileSystem faulty;
        wz::ScopedFileSystem use(faulty);
        faulty.FailCallOn("sweep.jxf*", fault.kind, 1, fault.error);  // not the database's lock file
        CWzError error = db.GenerateCollectFileForSweep(collect);
        ASSERT_TRUE(error.IsError());
        EXPECT_EQ(0u, error.GetMessage().find("Could not write collect file [" + collect + "]. Error: [" +
                                              fault.text + "]"))
            << error.GetMessage();
        EXPECT_EQ(1, faulty.Fired(fault.kind));
        EXPECT_EQ("previous\n", jxtest::ReadWholeFile(collect));
        for (const auto& entry : std::filesystem::directory_iterator(Folder())) {
            EXPECT_NE(0u, entry.path().filename().string().find("sweep.jxf.")) << entry.path();
        }
    }
    jxtest::FaultyFileSystem faulty;
    wz::ScopedFileSystem use(faulty);
    faulty.FailWritesAfter(Folder().size() + 5, ENOSPC);  // full in the middle of the first line
    EXPECT_TRUE(db.GenerateCollectFileForSweep(collect).IsError());
    EXPECT_EQ("previous\n", jxtest::ReadWholeFile(collect));
    faulty.Heal();
    ASSERT_FALSE(db.GenerateCollectFileForSweep(collect).IsError());
    EXPECT_EQ(Folder() + "/a_log_backup_1.bak\n" + Folder() + "/a_log_backup_2.bak\n", jxtest::ReadWholeFile(collect));
}

TEST_F(CLogInfoDBTest, CallerHoldingALockerReadsRowsWithACursor) {
    CLogInfoDB db(Folder(), DB_LOCALITY_1MIN_RPO);
    ASSERT_FALSE(db.CreateTablesSchema().IsError());
    AddLog(db, 3, "x_log_backup_1.bak");
    DBLocker locker(&db, DB_LOCALITY_1MIN_RPO, 1, true);
    ASSERT_TRUE(locker.IsDbLocked());
    std::unique_ptr<SQueryHandle> query =
        db.ExecuteQuery(FX::CSQLite3Sql("SELECT FileName FROM Logs WHERE DBSerialNo_FK = ?", {int64_t{3}}));
    ASSERT_NE(nullptr, query);
    ASSERT_TRUE(query->m_query->NextRow());
    EXPECT_EQ("x_log_backup_1.bak", query->m_query->GetStringField(0));
}

// Four processes add rows at once, each statement under its own lock: all
// rows arrive, and the writers take turns instead of one starving the rest.
TEST_F(CLogInfoDBTest, ConcurrentWritersTakeTurnsAndLoseNothing) {
    constexpr int kWriters = 4;
    constexpr int kRows = 40;
    // A writer may wait for the lock while the other three write, each
    // statement with its syncs: on a busy disk that outlasts the lock's
    // time-out at the default scale. Here the time-out lasts a minute.
    wz::SetTimeScale(0.05);
    const std::string folder = Folder();
    {
        CLogInfoDB db(folder, DB_LOCALITY_1MIN_RPO);
        ASSERT_FALSE(db.CreateTablesSchema().IsError());
    }
    int start[2];
    ASSERT_EQ(0, ::pipe(start));
    std::vector<pid_t> children;
    for (int w = 1; w <= kWriters; ++w) {
        children.push_back(statetest::StartChild([&, w] {
            ::close(start[1]);
            char c;
            if (::read(start[0], &c, 1) != 0) return 3;  // runs when the parent closes its end
            CLogInfoDB db(folder, DB_LOCALITY_1MIN_RPO);
            for (int i = 0; i < kRows; ++i) {
                if (db.Insert("Logs", "DBSerialNo_FK, FileName, FirstLSN, LastLSN, StartTime, EndTime",
                              FX::CSQLite3Sql("?,?,'1','2',0,0",
                                              {int64_t{w}, "w" + std::to_string(w) + "_" + std::to_string(i)}))
                        .IsError()) {
                    return 1;
                }
            }
            return 0;
        }));
    }
    ::close(start[0]);
    ::close(start[1]);
    for (pid_t child : children) EXPECT_EQ(0, statetest::WaitChild(child));

    CLogInfoDB db(folder, DB_LOCALITY_1MIN_RPO);
    DBLocker locker(&db, DB_LOCALITY_1MIN_RPO, 1, true);
    ASSERT_TRUE(locker.IsDbLocked());
    std::unique_ptr<SQueryHandle> query = db.ExecuteQuery("SELECT DBSerialNo_FK FROM Logs ORDER BY Id");
    ASSERT_NE(nullptr, query);
    std::vector<int> rows(kWriters + 1, 0);
    int turns = 0, last = 0;
    while (query->m_query->NextRow()) {
        int writer = static_cast<int>(query->m_query->GetIntField(0));
        ASSERT_TRUE(writer >= 1 && writer <= kWriters);
        ++rows[writer];
        if (writer != last) ++turns;
        last = writer;
    }
    for (int w = 1; w <= kWriters; ++w) EXPECT_EQ(kRows, rows[w]) << "writer " << w;
    // One writer after another would make 4 turns; taking turns makes about 4 x 40.
    EXPECT_GT(turns, kWriters * kRows / 4) << "turns between writers: " << turns;
}

}  // namespace
