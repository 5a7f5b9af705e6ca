#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimDescription.h"
#include "WzUtils/FXString.h"
#include "tests/support/TestRoot.h"

namespace {

template <typename T>
std::vector<T> V(const std::list<T>& list) {
    return std::vector<T>(list.begin(), list.end());
}
template <typename T>
const std::vector<T>& V(const std::vector<T>& list) {
    return list;
}

void FreeReply(SQLStepRestoreListRsp_t& reply) {
    for (uint32_t i = 0; i < reply.count; ++i) {
        SQLStepRestoreInfo_t& e = reply.entries[i];
        for (char* text : {e.backupType, e.firstLSN, e.lastLSN, e.databaseBackupLSN, e.device}) std::free(text);
    }
    std::free(reply.entries);
    std::free(reply.errorMessage);
    reply = SQLStepRestoreListRsp_t();
}

class CsqlDMOTest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        ASSERT_FALSE(SqlSimApplyDescription(R"(
instance srv1/prod version=16.0.1000.6
database sales created=1700000000
database "a'b]" state=offline created=1700000001
filegroup sales ARCHIVE
filegroup sales EMPTY
file sales ARCHIVE sales_archive size=4096
login backup password="pw 1" roles=sysadmin
login reader password=pw roles=public
login gone password=pw roles=sysadmin disabled=yes
instance srv1/test version=15.0.4153.1 running=no integrated=no
instance other version=14.0.1000.169 clustered=yes
)")
                         .IsError());
    }
    CsqlDMO dmo;
};

TEST_F(CsqlDMOTest, InitializeNeedsARunningInstanceAndAcceptedLogin) {
    EXPECT_TRUE(dmo.initialize("srv1/prod", false));
    EXPECT_TRUE(dmo.initialize("SRV1/PROD", false));
    EXPECT_FALSE(dmo.initialize("srv1/nothere", false));
    EXPECT_NE(FXString::ToString(dmo.getErrorString()).find("srv1/nothere"), std::string::npos);
    EXPECT_FALSE(dmo.initialize("srv1/test", false));
    EXPECT_NE(FXString::ToString(dmo.getErrorString()).find("not running"), std::string::npos);
    EXPECT_FALSE(dmo.initialize("../../etc", false));

    dmo.setUserName("reader");
    dmo.setPassword("wrong");
    EXPECT_FALSE(dmo.initialize("srv1/prod", false));
    dmo.setPassword("pw");
    EXPECT_TRUE(dmo.initialize("srv1/prod", false));
}

TEST_F(CsqlDMOTest, ServerInfoListsTheInstancesOfOneHost) {
    SQLServerInfo_t info;
    ASSERT_TRUE(dmo.getSQLServerInfo("SRV1", info));
    EXPECT_EQ(V(info.instances), (std::vector<std::string>{"srv1/prod", "srv1/test"}));
    EXPECT_EQ(V(info.versions), (std::vector<std::string>{"16.0.1000.6", "15.0.4153.1"}));
    EXPECT_EQ(V(info.clustered), (std::vector<std::string>{"no", "no"}));
    EXPECT_EQ(V(info.states), (std::vector<std::string>{"running", "stopped"}));

    SQLServerInfo_t all;
    ASSERT_TRUE(dmo.getSQLServerInfo("", all));
    EXPECT_EQ(all.instances.size(), 3u);
    SQLServerInfo_t none;
    ASSERT_TRUE(dmo.getSQLServerInfo("elsewhere", none));
    EXPECT_TRUE(none.instances.empty());
}

TEST_F(CsqlDMOTest, VerifyUserNeedsTheRightPasswordAndTheSysadminRole) {
    EXPECT_TRUE(dmo.verifyUser("backup", "pw 1", "srv1/prod"));
    EXPECT_TRUE(dmo.verifyUser("BACKUP", "pw 1", "srv1/prod"));  // login names ignore case
    EXPECT_FALSE(dmo.verifyUser("backup", "PW 1", "srv1/prod"));  // passwords do not
    EXPECT_FALSE(dmo.verifyUser("reader", "pw", "srv1/prod"));
    EXPECT_NE(FXString::ToString(dmo.getErrorString()).find("sysadmin"), std::string::npos);
    EXPECT_FALSE(dmo.verifyUser("gone", "pw", "srv1/prod"));
    EXPECT_FALSE(dmo.verifyUser("nobody", "", "srv1/prod"));
    EXPECT_FALSE(dmo.verifyUser("x' OR '1'='1", "x' OR '1'='1", "srv1/prod"));
    // An empty user name is the agent's own account.
    EXPECT_TRUE(dmo.verifyUser("", "", "srv1/prod"));
    EXPECT_FALSE(dmo.verifyUser("", "", "other/nothere"));
}

