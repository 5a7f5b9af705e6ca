// Backup-set and log-mark updates against the central-server stand-in.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "JxSQLCommon/records/SqlBackupSetRecords.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "JxsqlDMO/SqlSimLogMarks.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"
#include "tools/jxserve/JxServeBackupSets.h"

namespace {

class BackupSetUpdatesTest : public jxtest::CentralServerTest {
protected:
    // A backup set of `database` as a job fills it.
    template <typename Record>
    void Fill(Record& set, char* database) {
        set.instanceId = 7;
        set.databaseId = 5;
        set.databaseName = database;
        set.jobId = 42;
        set.fileCount = 1;
        set.files = &file;
        file.logicalName = logical;
    }

    // Sends a set of sales with these LSNs, taken on recovery `path` (forked
    // from `forkedFrom` at `forkLsn`; all empty: not known): the out code.
    int Send(std::string type, std::string first, std::string last, std::string checkpoint, std::string base,
             std::string path = "", std::string forkedFrom = "", std::string forkLsn = "") {
        SQLBackupSetInfoReq_VER5_t set;
        Fill(set, sales);
        set.backupType = type.data();
        set.firstLsn = first.data();
        set.lastLsn = last.data();
        set.checkpointLsn = checkpoint.data();
        set.databaseBackupLsn = base.data();
        for (auto [index, text] : {std::pair{SQLBackupSetInfoReq_VER5_t::kRecoveryPathText, &path},
                                   {SQLBackupSetInfoReq_VER5_t::kForkedFromPathText, &forkedFrom},
                                   {SQLBackupSetInfoReq_VER5_t::kForkLsnText, &forkLsn}}) {
            set.extraTexts[index] = text->empty() ? nullptr : text->data();
        }
        CSQLClientDll client;
        client.getDataBuffer()->setExternalBuffer(&set, sizeof set);
        int outCode = -1;
        client.updateBackupSetInfo(&outCode);
        return outCode;
    }

    JXSQLBackupFileInfo_V1_t file;
    char logical[5] = "data";
    char sales[6] = "sales";
};

TEST_F(BackupSetUpdatesTest, StoredUpdateSucceedsWithOutCodeZero) {
    CSQLClientDll client;
    SQLBackupSetInfoReq_VER5_t set;
    Fill(set, sales);
    set.backupPhase = 2;
    client.getDataBuffer()->setExternalBuffer(&set, sizeof set);
    int outCode = -1;
    ASSERT_TRUE(client.updateBackupSetInfo(&outCode));
    EXPECT_EQ(outCode, 0);
    auto stored = JxServeStoredBackupSets();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].databaseName, "sales");
    EXPECT_EQ(stored[0].backupPhase, 2u);
    EXPECT_EQ(stored[0].fileCount, 1u);
}

TEST_F(BackupSetUpdatesTest, OlderRecordIsSentAndLentBackToTheCaller) {
    CSQLClientDll client;
    SQLBackupSetInfoReq_VER3_t set;
    Fill(set, sales);
    client.getDataBuffer()->setExternalBuffer(&set, sizeof set);
    ASSERT_TRUE(client.updateBackupSetInfo(nullptr));
    auto stored = JxServeStoredBackupSets();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].databaseName, "sales");
    EXPECT_EQ(stored[0].jobId, 42u);
    EXPECT_EQ(client.getDataBuffer()->getDataBuffer(), reinterpret_cast<char*>(&set));
    EXPECT_EQ(client.getDataBuffer()->getDataLength(), sizeof set);
}

