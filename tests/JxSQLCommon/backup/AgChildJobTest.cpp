// Whole availability-group child jobs against the master stand-in: the
// group's collect file reaches the master, the backup runs, the status and
// FINISH arrive; a silent master never hangs the child.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JxSQLCommon/records/AppMessages.h"
#include "JxSession/CJxNetwork.h"
#include "JxsqlDMO/SqlDbState.h"
#include "tests/JxSQLCommon/backup/BackupJobRun.h"
#include "tools/agmaster/AgMasterStandIn.h"
#include "tools/jxserve/JxServeBackupSets.h"

namespace {

class AgChildJobTest : public jxtest::BackupJobRun {
protected:
    void SetUp() override {
        BackupJobRun::SetUp();
        MakeDatabases({"g1", "g2", "other", "dark"});
        for (const char* name : {"AG1", "AG2"}) {
            SqlSimAvailabilityGroupSpec group;
            group.name = name;
            ASSERT_FALSE(instance.AddAvailabilityGroup(group).IsError());
        }
        ASSERT_FALSE(instance.JoinAvailabilityGroup("AG1", "g1").IsError());
        ASSERT_FALSE(instance.JoinAvailabilityGroup("AG1", "g2").IsError());
        ASSERT_FALSE(instance.JoinAvailabilityGroup("AG1", "dark").IsError());
        ASSERT_FALSE(instance.JoinAvailabilityGroup("AG2", "other").IsError());
        ASSERT_FALSE(instance.SetDatabaseState("dark", SQLDB_STATE_OFFLINE).IsError());
        App::SQLAvailabilityGroup group;
        group.setstring(App::SQLAvailabilityGroup::kName, "AG1");
        std::string xml;
        ASSERT_EQ(group.serialize(xml), 0);
        AppModel::Set("instance/7", "availabilityGroup", xml);
        AppModel::Set("instance/7", "name", "listener1/AG1");
    }

    // Runs one phase of job `jobId` as the child of a master with `options`.
    bool RunChild(AgMasterOptions options, uint64_t jobId, const std::string& phase, std::vector<std::string> extra) {
        options.server = "HOST/INST";
        options.instanceId = 7;
        options.timeoutSeconds = 600;
        master = std::make_unique<AgMasterStandIn>(options);
        uint16_t port = 0;
        std::string key;
        EXPECT_TRUE(master->Listen(port, key));
        std::thread serving([this] {
            std::unique_ptr<CJxNetwork> child = master->AcceptChild();
            if (child != nullptr) master->Serve(*child);
        });
        extra.insert(extra.end(), {"-alwayson", "-jxscallerport", std::to_string(port), "-jxscallerkey", key});
        bool ran = false;
        {
            CSQLBackup job;  // its end closes the connection, which ends the master's service
            ran = RunPhaseOf(job, jobId, phase, 1, extra);
        }
        serving.join();
        return ran;
    }

    std::vector<std::string> Events() { return master->Journal(); }

    std::unique_ptr<AgMasterStandIn> master;
};

TEST_F(AgChildJobTest, FullJobListsTheGroupsDatabasesAndReportsItsEnd) {
    ASSERT_TRUE(RunChild({}, 101, "-D", {"-type", "1"}));
    const auto events = Events();
    ASSERT_GE(events.size(), 5u);
    EXPECT_EQ(events.front(), "{\"event\":\"started\"}");
    EXPECT_EQ(events[1], "{\"event\":\"serverRequest\"}");
    EXPECT_NE(std::find(events.begin(), events.end(),
                        "{\"event\":\"collectFile\",\"phase\":\"FULL\",\"converted\":0,\"databases\":\"g1,g2\","
                        "\"streams\":2}"),
              events.end());
    EXPECT_EQ(events[events.size() - 2], "{\"event\":\"jobStatus\",\"status\":1}");
    EXPECT_EQ(events.back(), "{\"event\":\"finished\"}");
    std::vector<std::string> backedUp;
    for (const JxServeBackupSet& set : JxServeStoredBackupSets()) backedUp.push_back(set.databaseName);
    EXPECT_EQ(backedUp, (std::vector<std::string>{"g1", "g2"}));
}

TEST_F(AgChildJobTest, ASilentMasterNeverHangsTheChild) {
    AgMasterOptions options;
    options.mode = AgMasterOptions::Mode::Silent;
    EXPECT_TRUE(RunChild(options, 102, "-D", {"-type", "1"}));
    const auto events = Events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front(), "{\"event\":\"started\"}");
    // The child gave up on the server request and still said how it ended.
    EXPECT_EQ(events.back(), "{\"event\":\"finished\"}");
    EXPECT_NE(std::find(events.begin(), events.end(), "{\"event\":\"jobStatus\",\"status\":2}"), events.end());
    EXPECT_TRUE(JxServeStoredBackupSets().empty());
}

TEST_F(AgChildJobTest, ARefusedCollectFileIsOnlyAWarningAndTheBackupRuns) {
    AgMasterOptions options;
    options.mode = AgMasterOptions::Mode::Refuse;
    ASSERT_TRUE(RunChild(options, 103, "-D", {"-type", "1"}));
    EXPECT_EQ(Events().back(), "{\"event\":\"finished\"}");
    EXPECT_EQ(JxServeStoredBackupSets().size(), 2u);
}

}  // namespace
