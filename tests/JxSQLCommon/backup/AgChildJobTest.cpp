// Whole availability-group child jobs against the master stand-in: the
// group's collect file reaches the master, the backup runs, the status and
// FINISH arrive; a silent master never hangs the child; a log job takes the
// logs the secondary's agent staged when asked to.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/StatusTabStore.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/AppMessages.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxSession/CJxNetwork.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "tests/JxSQLCommon/backup/BackupJobRun.h"
#include "tests/JxSQLMessageHandler/service/ServiceHost.h"
#include "tests/JxSQLMessageHandler/service/XmlRequestExchange.h"
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

    std::string CompleteStatus(uint64_t jobId) {
        auto complete = Journal(jobId, "complete");
        return complete.empty() ? "none" : complete.back().Get("status");
    }
    bool SentStatus(const std::string& status) {
        const auto events = Events();
        return std::find(events.begin(), events.end(), "{\"event\":\"jobStatus\",\"status\":" + status + "}") !=
               events.end();
    }

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

// A differential child converts the databases without a full backup; when
// the master cannot be given their list, each of them fails in this job,
// and the job is partial beside what it backed up, failed without it.
TEST_F(AgChildJobTest, ConvertedDatabasesTheMasterCannotBeGivenFailAndTheStatusSaysSo) {
    AppModel::Set("subclient/1234", "sqlSubclientType", "1");
    AppModel::Set("subclient/1234", "bkpConversion", "1");
    ASSERT_TRUE(RunChild({}, 104, "-D", {"-type", "1"}));
    SqlSimDatabaseSpec fresh;
    fresh.name = "g3";
    ASSERT_FALSE(instance.AddDatabase(fresh).IsError());
    ASSERT_FALSE(instance.JoinAvailabilityGroup("AG1", "g3").IsError());
    AppModel::Set("subclient/1234", "property118_5", "g3");

    AgMasterOptions refusing;
    refusing.mode = AgMasterOptions::Mode::Refuse;
    ASSERT_TRUE(RunChild(refusing, 105, "-I", {"-type", "4"}));
    std::vector<std::string> differentials;
    for (const JxServeBackupSet& set : JxServeStoredBackupSets()) {
        if (set.jobId == 105) differentials.push_back(set.databaseName + ":" + set.backupType);
    }
    EXPECT_EQ(differentials, (std::vector<std::string>{"g1:I", "g2:I"}));
    auto rows = StatusRows(105);
    EXPECT_EQ(rows["g3"].getint64(JobManager::SQLStatusTab::kStatus), JobManager::kDBStatusFailed);
    EXPECT_EQ(rows["g3"].getstring(JobManager::SQLStatusTab::kFailureReason),
              "Failure while sending full collect file to master process.");
    EXPECT_EQ(Journal(105, "addBackupFileFailures").size(), 1u);
    EXPECT_TRUE(SentStatus("3"));
    EXPECT_EQ(CompleteStatus(105), "3");

    // With the others offline nothing else is backed up: the job failed.
    for (const char* name : {"g1", "g2"}) ASSERT_FALSE(instance.SetDatabaseState(name, SQLDB_STATE_OFFLINE).IsError());
    ASSERT_TRUE(RunChild(refusing, 106, "-I", {"-type", "4"}));
    EXPECT_EQ(StatusRows(106)["g3"].getint64(JobManager::SQLStatusTab::kStatus), JobManager::kDBStatusFailed);
    EXPECT_TRUE(SentStatus("2"));
    EXPECT_EQ(CompleteStatus(106), "2");
}

// The central server asks the secondary's agent, through its host, to
// stage the group's logs; the child's log job then backs them up from the
// staging folder, once each, and empties it.
TEST_F(AgChildJobTest, ALogJobTakesTheLogsTheSecondaryStagedOnRequest) {
    ASSERT_FALSE(instance.SetDatabaseState("dark", SQLDB_STATE_ONLINE).IsError());
    JXPlatformInfo settings;
    ASSERT_NE(settings.setNumber("MSSQLAgent", "backupFromFSForLog", 1), 0);
    ASSERT_NE(settings.setString("MSSQLAgent", "SqlAGLogBackupStageFolder", root.path() + "/agstage"), 0);
    ASSERT_TRUE(RunChild({}, 107, "-D", {"-type", "1"}));
    SqlSimChangeRequest change;
    change.database = "g1";
    ASSERT_FALSE(SqlSimChanges(instance).Change(change).IsError());

    jxtest::ServeSqlPlugin(host, "secondary1");
    JxsRequester secondary;
    jxtest::AttachSqlPlugin(secondary, "secondary1");
    JxEntities::GenericEntity entity;
    entity.setint64(JxEntities::GenericEntity::kInstanceId, 7);
    entity.setstring(JxEntities::GenericEntity::kInstanceName, "HOST/INST");
    entity.setint64(JxEntities::GenericEntity::kClientId, 3);
    App::AGTLBackupReq request;
    request.setObjectAccessor(App::AGTLBackupReq::kInstance, entity);
    request.setstring(App::AGTLBackupReq::kStagingArgument, "AG1");
    request.setint64(App::AGTLBackupReq::kDumpOnSecondary, 0);
    // A minute at this fixture's scale: a safety net while the dumps are written.
    EXPECT_EQ(jxtest::ExchangeXml(secondary, 0x1e00010b, jxtest::XmlOf(request), nullptr, 6000),
              "Successfully finish AG TL Staging");
    EXPECT_TRUE(secondary.Disconnect().IsSuccess());
    const std::string stage = root.path() + "/agstage/AG1";
    ASSERT_TRUE(std::filesystem::exists(stage + "/g1_Log_Backup_1.bak"));

    ASSERT_TRUE(RunChild({}, 108, "-L", {"-type", "2"}));
    EXPECT_EQ(CompleteStatus(108), "1");
    std::map<std::string, std::vector<std::string>> sets;
    for (const JxServeBackupSet& set : JxServeStoredBackupSets()) {
        sets[set.databaseName].push_back(set.backupType + std::to_string(set.jobId));
    }
    const std::vector<std::string> fullThenLog = {"D107", "L108"};
    EXPECT_EQ(sets, (std::map<std::string, std::vector<std::string>>{
                        {"dark", fullThenLog}, {"g1", fullThenLog}, {"g2", fullThenLog}}));
    EXPECT_TRUE(std::filesystem::is_empty(stage));
}

}  // namespace
