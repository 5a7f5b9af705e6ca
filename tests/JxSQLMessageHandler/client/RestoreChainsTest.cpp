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
    // A log backup ending at `end` that holds the log from `first` to `last`.
    JxServeBackup& Log(uint64_t end, uint64_t first, uint64_t last) {
        JxServeBackup& b = Put('L', end);
        b.firstLsn = std::to_string(first);
        b.lastLsn = std::to_string(last);
        return b;
    }
    // Full 100, copy-only full 150, a differential of the full 200.
    void PutFullCopyOnlyFullAndDifferential() {
        Put('D', 100);
        Put('D', 150).copyOnly = true;
        Put('I', 200, 100);
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
    std::string LiveSync(const std::string& restoredLsn, const std::string& restoredFirstLsn = "") {
        SQLPmn::DBLastRestoreInfo last;
        last.setstring(SQLPmn::DBLastRestoreInfo::kLastLsn, restoredLsn);
        if (!restoredFirstLsn.empty()) last.setstring(SQLPmn::DBLastRestoreInfo::kFirstLsn, restoredFirstLsn);
        std::list<SqlAFilesPerBackup_t> backups;
        EXPECT_TRUE(client.getAfilesForDBForLiveSync(5, kInstance, "sales", last, backups));
        return Items(backups);
    }

    // Puts the backups of a database restored in place to log 150's end
    // after log 200: full 100 and logs 150 and 200 on path A, then path B,
    // forked from A at LSN 150, whose LSNs overlap A's (each `end` on B holds
    // LSN end - 90).
    void PutTwoRecoveryPaths(const std::vector<std::pair<char, uint64_t>>& onB) {
        for (uint64_t end : {100, 150, 200}) Put(end == 100 ? 'D' : 'L', end).recoveryPath = "A";
        for (auto [type, end] : onB) {
            JxServeBackup& b = Put(type, end, type == 'I' ? 100 : 0);
            b.lastLsn = b.checkpointLsn = std::to_string(end - 90);
            b.recoveryPath = "B";
            b.forkedFromPath = "A";
            b.forkLsn = "150";
        }
        Store();
    }

    std::vector<JxServeBackup> history;
    CSQLClientDll client;
};

// No chain mixes two recovery paths: to the latest time and after a restore
// on the abandoned path, the new path's; to a point before the fork, the
// old one's, abandoned log included.
TEST_F(ChainRulesTest, EveryChainKeepsToOneRecoveryPath) {
    PutTwoRecoveryPaths({{'D', 250}, {'L', 300}});
    EXPECT_EQ(Chain(0, 0, 1), "D250 L300");
    EXPECT_EQ(Chain(260, 0, 1), "D250 L300");
    EXPECT_EQ(Chain(200, 0, 1), "D100 L150 L200");
    EXPECT_EQ(Chain(200, 200, 4), "D250 L300") << "a standby on the abandoned path starts again from the full";
    EXPECT_EQ(Chain(250, 250, 4), "L300");
    EXPECT_EQ(FileGroupList(0, "Sales"), "D250 L300");
    EXPECT_EQ(LiveSync("200"), "D250 L300") << "a standby at the abandoned log's end";
    EXPECT_EQ(LiveSync("160"), "L300");
}

// A log of path A whose job ended before the in-place restore that began
// path B, but whose set was stored after B's first full: the latest path is
// that of the backup that ended last, B.
TEST_F(ChainRulesTest, TheLatestPathIsThatOfTheBackupThatEndedLast) {
    PutTwoRecoveryPaths({{'D', 250}});
    history.clear();
    Put('L', 210).recoveryPath = "A";
    Store();
    EXPECT_EQ(Chain(0, 0, 1), "D250");
    EXPECT_EQ(LiveSync("210"), "D250");
}

// A standby's last restored backup is told by its first LSN too: the
// abandoned log 150-200 and path B's full, which ends at the same LSN, are
// not taken for each other.
TEST_F(ChainRulesTest, AStandbyIsPlacedOnItsPathByTheFirstAndLastLsnOfItsLastBackup) {
    Put('D', 100).recoveryPath = "A";
    for (uint64_t end : {150, 200}) {
        JxServeBackup& log = Put('L', end);
        log.firstLsn = std::to_string(end - 50);
        log.recoveryPath = "A";
    }
    for (auto [type, end] : {std::pair{'D', 250}, {'L', 300}}) {
        JxServeBackup& b = Put(type, end);
        b.firstLsn = "200";
        b.lastLsn = b.checkpointLsn = type == 'D' ? "200" : "250";
        b.recoveryPath = "B";
        b.forkedFromPath = "A";
        b.forkLsn = "150";
    }
    Store();
    EXPECT_EQ(LiveSync("200", "150"), "D250 L300") << "at the abandoned log's end";
    EXPECT_EQ(LiveSync("200", "200"), "L300") << "at the new path's full";
}

