// Behaviour of the live-sync references: LSN order by value, rows listed
// after an LSN, at most one reference per row and job, and their release.
#include "JxSQLCommon/state/LiveSyncReferences.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "JxSQLCommon/state/LsnOrder.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/state/ChildProcess.h"
#include "tests/JxSQLCommon/state/DumpFolderTest.h"

namespace {

TEST(LsnOrder, ComparesByValueWhateverTheLengthAndLeadingZeros) {
    EXPECT_LT(CompareLSN("999", "1000"), 0);
    EXPECT_GT(CompareLSN("1000", "999"), 0);
    EXPECT_EQ(0, CompareLSN("000123", "123"));
    EXPECT_LT(CompareLSN("123", "124"), 0);
    EXPECT_LT(CompareLSN("0", "1"), 0);
    EXPECT_EQ(0, CompareLSN("0", "000"));
    const std::string longer(60, '9');
    EXPECT_GT(CompareLSN("1" + longer, longer), 0);

    // The SQL sort key orders exactly as the comparison does.
    std::vector<std::string> lsns = {"1000", "999", "0998", "10", "1001", "00010", "0"};
    std::vector<std::string> byKey = lsns;
    std::sort(lsns.begin(), lsns.end(), [](const std::string& a, const std::string& b) { return CompareLSN(a, b) < 0; });
    std::stable_sort(byKey.begin(), byKey.end(),
                     [](const std::string& a, const std::string& b) { return LSNSortKey(a) < LSNSortKey(b); });
    for (size_t i = 0; i < lsns.size(); ++i) EXPECT_EQ(0, CompareLSN(lsns[i], byKey[i])) << i;
    EXPECT_EQ("0003998", LSNSortKey("0998"));
}

TEST(LsnOrder, OnlyDigitsAreDecimalLSNs) {
    EXPECT_TRUE(IsDecimalLSN("0012"));
    EXPECT_FALSE(IsDecimalLSN(""));
    EXPECT_FALSE(IsDecimalLSN("12' OR '1'='1"));
    EXPECT_FALSE(IsDecimalLSN("-5"));
}

class LiveSyncReferencesTest : public statetest::DumpFolderTest {
protected:
    void SetUp() override {
        folder = Folder();
        db = std::make_unique<CLogInfoDB>(folder, DB_LOCALITY_1MIN_RPO);
        ASSERT_FALSE(db->CreateTablesSchema().IsError());
        ASSERT_FALSE(db->InsertDBRecord("SQL1", 5, "Sales", serial).IsError());
        ASSERT_FALSE(db->InsertDBRecord("SQL1", 6, "Other", otherSerial).IsError());
    }
    void AddLog(unsigned dbSerial, const std::string& file, const std::string& last, int64_t count = 0) {
        ASSERT_FALSE(db->Insert("Logs",
                                "DBSerialNo_FK, FileName, FirstLSN, LastLSN, StartTime, EndTime, ReferenceCount",
                                FX::CSQLite3Sql("?,?,'1',?,0,0,?", {int64_t{dbSerial}, file, last, count}))
                         .IsError());
    }
    int64_t Count(const std::string& file) {
        long value = -1;
        EXPECT_FALSE(
            db->ExecScalarInt64(FX::CSQLite3Sql("SELECT ReferenceCount FROM Logs WHERE FileName = ?", {file}), value)
                .IsError());
        return value;
    }
    static std::vector<std::string> Names(const std::vector<CLogInfoDB::LogRow>& rows) {
        std::vector<std::string> names;
        for (const auto& row : rows) names.push_back(row.fileName);
        return names;
    }