TEST_F(CsqlDMOTest, DatabaseListsRunInIdOrderWithoutTempdb) {
    DatabaseInfo_11_t info;
    ASSERT_TRUE(dmo.getDatabases_11("srv1/prod", info));
    EXPECT_EQ(V(info.names), (std::vector<std::string>{"master", "model", "msdb", "sales", "a'b]"}));
    EXPECT_EQ(V(info.ids), (std::vector<uint64_t>{1, 3, 4, 5, 6}));
    EXPECT_EQ(info.creationTimes.back(), 1700000001u);
    EXPECT_EQ(V(info.states), (std::vector<uint64_t>{1, 1, 1, 1, SQLDB_STATE_OFFLINE}));

    DatabaseInfo_t old;
    ASSERT_TRUE(dmo.getDatabases("srv1/prod", old));
    EXPECT_EQ(V(old.ids), (std::vector<std::string>{"1", "3", "4", "5", "6"}));

    DatabaseInfo_11_t stopped;
    EXPECT_FALSE(dmo.getDatabases_11("srv1/test", stopped));
    EXPECT_TRUE(stopped.names.empty());
}

TEST_F(CsqlDMOTest, DatabaseContentsGiveFileGroupsWithTheirDataFiles) {
    DatabaseContents_t contents;
    ASSERT_TRUE(dmo.getDatabaseContents("srv1/prod", 0, "SALES", contents));
    ASSERT_EQ(contents.fileGroups.size(), 3u);
    auto group = contents.fileGroups.begin();
    EXPECT_EQ(group->name, "PRIMARY");
    ASSERT_EQ(group->files.size(), 1u);  // the log file belongs to no group
    EXPECT_EQ(group->files.front().logicalName, "sales");
    EXPECT_EQ(group->files.front().physicalName, root.path() + "/mssql/SRV1/PROD/data/sales.mdf");
    ++group;
    EXPECT_EQ(group->name, "ARCHIVE");
    EXPECT_EQ(group->number, 2u);
    ASSERT_EQ(group->files.size(), 1u);
    EXPECT_EQ(group->files.front().size, 4096u);
    EXPECT_EQ(group->files.front().fileGroupId, 2u);
    ++group;
    EXPECT_EQ(group->name, "EMPTY");
    EXPECT_TRUE(group->files.empty());

    DatabaseContents_t byId;
    ASSERT_TRUE(dmo.getDatabaseContents("srv1/prod", 5, "", byId));
    EXPECT_EQ(byId.fileGroups.size(), 3u);
    DatabaseContents_t missing;
    EXPECT_FALSE(dmo.getDatabaseContents("srv1/prod", 0, "nothere", missing));
    EXPECT_TRUE(missing.fileGroups.empty());
}

TEST_F(CsqlDMOTest, DatabaseStatusGivesCodeAndText) {
    int state = 0;
    std::string text;
    ASSERT_TRUE(dmo.getDatabaseStatus("srv1/prod", "sales", state, text));
    EXPECT_EQ(state, SQLDB_STATE_ONLINE);
    EXPECT_EQ(text, "ONLINE");
    ASSERT_TRUE(dmo.getDatabaseStatus("srv1/prod", "a'b]", state, text));
    EXPECT_EQ(state, SQLDB_STATE_OFFLINE);
    EXPECT_EQ(text, "OFFLINE");
    EXPECT_FALSE(dmo.getDatabaseStatus("srv1/prod", "a'b", state, text));
    EXPECT_NE(FXString::ToString(dmo.getErrorString()).find("[a'b]"), std::string::npos);
    EXPECT_FALSE(dmo.getDatabaseStatus("srv1/nothere", "sales", state, text));
}