// A differential on the new path based on the full before the fork: the
// parent path's backups up to the fork point count, the abandoned log not.
TEST_F(ChainRulesTest, TheParentPathsBackupsCountUpToTheForkPoint) {
    PutTwoRecoveryPaths({{'I', 250}});
    EXPECT_EQ(Chain(0, 0, 1), "D100 I250");
    EXPECT_EQ(Chain(200, 200, 4), "D100 I250");
    EXPECT_EQ(Chain(150, 150, 4), "I250");
}

// A store upgraded with a full and a log stored before the recovery paths
// were carried, then a log stored with its path: the old sets fit the path.
TEST_F(ChainRulesTest, SetsStoredWithoutARecoveryPathFitThePathOfLaterSets) {
    Put('D', 100);
    Put('L', 150);
    Store();
    for (const char* column : {"recovery_path", "forked_from_path", "fork_lsn"}) {
        ASSERT_NO_FATAL_FAILURE(jxtest::DropColumnFromStore("backups", column));
    }
    history.clear();
    Put('L', 200).recoveryPath = "A";
    Store();
    EXPECT_EQ(Chain(0, 0, 1), "D100 L150 L200");
}

// A full whose job began during a log job and ended before it, on one
// path: the full stays the newest full. The log read the log only up to an
// LSN below the full's end, so the engine would refuse it after the full as
// too early: it is no part of the full's chain, the next log is.
TEST_F(ChainRulesTest, AFullThatEndedDuringALogJobStaysTheNewestFull) {
    Put('D', 100).recoveryPath = "A";
    JxServeBackup& full = Put('D', 170);
    full.startTime = 160;
    full.recoveryPath = "A";
    JxServeBackup& log = Put('L', 180);
    log.startTime = 150;
    log.lastLsn = "155";
    log.recoveryPath = "A";
    Put('L', 190).recoveryPath = "A";
    Store();
    EXPECT_EQ(Chain(0, 0, 1), "D170 L190");
}

// Full 50 (LSN 100) and logs 51 and 52; then a full or a differential 62
// (read up to LSN 130, began at 55) and log 61, which ran beside it and
// ended first, so was stored first, yet holds the log from 120 to 140; then
// log 64. Every chain takes log 61 after the data backup.
class LogStoredBeforeItsBase : public ChainRulesTest, public ::testing::WithParamInterface<char> {};

TEST_P(LogStoredBeforeItsBase, IsInEveryChainOnThatBase) {
    const char type = GetParam();
    Put('D', 50).lastLsn = "100";
    Log(51, 100, 110);
    Log(52, 110, 120);
    Log(61, 120, 140).startTime = 56;
    JxServeBackup& data = Put(type, 62, type == 'I' ? 50 : 0);
    data.startTime = 55;
    data.lastLsn = "130";
    Log(64, 140, 150);
    Store();
    const std::string chain = type == 'I' ? "D50 I62 L61 L64" : "D62 L61 L64";
    EXPECT_EQ(Chain(0, 0, 1), chain);
    EXPECT_EQ(Chain(63, 0, 1), chain) << "a point after the data backup's end";
    EXPECT_EQ(Chain(62, 62, 4), "L64");
    EXPECT_EQ(FileGroupList(0, "FG2"), chain);
    EXPECT_EQ(LiveSync("120"), "L61 L64") << "a standby after log 52 is not taken back to the data backup";
    EXPECT_EQ(LiveSync("130"), "L61 L64") << "a standby at the data backup";
}

INSTANTIATE_TEST_SUITE_P(FullOrDifferential, LogStoredBeforeItsBase, ::testing::Values('D', 'I'),
                         [](const auto& info) { return info.param == 'D' ? "Full" : "Differential"; });

