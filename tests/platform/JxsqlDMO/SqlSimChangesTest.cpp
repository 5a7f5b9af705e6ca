// Changes of simulated databases: pages in place, their log records, the
// LSN state, and SIMPLE recovery truncating the log.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <cstring>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "JxSQLCommon/records/SqlCentralServerRecords.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "JxsqlDMO/SqlSimDatabaseOptions.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "JxsqlDMO/SqlSimRecoveryPath.h"
#include "JxsqlDMO/SqlSimRestoreCatalog.h"
#include "tests/support/TestRoot.h"

namespace {

std::string Slice(const std::string& path, uint64_t offset, uint64_t length) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    std::string out(length, '\0');
    in.read(out.data(), static_cast<std::streamsize>(length));
    return out;
}

class SqlSimChangesTest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        SqlSimServerSpec server;
        server.name = "h/i";
        ASSERT_FALSE(sim.Create(server).IsError());
        SqlSimDatabaseSpec db;
        db.name = "Full";
        db.dataSize = 512 * 1024;
        ASSERT_FALSE(sim.AddDatabase(db, &fullId).IsError());
        db.name = "Simple";
        db.recoveryModel = "SIMPLE";
        ASSERT_FALSE(sim.AddDatabase(db, &simpleId).IsError());
    }

    SqlSimInstance sim;
    int64_t fullId = 0;
    int64_t simpleId = 0;
};

TEST_F(SqlSimChangesTest, PagesAreWrittenInPlaceAndEachHasAnIntactLogRecord) {
    SqlSimChanges changes(sim);
    uint64_t last = 0;
    ASSERT_FALSE(changes.Change({"Full", 5, 42, "m1", 1700000000000}, &last).IsError());
    EXPECT_EQ(last, SqlSimChanges::kFirstLsn + 5);
    std::vector<SqlSimLogIndexRow> rows;
    ASSERT_FALSE(changes.LogRecords(fullId, 0, rows).IsError());
    ASSERT_EQ(rows.size(), 5u);
    std::vector<SqlSimFileRow> files;
    ASSERT_FALSE(changes.Files(fullId, files).IsError());
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].lsn, SqlSimChanges::kFirstLsn + 1 + i);
        EXPECT_EQ(rows[i].mark, i + 1 == rows.size() ? "m1" : "");
        std::string encoded = Slice(files[1].path, rows[i].logOffset, rows[i].length);
        SqlSimLogRecord record;
        size_t used = 0;
        ASSERT_FALSE(SqlSimDecodeLogRecord(encoded.data(), encoded.size(), record, used).IsError());
        EXPECT_EQ(record.timeMs, 1700000000000);
        // The page holds the record's bytes unless a later page overwrote it.
        if (i + 1 == rows.size()) {
            EXPECT_TRUE(Slice(files[0].path, record.offset, record.data.size()) == record.data);
        }
    }
    std::vector<std::pair<int64_t, uint64_t>> extents;
    ASSERT_FALSE(changes.ChangedExtents(fullId, extents).IsError());
    EXPECT_GE(extents.size(), 1u);
    EXPECT_LE(extents.size(), 5u);
    SqlSimLsnState state;
    ASSERT_FALSE(changes.State(fullId, state).IsError());
    EXPECT_EQ(state.currentLsn, last);
    EXPECT_FALSE(state.brokenChain);
}

TEST_F(SqlSimChangesTest, SimpleRecoveryTruncatesTheLogAtEachChangeAndBreaksTheChain) {
    SqlSimChanges changes(sim);
    ASSERT_FALSE(changes.Change({"Simple", 3, 1, "", 0}).IsError());
    std::vector<SqlSimLogIndexRow> rows;
    ASSERT_FALSE(changes.LogRecords(simpleId, 0, rows).IsError());
    EXPECT_TRUE(rows.empty());
    SqlSimLsnState state;
    ASSERT_FALSE(changes.State(simpleId, state).IsError());
    EXPECT_TRUE(state.brokenChain);
    EXPECT_EQ(state.currentLsn, SqlSimChanges::kFirstLsn + 3);
}

// A restore marks what it wrote in one step, alone or inside the
// transaction of its commit, which takes the marks back when it rolls back.
TEST_F(SqlSimChangesTest, RangesMarkEveryExtentTheyTouchAndGoBackWithAnEnclosingTransaction) {
    SqlSimChanges changes(sim);
    constexpr uint64_t kExtent = SqlSimChanges::kExtentSize;
    const std::vector<SqlSimFileRange> ranges = {{1, kExtent - 1, 2}, {1, 5 * kExtent, 0}, {1, 6 * kExtent, kExtent}};
    ASSERT_FALSE(sim.Db().Exec("BEGIN IMMEDIATE").IsError());
    ASSERT_FALSE(changes.MarkExtentsChanged(fullId, ranges).IsError());
    ASSERT_FALSE(sim.Db().Exec("ROLLBACK").IsError());
    std::vector<std::pair<int64_t, uint64_t>> extents;
    ASSERT_FALSE(changes.ChangedExtents(fullId, extents).IsError());
    EXPECT_TRUE(extents.empty());

    ASSERT_FALSE(changes.MarkExtentsChanged(fullId, ranges).IsError());
    ASSERT_FALSE(changes.ChangedExtents(fullId, extents).IsError());
    EXPECT_EQ(extents, (std::vector<std::pair<int64_t, uint64_t>>{{1, 0}, {1, 1}, {1, 6}}));
    ASSERT_FALSE(changes.MarkDataFilesChanged(fullId).IsError());
    ASSERT_FALSE(changes.ChangedExtents(fullId, extents).IsError());
    EXPECT_EQ(extents.size(), 512 * 1024 / kExtent);
}