TEST_F(BackupSetUpdatesTest, BrokenChainGivesItsOutCodeOtherErrorsDoNot) {
    JxServeRefuseBackupSets("sales", 6);
    char other[6] = "other";
    JxServeRefuseBackupSets("other", 7);
    CSQLClientDll client;
    SQLBackupSetInfoReq_VER5_t set;
    Fill(set, sales);
    client.getDataBuffer()->setExternalBuffer(&set, sizeof set);
    int outCode = 0;
    EXPECT_FALSE(client.updateBackupSetInfo(&outCode));
    EXPECT_EQ(outCode, kCauseBrokenChain);
    EXPECT_FALSE(client.updateBackupSetInfo(nullptr));  // a null out-code is accepted

    set.databaseName = other;
    EXPECT_FALSE(client.updateBackupSetInfo(&outCode));
    EXPECT_EQ(outCode, 0);
    EXPECT_TRUE(JxServeStoredBackupSets().empty());
}

// A log continues the chain where a stored log, full or differential ended
// (a restore that ended at the differential carries the log chain on from
// there); one that begins anywhere else breaks it.
TEST_F(BackupSetUpdatesTest, ALogContinuesTheChainWhereAStoredBackupEnded) {
    ASSERT_EQ(Send("D", "100", "200", "150", "0"), 0);
    ASSERT_EQ(Send("L", "200", "250", "150", "150"), 0);
    ASSERT_EQ(Send("I", "280", "300", "290", "150"), 0);
    EXPECT_EQ(Send("L", "300", "400", "290", "150"), 0) << "from the differential's last LSN";
    EXPECT_EQ(Send("L", "350", "450", "290", "150"), kCauseBrokenChain);
    EXPECT_EQ(Send("L", "400", "420", "290", "150", "A"), 0) << "sets stored without a path fit every path";
    EXPECT_EQ(JxServeStoredBackupSets().size(), 5u);
}

// Path B forked from path A at LSN 250, after A's log 250-300: that log is
// no predecessor of B's sets, whose LSNs overlap it; A's sets up to the
// fork are.
TEST_F(BackupSetUpdatesTest, ASetOfARecoveryPathTheDatabaseLeftIsNoPredecessor) {
    ASSERT_EQ(Send("D", "100", "200", "150", "0", "A"), 0);
    ASSERT_EQ(Send("L", "200", "250", "150", "150", "A"), 0);
    ASSERT_EQ(Send("L", "250", "300", "150", "150", "A"), 0);
    EXPECT_EQ(Send("L", "300", "320", "150", "150", "B", "A", "250"), kCauseBrokenChain);
    EXPECT_EQ(Send("I", "290", "300", "295", "150", "B", "A", "250"), 0) << "on the full before the fork";
    EXPECT_EQ(Send("L", "300", "320", "150", "150", "B", "A", "250"), 0) << "from B's differential";
    EXPECT_EQ(Send("L", "300", "310", "150", "150"), 0) << "a set carrying no path fits every path";
}

// A log sent again (same LSNs, same seconds, same path) is stored once; a
// database dropped and created again (path B, no fork) whose first log
// matches the dropped one's in all but the path is stored. (The sets carry
// no data: they count as on the media once published.)
TEST_F(BackupSetUpdatesTest, ALogSentAgainIsStoredOnceAndANewDatabasesLogIsNotTakenForIt) {
    for (const char* path : {"A", "B"}) {
        ASSERT_EQ(Send("D", "100", "200", "150", "0", path), 0);
        ASSERT_EQ(Send("L", "200", "250", "150", "150", path), 0);
        JxServeOpenBackupSetStore()->ExecDML({"UPDATE backup_sets SET published = 1", {}});
    }
    EXPECT_EQ(Send("L", "200", "250", "150", "150", "B"), 0);
    EXPECT_EQ(JxServeStoredBackupSets().size(), 4u);
}