// Logs are taken in LSN order from where the chain stands, each once: a
// copy-only log beside the schedule's, an empty log and a log stored twice
// add nothing; a log that ran beside a differential and ended below it is
// left out; the logs after a gap are still sent. A standby that no log
// carries on past the gap is not taken back by a cycle on the full; one
// that needs a differential gets its full with it.
TEST_F(ChainRulesTest, LogsAreTakenByTheirLsnsFromWhereTheChainStands) {
    Put('D', 100);
    Log(110, 100, 110);
    Log(115, 110, 115);  // copy-only, beside log 120
    Log(120, 110, 120);
    Log(125, 120, 120);  // empty
    Log(130, 120, 130);
    Log(130, 120, 130);  // stored twice
    Log(150, 140, 150);  // after a gap
    Store();
    EXPECT_EQ(Chain(0, 0, 1), "D100 L110 L115 L120 L130 L150");
    EXPECT_EQ(LiveSync("120"), "L130 L150");
    EXPECT_EQ(LiveSync("130"), "L150") << "past the gap: for the engine to refuse";
    history.clear();
    JxServeBackup& diff = Put('I', 200, 100);
    diff.startTime = 170;
    Log(205, 150, 190).startTime = 160;  // ran beside the differential, ended below it
    Log(250, 190, 250);
    Store();
    EXPECT_EQ(Chain(0, 0, 1), "D100 I200 L250");
    EXPECT_EQ(LiveSync("150"), "L205 L250");
    EXPECT_EQ(LiveSync("130"), "D100 I200 L250") << "past the gap the differential comes with its full";
}

// A file full of FG2 (LSNs 100 to 120) carries no log: every log from its
// first LSN on follows it, the one that ran beside it, ended within its
// range and was stored first included.
TEST_F(ChainRulesTest, AFileBackupsChainTakesTheLogFromItsFirstLsn) {
    Log(110, 100, 110).startTime = 90;
    JxServeBackup& fileFull = Put('F', 120);
    fileFull.startTime = 95;
    fileFull.firstLsn = "100";
    fileFull.fileGroups = {"FG2"};
    fileFull.dataFiles = {"Sales2"};
    Log(130, 110, 130);
    Store();
    EXPECT_EQ(FileGroupList(0, "FG2"), "F120 L110 L130");
}

// A database dropped and created again, with sets stored without recovery
// paths: the old generation's log, whose LSNs overlap the new one's, ended
// before the new full began and is no part of its chains.
TEST_F(ChainRulesTest, AnOlderGenerationsLogIsNotPulledIntoANewerChain) {
    Put('D', 100).lastLsn = "100";
    Log(150, 100, 120);
    JxServeBackup& full = Put('D', 200);
    full.startTime = 190;
    full.lastLsn = "110";
    Log(250, 110, 130);
    Store();
    EXPECT_EQ(Chain(0, 0, 1), "D200 L250");
    EXPECT_EQ(LiveSync("110"), "L250");
}

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
    EXPECT_EQ(LiveSync("150"), "L250") << "the standby goes on by its logs";
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
    JxServeBackup& primaryOnly = Put('F', 350);
    primaryOnly.fileGroups = {"PRIMARY"};
    primaryOnly.dataFiles = {"Sales"};
    Put('L', 400);
    Store();
    EXPECT_EQ(FileGroupList(0, "FG2"), "D100 L150 L300 L400") << "logs run on across later fulls";
    EXPECT_EQ(FileGroupList(0, "fg2"), "D100 L150 L300 L400");
    EXPECT_EQ(FileGroupList(0, "Sales3"), "D100 L150 L300 L400");
    EXPECT_EQ(FileGroupList(0, "Sales"), "F350 L400");
    EXPECT_EQ(FileGroupList(280, "Sales"), "D100 L150 L300");
    EXPECT_EQ(FileGroupList(0, "NoSuchGroup"), "");
    // The ordinary chain keeps the snapshot sets: a revert reads it.
    EXPECT_EQ(Chain(280, 0, 1), "D200 I250 L300");
    // A standby leaves out the snapshot full, the differential on it and
    // the file backup.
    EXPECT_EQ(LiveSync("150"), "L300 L400");
}

// Sets the job cannot read through the virtual device: a snapshot
// differential on a streamed full, and a full of backup method 5.
TEST_F(ChainRulesTest, AFileGroupChainLeavesOutSetsTheJobCannotRead) {
    Put('D', 100);
    Put('L', 150);
    Put('I', 175, 100).word10 = 2;
    Put('D', 200).word10 = 5;
    Put('L', 250);
    Store();
    EXPECT_EQ(FileGroupList(0, "FG2"), "D100 L150 L250");
    EXPECT_EQ(Chain(0, 0, 1), "D200 L250") << "a revert reads the ordinary chain";
}

// Full 100 of the primary group, log 150, then a file of group FG2 added:
// full 200 holds it, log 250.
TEST_F(ChainRulesTest, ADataFileAddedAfterAFullIsNoPartOfThatFullsChain) {
    JxServeBackup& before = Put('D', 100);
    before.fileGroups = {"PRIMARY"};
    before.dataFiles = {"Sales"};
    Put('L', 150);
    JxServeBackup& after = Put('D', 200);
    after.fileGroups = {"PRIMARY", "FG2"};
    after.dataFiles = {"Sales", "Sales2"};
    Put('L', 250);
    Store();
    EXPECT_EQ(FileGroupList(180, "Sales2"), "");
    EXPECT_EQ(FileGroupList(180, "FG2"), "");
    EXPECT_EQ(FileGroupList(180, "Sales"), "D100 L150 L250");
    EXPECT_EQ(FileGroupList(0, "Sales2"), "D200 L250");
}