class StepRestoreTest : public CsqlDMOTest {
protected:
    void SetUp() override {
        CsqlDMOTest::SetUp();
        // Two fulls; the second has a differential, a copy-only full and a
        // log chain with a gap after 1400.
        ASSERT_FALSE(SqlSimApplyDescription(R"(
instance srv2
database db
backup db type=D first=100 last=200 checkpoint=150 finish=1000
backup db type=D first=1000 last=1100 checkpoint=1050 finish=2000 device=full2
backup db type=I first=1150 last=1200 base=1050 finish=2100
backup db type=I first=1150 last=1210 base=150 finish=2150
backup db type=D first=1250 last=1260 checkpoint=1255 finish=2160 copyonly=yes
backup db type=L first=1000 last=1190 base=1050 finish=2050
backup db type=L first=1190 last=1300 base=1050 finish=2200
backup db type=L first=1300 last=1400 base=1050 finish=2300
backup db type=L first=1300 last=1350 base=1050 finish=2310 copyonly=yes
backup db type=L first=1500 last=1600 base=1050 finish=2400
)")
                         .IsError());
    }
    std::vector<std::string> Chain(uint64_t pointInTime) {
        SQLStepRestoreListRsp_t reply;
        std::vector<std::string> out;
        if (!dmo.getStepRestoreList("srv2", "db", pointInTime, reply)) out.push_back("failed");
        for (uint32_t i = 0; i < reply.count; ++i) {
            out.push_back(std::string(reply.entries[i].backupType) + reply.entries[i].firstLSN + "-" +
                          reply.entries[i].lastLSN);
        }
        FreeReply(reply);
        return out;
    }
};

TEST_F(StepRestoreTest, ChainIsNewestFullNewestDifferentialThenUnbrokenLogs) {
    EXPECT_EQ(Chain(0), (std::vector<std::string>{"D1000-1100", "I1150-1200", "L1190-1300", "L1300-1400"}));
}

TEST_F(StepRestoreTest, PointInTimeLimitsTheChain) {
    EXPECT_EQ(Chain(2060), (std::vector<std::string>{"D1000-1100", "L1000-1190"}));
    EXPECT_EQ(Chain(1500), (std::vector<std::string>{"D100-200"}));
    EXPECT_TRUE(Chain(999).empty());
}

TEST_F(StepRestoreTest, UnknownDatabaseFailsWithAMessageInTheReply) {
    SQLStepRestoreListRsp_t reply;
    EXPECT_FALSE(dmo.getStepRestoreList("srv2", "nothere", 0, reply));
    EXPECT_EQ(reply.count, 0u);
    EXPECT_EQ(reply.entries, nullptr);
    EXPECT_EQ(reply.failed, 1u);
    ASSERT_NE(reply.errorMessage, nullptr);
    EXPECT_NE(std::string(reply.errorMessage).find("nothere"), std::string::npos);
    FreeReply(reply);
}

TEST_F(StepRestoreTest, PruningRemovesOnlyTheListedBackupSets) {
    SQLStepRestoreListRsp_t reply;
    ASSERT_TRUE(dmo.getStepRestoreList("srv2", "db", 0, reply));
    uint64_t full = reply.entries[0].backupSetId;
    uint64_t diff = reply.entries[1].backupSetId;
    FreeReply(reply);

    InstanceNameAndBackupSetIds sets;
    sets.instanceName = "SRV2";
    sets.backupSetIds = {diff, 99999};
    ASSERT_TRUE(dmo.pruneMSDBEntries(sets));
    EXPECT_EQ(Chain(0), (std::vector<std::string>{"D1000-1100", "L1000-1190", "L1190-1300", "L1300-1400"}));
    // Without the second full, the first one's own differential leads.
    sets.backupSetIds = {full};
    ASSERT_TRUE(dmo.pruneMSDBEntries(sets));
    EXPECT_EQ(Chain(0), (std::vector<std::string>{"D100-200", "I1150-1210", "L1190-1300", "L1300-1400"}));

    sets.instanceName = "srv1/test";  // stopped
    EXPECT_FALSE(dmo.pruneMSDBEntries(sets));
    sets.instanceName = "nothere";
    EXPECT_FALSE(dmo.pruneMSDBEntries(sets));
}

}  // namespace
