// Which backups the central-server stand-in puts in a database's restore
// chain, as the restore job receives them (oldest first).
#include <gtest/gtest.h>

#include <list>
#include <string>

#include "JxSQLCommon/records/SqlRestoreRecords.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"
#include "tools/jxserve/JxServeRestoreStore.h"

namespace {

constexpr uint64_t kInstance = 9;

class RestoreChainsTest : public jxtest::CentralServerTest {
protected:
    // History (end times): D1 100, L 150, I 200, L 250, D2 300, L 350, I 400,
    // L 450, L 500; job ids follow the end times.
    void SetUp() override {
        CentralServerTest::SetUp();
        for (auto [type, end] : {std::pair{'D', 100}, {'L', 150}, {'I', 200}, {'L', 250}, {'D', 300}, {'L', 350},
                                 {'I', 400}, {'L', 450}, {'L', 500}}) {
            Put(type, static_cast<uint64_t>(end));
        }
        Put('L', 600, "other");
    }

    void Put(char type, uint64_t end, const std::string& database = "sales") {
        JxServeBackup b;
        b.instanceId = kInstance;
        b.database = database;
        b.jobId = end;
        b.backupType = type;
        b.startTime = end - 5;
        b.endTime = end;
        JxServePutBackup(b);
    }

    // The chain as "type+job id" items, oldest first.
    std::string Chain(uint64_t toTime, uint64_t restoreTime, int kind) {
        std::list<SqlAFilesPerBackup_t> backups;
        EXPECT_TRUE(client.getAFilesForDb(5, kInstance, toTime, restoreTime, kind, "sales", backups));
        std::string out;
        for (const auto& b : backups) {
            out += (out.empty() ? "" : " ") + std::string(1, static_cast<char>(b.backupType)) +
                   std::to_string(b.jobId);
        }
        return out;
    }

    CSQLClientDll client;
};

TEST_F(RestoreChainsTest, LatestStateIsTheNewestFullItsDifferentialAndTheLogsAfter) {
    EXPECT_EQ(Chain(0, 0, 4), "D300 I400 L450 L500");
    EXPECT_EQ(Chain(0, 0, 0), "D300 I400 L450 L500");
}

TEST_F(RestoreChainsTest, PointInTimeEndsWithTheLogThatReachesIt) {
    EXPECT_EQ(Chain(230, 0, 1), "D100 I200 L250");
    EXPECT_EQ(Chain(250, 0, 1), "D100 I200 L250");
    EXPECT_EQ(Chain(320, 0, 1), "D300 L350");
    EXPECT_EQ(Chain(180, 0, 3), "D100 L150 L250");  // the differential ended later
    EXPECT_EQ(Chain(900, 0, 1), "D300 I400 L450 L500");
}

TEST_F(RestoreChainsTest, NoFullBackupByTheToTimeGivesAnEmptyChain) {
    EXPECT_EQ(Chain(90, 0, 1), "");
}

TEST_F(RestoreChainsTest, AfterALastRestoreComesWhatFollowsItOnTheSameFull) {
    EXPECT_EQ(Chain(150, 150, 4), "I200 L250 L350 L450 L500");
    EXPECT_EQ(Chain(250, 250, 4), "L350 L450 L500");  // I400 is on the later full
    EXPECT_EQ(Chain(450, 450, 4), "L500");
    EXPECT_EQ(Chain(500, 500, 4), "");
}

TEST_F(RestoreChainsTest, LogGapsArePassedOnForSqlServerToRefuse) {
    Put('L', 700);  // the stored 600 belongs to another database: 500 -> 700 is a gap it cannot see
    EXPECT_EQ(Chain(0, 0, 1), "D300 I400 L450 L500 L700");
}

}  // namespace