// Database full 50 (groups PRIMARY, FG2, FG3), a file full of FG2 51, log
// 52, a file differential of FG2 on it 53, logs 54 and 55.
TEST_F(ChainRulesTest, FileBackupsAreStepsOfTheChainsOfTheFilesTheyHoldOnly) {
    JxServeBackup& full = Put('D', 50);
    full.fileGroups = {"PRIMARY", "FG2", "FG3"};
    full.dataFiles = {"Sales", "Sales2", "Sales3"};
    JxServeBackup& fileFull = Put('F', 51);
    fileFull.fileGroups = {"FG2"};
    fileFull.dataFiles = {"Sales2"};
    Put('L', 52);
    JxServeBackup& fileDiff = Put('G', 53, 51);
    fileDiff.fileGroups = {"FG2"};
    fileDiff.dataFiles = {"Sales2"};
    Put('L', 54);
    Put('L', 55);
    Store();
    EXPECT_EQ(FileGroupList(0, "FG3"), "D50 L52 L54 L55");
    EXPECT_EQ(FileGroupList(0, "FG2"), "F51 G53 L54 L55");
    EXPECT_EQ(FileGroupList(0, "Sales2"), "F51 G53 L54 L55");
    EXPECT_EQ(FileGroupList(52, "FG2"), "F51 L52");
    EXPECT_EQ(Chain(0, 0, 1), "D50 L52 L54 L55") << "the whole database";
    EXPECT_EQ(Chain(0, 0, 0), "D50 L52 L54 L55");
    EXPECT_EQ(Chain(51, 51, 4), "L52 L54 L55");
    EXPECT_EQ(LiveSync(""), "D50 L52 L54 L55");
    EXPECT_EQ(LiveSync("52"), "L54 L55");
}

// Full 100, a file full of group FG2 150, a differential of the full 200,
// log 250.
TEST_F(ChainRulesTest, AFileFullIsNoBaseOfTheDatabasesChain) {
    Put('D', 100);
    JxServeBackup& fileFull = Put('F', 150);
    fileFull.fileGroups = {"FG2"};
    fileFull.dataFiles = {"Sales2"};
    Put('I', 200, 100);
    Put('L', 250);
    Store();
    EXPECT_EQ(Chain(0, 0, 1), "D100 I200 L250");
    EXPECT_EQ(Chain(180, 0, 1), "D100 L250");
    EXPECT_EQ(Chain(160, 160, 4), "I200 L250");
    EXPECT_EQ(LiveSync(""), "D100 I200 L250");
}

// Full 100 (files Sales and Sales4), log 150, a differential 200 taken
// after Sales4 was removed, log 250.
TEST_F(ChainRulesTest, ADifferentialIsAStepOfAFileGroupChainOnlyWhenItHoldsTheNames) {
    JxServeBackup& full = Put('D', 100);
    full.fileGroups = {"PRIMARY", "FG2"};
    full.dataFiles = {"Sales", "Sales4"};
    Put('L', 150);
    JxServeBackup& diff = Put('I', 200, 100);
    diff.fileGroups = {"PRIMARY"};
    diff.dataFiles = {"Sales"};
    Put('L', 250);
    Store();
    EXPECT_EQ(FileGroupList(0, "Sales4"), "D100 L150 L250");
    EXPECT_EQ(FileGroupList(0, "FG2"), "D100 L150 L250");
    EXPECT_EQ(FileGroupList(0, "Sales"), "D100 I200 L250");
}

// Full 50, log 51, copy-only full 52, a differential of the full 53, no log
// after it yet: the differential's changes are the latest state.
TEST_F(ChainRulesTest, AChainThatReachesFurtherThanANewerCopyOnlyFullIsSent) {
    Put('D', 50);
    Put('L', 51);
    Put('D', 52).copyOnly = true;
    Put('I', 53, 50);
    Store();
    EXPECT_EQ(Chain(0, 0, 1), "D50 I53");
    EXPECT_EQ(Chain(0, 0, 0), "D50 I53");
    EXPECT_EQ(Chain(53, 0, 1), "D50 I53") << "only the full's chain reaches the point";
    EXPECT_EQ(Chain(52, 0, 1), "D52") << "only the copy-only full reaches the point";
    EXPECT_EQ(Chain(52, 52, 4), "I53") << "after a restore to the copy-only full's second";
    EXPECT_EQ(Chain(51, 51, 4), "I53");
    EXPECT_EQ(FileGroupList(0, "FG2"), "D50 I53");
}