TEST_F(SqlSimChangesTest, BadRequestsChangeNothing) {
    SqlSimChanges changes(sim);
    EXPECT_TRUE(changes.Change({"Full", 0, 1, "", 0}).IsError());
    EXPECT_TRUE(changes.Change({"Full", SqlSimChanges::kMaxPagesPerChange + 1, 1, "", 0}).IsError());
    EXPECT_TRUE(changes.Change({"Nope", 1, 1, "", 0}).IsError());
    EXPECT_TRUE(changes.Change({"Full", 1, 1, std::string(200, 'm'), 0}).IsError());
    std::vector<SqlSimLogIndexRow> rows;
    ASSERT_FALSE(changes.LogRecords(fullId, 0, rows).IsError());
    EXPECT_TRUE(rows.empty());
}

// How a database gives its id up, and how the next one takes it.
enum class Gone { kDropped, kDetached, kRowOnlyDeleted };  // the last as an older drop left it
enum class Made { kCreated, kAttached, kRestoredAsANewName };

std::string RoadName(const ::testing::TestParamInfo<std::pair<Gone, Made>>& info) {
    static const char* const gone[] = {"Dropped", "Detached", "RowOnlyDeleted"};
    static const char* const made[] = {"Created", "Attached", "RestoredAsANewName"};
    return std::string(gone[static_cast<int>(info.param.first)]) + "Then" + made[static_cast<int>(info.param.second)];
}

class DatabaseIdTakenAgain : public SqlSimChangesTest, public ::testing::WithParamInterface<std::pair<Gone, Made>> {
protected:
    // The marks of `database` after value `after`, as "name=value ...".
    std::string MarksOf(const std::string& database, long after) {
        SQLLogMarkUpdateReq_t marks;
        EXPECT_TRUE(dmo.getLogMarkInfo("h/i", database, after, "", marks));
        std::string text;
        for (uint32_t i = 0; i < marks.count; ++i) {
            SQLLogMarkInfo_t& m = marks.marks[i];
            text += std::string(m.markName) + "=" + std::to_string(m.value) + " ";
            for (char* t : {m.markName, m.description, m.lsn, m.markTime}) std::free(t);
        }
        std::free(marks.marks);
        return text;
    }

    CsqlDMO dmo;
};