    std::string folder;
    std::unique_ptr<CLogInfoDB> db;
    unsigned serial = 0;
    unsigned otherSerial = 0;
};

TEST_F(LiveSyncReferencesTest, RowsAfterTheLSNAreListedInValueOrderAlsoWhenTheLSNGainsADigit) {
    AddLog(serial, "a.bak", "998");
    AddLog(serial, "b.bak", "999");
    AddLog(serial, "d.bak", "1001");
    AddLog(serial, "c.bak", "1000");
    AddLog(otherSerial, "x.bak", "5000");
    LiveSyncReferences refs;
    std::vector<CLogInfoDB::LogRow> rows;
    ASSERT_FALSE(refs.TakeAndCollect(*db, folder, serial, "999", rows).IsError());
    EXPECT_EQ((std::vector<std::string>{"c.bak", "d.bak"}), Names(rows));
    EXPECT_EQ(1, Count("c.bak"));
    EXPECT_EQ(1, Count("d.bak"));
    EXPECT_EQ(0, Count("b.bak"));
    EXPECT_EQ(0, Count("x.bak"));
    // Listed rows carry the time they were listed at; a later stamp stays.
    int64_t changed = 0;
    ASSERT_FALSE(db->Update("Logs", "ReferenceTime = 4000000000", changed, "FileName = 'd.bak'").IsError());
    LiveSyncReferences again;
    ASSERT_FALSE(again.TakeAndCollect(*db, folder, serial, "999", rows).IsError());
    long stamp = 0;
    ASSERT_FALSE(db->ExecScalarInt64("SELECT ReferenceTime FROM Logs WHERE FileName = 'c.bak'", stamp).IsError());
    EXPECT_GT(stamp, 1700000000);
    ASSERT_FALSE(db->ExecScalarInt64("SELECT ReferenceTime FROM Logs WHERE FileName = 'd.bak'", stamp).IsError());
    EXPECT_EQ(4000000000, stamp);
    ASSERT_FALSE(db->ExecScalarInt64("SELECT COUNT(*) FROM Logs WHERE ReferenceTime IS NOT NULL", stamp).IsError());
    EXPECT_EQ(2, stamp);

    // No LSN: every row of the database, in value order.
    LiveSyncReferences all;
    ASSERT_FALSE(all.TakeAndCollect(*db, folder, serial, "", rows).IsError());
    EXPECT_EQ((std::vector<std::string>{"a.bak", "b.bak", "c.bak", "d.bak"}), Names(rows));
}

TEST_F(LiveSyncReferencesTest, AJobHoldsOneReferencePerRowAndReleasesWhatItNoLongerNeeds) {
    AddLog(serial, "a.bak", "100", 3);  // held by other jobs already
    AddLog(serial, "b.bak", "200");
    AddLog(serial, "c.bak", "300");
    LiveSyncReferences job;
    std::vector<CLogInfoDB::LogRow> rows;
    ASSERT_FALSE(job.TakeAndCollect(*db, folder, serial, "", rows).IsError());
    ASSERT_FALSE(job.TakeAndCollect(*db, folder, serial, "", rows).IsError());  // a second run lists them again
    EXPECT_EQ(4, Count("a.bak"));
    EXPECT_EQ(1, Count("b.bak"));
    EXPECT_EQ(3u, job.HeldCount());

    LiveSyncReferences otherJob;
    ASSERT_FALSE(otherJob.TakeAndCollect(*db, folder, serial, "", rows).IsError());
    EXPECT_EQ(2, Count("b.bak"));
    ASSERT_FALSE(otherJob.ReleaseAll().IsError());

    // The standby moved past a and b by other means: the next run drops them.
    ASSERT_FALSE(job.TakeAndCollect(*db, folder, serial, "200", rows).IsError());
    EXPECT_EQ((std::vector<std::string>{"c.bak"}), Names(rows));
    EXPECT_EQ(3, Count("a.bak"));
    EXPECT_EQ(0, Count("b.bak"));
    EXPECT_EQ(1, Count("c.bak"));

    // Restored, possibly under its restore-collect name: released once.
    bool released = false;
    ASSERT_FALSE(job.Release(folder + "/c.bak.jxf", released).IsError());
    EXPECT_TRUE(released);
    ASSERT_FALSE(job.Release(folder + "/c.bak", released).IsError());
    EXPECT_FALSE(released);
    ASSERT_FALSE(job.Release(folder + "/unknown.bak", released).IsError());
    EXPECT_FALSE(released);
    EXPECT_EQ(0, Count("c.bak"));
    EXPECT_EQ(0u, job.HeldCount());
}

TEST_F(LiveSyncReferencesTest, ReleaseAllRestoresEveryCountAlsoAfterTheMountPointIsGone) {
    AddLog(serial, "O'Neil.bak", "100", 2);
    AddLog(serial, "b.bak", "200");
    const std::string link = root.path() + "/mount";
    ASSERT_EQ(0, ::symlink(folder.c_str(), link.c_str()));
    CLogInfoDB throughLink(link, DB_LOCALITY_1MIN_RPO);
    LiveSyncReferences job;
    std::vector<CLogInfoDB::LogRow> rows;
    ASSERT_FALSE(job.TakeAndCollect(throughLink, link, serial, "", rows).IsError());
    ASSERT_FALSE(job.TakeAndCollect(*db, folder, serial, "", rows).IsError());  // the same file by its own path
    EXPECT_EQ(3, Count("O'Neil.bak"));
    ASSERT_EQ(0, wz::Fs().Unlink(link));
    ASSERT_FALSE(job.ReleaseAll().IsError());
    EXPECT_EQ(2, Count("O'Neil.bak"));
    EXPECT_EQ(0, Count("b.bak"));
    EXPECT_EQ(0u, job.HeldCount());
}

TEST_F(LiveSyncReferencesTest, AFolderWithoutTheDatabaseIsNotGivenOne) {
    const std::string empty = Folder("empty");
    CLogInfoDB missing(empty, DB_LOCALITY_1MIN_RPO);
    LiveSyncReferences job;
    std::vector<CLogInfoDB::LogRow> rows;
    EXPECT_TRUE(job.TakeAndCollect(missing, empty, serial, "", rows).IsError());
    EXPECT_TRUE(missing.ReleaseReferences({1}).IsError());
    EXPECT_FALSE(missing.Exists());
    EXPECT_EQ(0u, job.HeldCount());
}

TEST_F(LiveSyncReferencesTest, ARefusedLSNAndAnOutsideFileNameChangeNothing) {
    AddLog(serial, "../escape.bak", "500");
    AddLog(serial, "ok.bak", "600");
    LiveSyncReferences job;
    std::vector<CLogInfoDB::LogRow> rows;
    EXPECT_TRUE(job.TakeAndCollect(*db, folder, serial, "1' OR '1'='1", rows).IsError());
    EXPECT_EQ(0, Count("ok.bak"));
    ASSERT_FALSE(job.TakeAndCollect(*db, folder, serial, "", rows).IsError());
    EXPECT_EQ((std::vector<std::string>{"ok.bak"}), Names(rows));
    EXPECT_EQ(0, Count("../escape.bak"));
}

TEST_F(LiveSyncReferencesTest, TheReadAfterAnLSNIsAnIndexRange) {
    AddLog(serial, "a.bak", "100");
    LiveSyncReferences job;
    std::vector<CLogInfoDB::LogRow> rows;
    ASSERT_FALSE(job.TakeAndCollect(*db, folder, serial, "50", rows).IsError());  // creates the index
    const std::string key = LSNSortKeySql("LastLSN");
    std::string plan;
    statetest::RunCommand("sqlite3 '" + db->GetFullDatabaseName() +
                              "' \"EXPLAIN QUERY PLAN SELECT Id FROM Logs WHERE DBSerialNo_FK = 1 AND " + key +
                              " > '00032' ORDER BY " + key + "\" 2>&1",
                          plan);
    EXPECT_NE(std::string::npos, plan.find("USING INDEX IDX_Logs_SerialLastLSN (DBSerialNo_FK=? AND <expr>>?)"))
        << plan;
    EXPECT_EQ(std::string::npos, plan.find("TEMP B-TREE")) << plan;
}

}  // namespace