TEST_F(BackupSetUpdatesTest, AzureAndAnalysisUpdatesHaveNoBrokenChainCase) {
    JxServeRefuseBackupSets("sales", 6);
    CSQLClientDll client;
    SQLBackupSetInfoReq_VER5_t set;
    Fill(set, sales);
    client.getDataBuffer()->setExternalBuffer(&set, sizeof set);
    int outCode = -1;
    EXPECT_FALSE(client.updateAzureBackupSetInfo(&outCode));
    EXPECT_EQ(outCode, 0);
    EXPECT_FALSE(client.updateAnalysisBackupSetInfo());

    char other[6] = "other";
    set.databaseName = other;
    EXPECT_TRUE(client.updateAzureBackupSetInfo(nullptr));
    EXPECT_TRUE(client.updateAnalysisBackupSetInfo());
    auto stored = JxServeStoredBackupSets();
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].code, 0x1e00011cu);
    EXPECT_EQ(stored[1].code, 0x1e0000ceu);
}

TEST_F(BackupSetUpdatesTest, UnreachableCentralServerFailsTheUpdate) {
    host.Stop();
    CSQLClientDll client;
    SQLBackupSetInfoReq_VER5_t set;
    Fill(set, sales);
    client.getDataBuffer()->setExternalBuffer(&set, sizeof set);
    int outCode = -1;
    EXPECT_FALSE(client.updateBackupSetInfo(&outCode));
    EXPECT_EQ(outCode, 0);
}

class LogMarkUpdatesTest : public BackupSetUpdatesTest {
protected:
    void SetUp() override {
        BackupSetUpdatesTest::SetUp();
        SqlSimServerSpec server;
        server.name = "SQLHOST/INST1";
        ASSERT_TRUE(instance.Create(server).IsSuccess());
        SqlSimDatabaseSpec database;
        database.name = "sales";
        int64_t id = 0;
        ASSERT_TRUE(instance.AddDatabase(database, &id).IsSuccess());
        databaseId = static_cast<uint64_t>(id);
        JxServeAddDatabase(7, databaseId, "sales");
    }

    void AddMark(const char* name, int64_t value) {
        SqlSimLogMarkSpec mark;
        mark.database = "sales";
        mark.markName = name;
        mark.lsn = std::to_string(value * 100);
        mark.value = value;
        ASSERT_TRUE(SqlSimAddLogMark(instance, mark).IsSuccess());
    }

    SqlSimInstance instance;
    uint64_t databaseId = 0;
};

TEST_F(LogMarkUpdatesTest, SendsOnlyMarksNewerThanTheLastKnownOne) {
    AddMark("m1", 10);
    AddMark("m2", 20);
    AddMark("m3", 30);
    JxServeAddLogMark({7, "sales", "m1", "", "1000", "", 10});
    CSQLClientDll client;
    ASSERT_TRUE(client.updateLogMarks("SQLHOST/INST1", 7, "sales"));
    auto marks = JxServeLogMarks(7, "sales");
    ASSERT_EQ(marks.size(), 3u);
    EXPECT_EQ(marks[1].markName, "m2");
    EXPECT_EQ(marks[2].markName, "m3");
    EXPECT_EQ(marks[2].lsn, "3000");
}

TEST_F(LogMarkUpdatesTest, FirstMarksGoWhenTheCentralServerKnowsNone) {
    AddMark("m1", 10);
    CSQLClientDll client;
    ASSERT_TRUE(client.updateLogMarks("SQLHOST/INST1", 7, "sales"));
    auto marks = JxServeLogMarks(7, "sales");
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0].markName, "m1");
}

TEST_F(LogMarkUpdatesTest, NoNewerMarksSucceedsWithoutSending) {
    AddMark("m1", 10);
    JxServeAddLogMark({7, "sales", "m1", "", "1000", "", 10});
    CSQLClientDll client;
    EXPECT_TRUE(client.updateLogMarks("SQLHOST/INST1", 7, "sales"));
    EXPECT_EQ(JxServeLogMarks(7, "sales").size(), 1u);
}

TEST_F(LogMarkUpdatesTest, FailedMarkQueryFailsWithoutSending) {
    CSQLClientDll client;
    EXPECT_FALSE(client.updateLogMarks("SQLHOST/INST1", 7, "missing"));
    EXPECT_FALSE(client.updateLogMarks("NOHOST/NONE", 7, "sales"));
}

}  // namespace