// A database dropped or detached takes its LSN state, changed extents, log
// index, recovery path, log marks and options with it; one created,
// attached or restored as a new name under its id starts with none of them,
// also where an older drop left them behind. Mark values still only grow.
TEST_P(DatabaseIdTakenAgain, TheNewDatabaseStartsWithNothingOfTheOldOne) {
    const auto [gone, made] = GetParam();
    ASSERT_TRUE(dmo.initialize("h/i"));
    SqlSimDatabaseSpec oldDatabase;
    oldDatabase.name = "Old";
    int64_t id = 0;
    ASSERT_FALSE(sim.AddDatabase(oldDatabase, &id).IsError());
    SqlSimChanges changes(sim);
    ASSERT_FALSE(changes.Change({"Old", 3, 7, "m1", 0}).IsError());
    SqlSimRecoveryPath oldPath;
    ASSERT_FALSE(SqlSimDatabaseRecoveryPath(sim, id, oldPath).IsError());
    ASSERT_FALSE(SqlSimSetDatabaseOption(sim, "Old", kSqlSimOptionRecoveryModelChanged, "1").IsError());
    std::vector<SqlSimFileRow> files;
    ASSERT_FALSE(changes.Files(id, files).IsError());

    std::string error;
    if (gone == Gone::kDropped) {
        ASSERT_TRUE(dmo.DeleteDatabase("h/i", "Old"));
    } else if (gone == Gone::kDetached) {
        ASSERT_TRUE(dmo.DetachDB("h/i", "Old", error)) << error;
    }
    if (gone == Gone::kRowOnlyDeleted) {
        ASSERT_FALSE(sim.Db().Prepare("DELETE FROM databases WHERE id = ?").Bind(1, id).Run().IsError());
    } else {
        for (const char* table : {"db_lsn_state", "changed_extents", "log_records", "db_recovery_path", "log_marks"}) {
            SimSqlStatement left =
                sim.Db().Prepare(std::string("SELECT COUNT(*) FROM ") + table + " WHERE database_id = ?");
            ASSERT_TRUE(left.Bind(1, id).Step());
            EXPECT_EQ(left.Int(0), 0) << table;
        }
    }

    int64_t newId = 0;
    if (made == Made::kCreated) {
        ASSERT_FALSE(sim.AddDatabase(oldDatabase, &newId).IsError());
    } else if (made == Made::kAttached) {
        ASSERT_TRUE(dmo.AttachDatabase("h/i", "Old\n" + files[0].path + "\n" + files[1].path, error)) << error;
        ASSERT_FALSE(sim.DatabaseId("Old", newId).IsError());
    } else {
        std::vector<SqlSimRestoredFile> restored;
        for (const SqlSimFileRow& f : files) restored.push_back({f.logicalName, f.fileGroup, f.path, f.type, f.size});
        ASSERT_FALSE(SqlSimReplaceDatabase(sim, "Old", "FULL", restored, newId).IsError());
    }
    ASSERT_EQ(newId, id);
    SqlSimLsnState state;
    ASSERT_FALSE(changes.State(id, state).IsError());
    EXPECT_EQ(state.currentLsn, SqlSimChanges::kFirstLsn);
    EXPECT_EQ(state.lastFullLsn, 0u);
    std::vector<std::pair<int64_t, uint64_t>> extents;
    ASSERT_FALSE(changes.ChangedExtents(id, extents).IsError());
    EXPECT_TRUE(extents.empty());
    std::vector<SqlSimLogIndexRow> rows;
    ASSERT_FALSE(changes.LogRecords(id, 0, rows).IsError());
    EXPECT_TRUE(rows.empty());
    SqlSimRecoveryPath newPath;
    ASSERT_FALSE(SqlSimDatabaseRecoveryPath(sim, id, newPath).IsError());
    EXPECT_NE(newPath.id, oldPath.id);
    bool failed = false;
    EXPECT_FALSE(dmo.hasRecoveryModelChanged("Old", &failed));
    EXPECT_FALSE(failed);
    ASSERT_FALSE(changes.Change({"Old", 1, 8, "m2", 0}).IsError());
    EXPECT_EQ(MarksOf("Old", 0), "m2=2 ");
}

INSTANTIATE_TEST_SUITE_P(Roads, DatabaseIdTakenAgain,
                         ::testing::Values(std::pair{Gone::kDropped, Made::kCreated},
                                           std::pair{Gone::kDetached, Made::kAttached},
                                           std::pair{Gone::kRowOnlyDeleted, Made::kCreated},
                                           std::pair{Gone::kRowOnlyDeleted, Made::kAttached},
                                           std::pair{Gone::kRowOnlyDeleted, Made::kRestoredAsANewName}),
                         RoadName);

TEST(SqlSimLogRecordTest, DamagedOrCutRecordsAreRefused) {
    SqlSimLogRecord record;
    record.lsn = 7;
    record.fileId = 1;
    record.offset = 8192;
    record.mark = "m";
    record.data = std::string(100, 'x');
    std::string encoded = SqlSimEncodeLogRecord(record);
    SqlSimLogRecord back;
    size_t used = 0;
    ASSERT_FALSE(SqlSimDecodeLogRecord(encoded.data(), encoded.size(), back, used).IsError());
    EXPECT_EQ(used, encoded.size());
    EXPECT_EQ(back.data, record.data);
    EXPECT_EQ(back.mark, "m");
    EXPECT_EQ(encoded.substr(0, 4), "JXLR");  // the form logs already stored hold
    record.kind = SqlSimLogRecordKind::FileAdded;
    const std::string added = SqlSimEncodeLogRecord(record);
    ASSERT_FALSE(SqlSimDecodeLogRecord(added.data(), added.size(), back, used).IsError());
    EXPECT_EQ(back.kind, SqlSimLogRecordKind::FileAdded);
    // Flipping the magic's last byte would turn one kind into the other.
    for (size_t at : {size_t{3}, size_t{9}, size_t{30}, encoded.size() - 1}) {
        std::string damaged = encoded;
        damaged[at] ^= 1;
        EXPECT_TRUE(SqlSimDecodeLogRecord(damaged.data(), damaged.size(), back, used).IsError()) << at;
    }
    EXPECT_TRUE(SqlSimDecodeLogRecord(encoded.data(), encoded.size() - 1, back, used).IsError());
    EXPECT_TRUE(SqlSimDecodeLogRecord(encoded.data(), 10, back, used).IsError());
    std::string huge = encoded;
    uint32_t length = 0xFFFFFFFF;
    std::memcpy(&huge[40], &length, 4);
    EXPECT_TRUE(SqlSimDecodeLogRecord(huge.data(), huge.size(), back, used).IsError());
}

}  // namespace
