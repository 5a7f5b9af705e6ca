// Changes of simulated databases: pages in place, their log records, the
// LSN state, and SIMPLE recovery truncating the log.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <cstring>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "JxsqlDMO/SqlSimChanges.h"
#include "JxsqlDMO/SqlSimInstance.h"
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