// SIMPLE recovery: full, copy-only full, differential of the full.
TEST_F(ChainRulesTest, WithoutLogsTheLatestStateIsTheFullAndItsDifferential) {
    PutFullCopyOnlyFullAndDifferential();
    Store();
    EXPECT_EQ(Chain(0, 0, 1), "D100 I200");
    EXPECT_EQ(Chain(900, 0, 1), "D100 I200") << "neither reaches the point: the one that comes closest";
}

// A copy-only full and a differential that end in the same second: the
// differential reaches the higher LSN.
TEST_F(ChainRulesTest, BackupsEndingInTheSameSecondAreComparedByTheirLsns) {
    Put('D', 100);
    Put('L', 150);
    Put('D', 200).copyOnly = true;
    JxServeBackup& diff = Put('I', 210, 100);
    diff.endTime = 200;
    Store();
    EXPECT_EQ(Chain(0, 0, 1), "D100 I210");
    EXPECT_EQ(Chain(150, 150, 4), "I210");
}

// Full 100, copy-only full 150, a log 180 reaching as far as the
// differential of the full 200.
TEST_F(ChainRulesTest, OfChainsThatReachEquallyFarTheOneOnTheNewerFullIsSent) {
    Put('D', 100);
    Put('D', 150).copyOnly = true;
    Put('L', 180).lastLsn = "200";
    Put('I', 200, 100);
    Store();
    EXPECT_EQ(Chain(0, 0, 1), "D150 L180");
    EXPECT_EQ(Chain(190, 0, 1), "D150 L180");
}

// Full 100, copy-only full 150, logs 160 and 170, a differential of the
// full 200, log 250: both chains reach as far.
TEST_F(ChainRulesTest, OfChainsThatReachEquallyFarTheOneWithFewerBackupsIsSent) {
    Put('D', 100);
    Put('D', 150).copyOnly = true;
    Put('L', 160);
    Put('L', 170);
    Put('I', 200, 100);
    Put('L', 250);
    Store();
    EXPECT_EQ(Chain(0, 0, 1), "D100 I200 L250");
    EXPECT_EQ(Chain(220, 0, 1), "D100 I200 L250");
    EXPECT_EQ(Chain(165, 0, 1), "D150 L160 L170") << "as many backups: the newer full";
    EXPECT_EQ(Chain(180, 180, 4), "L250") << "after a restore on either full";
}

// Full 100, log 150, copy-only full 160, a differential of the full 200;
// the database was restored up to the differential and its log chain goes
// on from there: log 250 begins at the differential's last LSN, beyond what
// the copy-only full reaches.
TEST_F(ChainRulesTest, ALogBeginningBeyondACopyOnlyFullLeavesItsChainAGap) {
    Put('D', 100);
    Put('L', 150);
    Put('D', 160).copyOnly = true;
    Put('I', 200, 100);
    Put('L', 250).firstLsn = "200";
    Store();
    EXPECT_EQ(Chain(0, 0, 1), "D100 I200 L250");
    EXPECT_EQ(Chain(230, 0, 1), "D100 I200 L250") << "only the full's chain reaches the point";
    EXPECT_EQ(Chain(170, 170, 4), "I200 L250");
    EXPECT_EQ(FileGroupList(0, "FG2"), "D100 I200 L250");
}

// Sets whose last LSNs are not known: how far a chain reaches cannot be
// told, and the newest full's chain is sent, as before.
TEST_F(ChainRulesTest, WithoutLastLsnsTheChainOnTheNewestFullIsSent) {
    PutFullCopyOnlyFullAndDifferential();
    for (JxServeBackup& b : history) b.lastLsn.clear();
    Store();
    EXPECT_EQ(Chain(200, 0, 1), "D150");
    EXPECT_EQ(Chain(0, 0, 1), "D150");
}

// A store written before the chains' LSNs and the copy-only flag were kept
// gets them on opening: its backups stay on record, placed by position.
TEST_F(ChainRulesTest, AStoreWrittenBeforeTheBaseLsnsWereKeptStillAnswersByPosition) {
    Put('D', 100);
    Put('I', 200, 100);
    Store();
    for (const char* column :
         {"checkpoint_lsn", "database_backup_lsn", "copy_only", "recovery_path", "forked_from_path", "fork_lsn"}) {
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
