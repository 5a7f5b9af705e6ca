// Which backups the central-server stand-in puts in a database's restore
// chain, as the restore job receives them (oldest first).
#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlRestoreRecords.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"
#include "tests/JxSQLMessageHandler/client/FileGroupListRequest.h"
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

// Histories as the jobs leave them, each set with its LSNs: a differential
// goes on the full its database backup LSN names, whatever lies between.
class ChainRulesTest : public jxtest::CentralServerTest {
protected:
    // A backup ending at `end` (its job id) whose checkpoint LSN is its end
    // time and whose database backup LSN is `base`.
    JxServeBackup& Put(char type, uint64_t end, uint64_t base = 0) {
        JxServeBackup& b = history.emplace_back();
        b.instanceId = kInstance;
        b.database = "sales";
        b.jobId = end;
        b.backupType = type;
        b.startTime = end - 5;
        b.endTime = end;
        b.lastLsn = std::to_string(end);
        b.checkpointLsn = std::to_string(end);
        b.databaseBackupLsn = base != 0 ? std::to_string(base) : "";
        return b;
    }
    // Stores the backups put so far.
    void Store() {
        for (JxServeBackup& b : history) b.restoreId = JxServePutBackup(b);
    }

    static std::string Items(const std::list<SqlAFilesPerBackup_t>& backups) {
        std::string out;
        for (const auto& b : backups) {
            out += (out.empty() ? "" : " ") + std::string(1, static_cast<char>(b.backupType)) + std::to_string(b.jobId);
        }
        return out;
    }
    std::string Chain(uint64_t toTime, uint64_t restoreTime, int kind) {
        std::list<SqlAFilesPerBackup_t> backups;
        EXPECT_TRUE(client.getAFilesForDb(5, kInstance, toTime, restoreTime, kind, "sales", backups));
        return Items(backups);
    }
    // The file-group list for `name`, as the backups' job ids.
    std::string FileGroupList(uint64_t toTime, const std::string& name) {
        std::list<unsigned long> ids;
        EXPECT_EQ(jxtest::AskFileGroupList(client, "sales", kInstance, toTime, 0, name, ids), 0u);
        std::string out;
        for (unsigned long id : ids) {
            for (const JxServeBackup& b : history) {
                if (b.restoreId == id)
                    out += (out.empty() ? "" : " ") + std::string(1, b.backupType) + std::to_string(b.jobId);
            }
        }
        return out;
    }
    std::string LiveSync(const std::string& restoredLsn) {
        SQLPmn::DBLastRestoreInfo last;
        last.setstring(SQLPmn::DBLastRestoreInfo::kLastLsn, restoredLsn);
        std::list<SqlAFilesPerBackup_t> backups;
        EXPECT_TRUE(client.getAfilesForDBForLiveSync(5, kInstance, "sales", last, backups));
        return Items(backups);
    }

    std::vector<JxServeBackup> history;
    CSQLClientDll client;
};

// Full 100, log 150, copy-only full 160, differential of the full 200, log
// 250: the copy-only full takes no differential, the full still does.
TEST_F(ChainRulesTest, ACopyOnlyFullIsNoDifferentialBaseAndTheFullKeepsItsDifferential) {
    Put('D', 100);
    Put('L', 150);
    Put('D', 160).copyOnly = true;
    Put('I', 200, 100);
    Put('L', 250);
    Store();
    EXPECT_EQ(Chain(0, 0, 1), "D160 L250");
    EXPECT_EQ(Chain(220, 0, 1), "D160 L250");
    EXPECT_EQ(Chain(155, 0, 1), "D100 L150 L250");
    EXPECT_EQ(Chain(150, 150, 4), "I200 L250");  // after a restore of the full's chain
    EXPECT_EQ(Chain(170, 170, 4), "L250");       // after the copy-only full
    EXPECT_EQ(FileGroupList(0, "FG2"), "D160 L250");
    EXPECT_EQ(LiveSync("150"), "I200 L250") << "the standby goes on by its own full";
}

// A subclient switched to snapshots: streamed full 100 and log 150, snapshot
// full 200, a streamed differential on it 250, log 300; then a file backup of
// the primary group 350 and a log 400.
TEST_F(ChainRulesTest, AFileGroupChainBeginsWithAFullTheJobCanReadThatHoldsTheGroup) {
    JxServeBackup& full = Put('D', 100);
    full.fileGroups = {"PRIMARY", "FG2"};
    full.dataFiles = {"Sales", "Sales3"};
    Put('L', 150);
    Put('D', 200).word10 = 2;
    Put('I', 250, 200);
    Put('L', 300);
    JxServeBackup& primaryOnly = Put('D', 350);
    primaryOnly.fileGroups = {"PRIMARY"};
    primaryOnly.dataFiles = {"Sales"};
    Put('L', 400);
    Store();
    EXPECT_EQ(FileGroupList(0, "FG2"), "D100 L150 L300 L400") << "logs run on across later fulls";
    EXPECT_EQ(FileGroupList(0, "fg2"), "D100 L150 L300 L400");
    EXPECT_EQ(FileGroupList(0, "Sales3"), "D100 L150 L300 L400");
    EXPECT_EQ(FileGroupList(0, "Sales"), "D350 L400");
    EXPECT_EQ(FileGroupList(280, "Sales"), "D100 L150 L300");
    EXPECT_EQ(FileGroupList(0, "NoSuchGroup"), "");
    // The ordinary chain keeps the snapshot sets: a revert reads it.
    EXPECT_EQ(Chain(280, 0, 1), "D200 I250 L300");
    // A standby leaves out the snapshot full and the differential on it.
    EXPECT_EQ(LiveSync("150"), "L300 D350 L400");
}

// A store written before the chains' LSNs and the copy-only flag were kept
// gets them on opening: its backups stay on record, placed by position.
TEST_F(ChainRulesTest, AStoreWrittenBeforeTheBaseLsnsWereKeptStillAnswersByPosition) {
    Put('D', 100);
    Put('I', 200, 100);
    Store();
    for (const char* column : {"checkpoint_lsn", "database_backup_lsn", "copy_only"}) {
        ASSERT_NO_FATAL_FAILURE(jxtest::DropColumnFromStore("backups", column));
    }
    EXPECT_EQ(Chain(0, 0, 1), "D100 I200");
    history.clear();
    Put('D', 300).copyOnly = true;
    Put('I', 400, 100);
    Store();
    EXPECT_EQ(Chain(0, 0, 1), "D300") << "the new sets keep what places them";
}

}  // namespace
