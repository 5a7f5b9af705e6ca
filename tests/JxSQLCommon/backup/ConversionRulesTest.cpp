// The backup conversion rules: the central server's facts asked once per
// phase, and which database converts to which level, with which event,
// message and converted-list entry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "JxLib/EvEventSink.h"
#include "JxLib/JXGlobalParam.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlSimDatabaseOptions.h"
#include "WzUtils/FXString.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/backup/BackupJobUnderTest.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"
#include "tools/jxserve/JxServeBackupSets.h"
#include "tools/jxserve/JxServeJobBookkeeping.h"

namespace {

struct RulesJob : jxtest::BackupJobUnderTest {
    using BackupJobUnderTest::BackupJobUnderTest;
    using CSQLBackup::m_backupConversion;
    using CSQLBackup::m_backupLevelName;
    using CSQLBackup::m_bFFG;
    using CSQLBackup::m_bFullConversion;
    using CSQLBackup::m_bPartial;
    using CSQLBackup::m_conversionMap;
    using CSQLBackup::m_conversionRules;
    using CSQLCommon::m_isAGChild;
    using CSQLCommon::m_isSnapJob;
    using CSQLCommon::m_subclientType;
};

// The management layer's catalogue-time tests, scripted.
struct ScriptedDmo : CsqlDMO {
    bool isLogBackupTakenOutside(const char*, unsigned long) override { return outsideLog; }
    bool isDatabaseCreatedAfter(const char*, unsigned long) override { return recreated; }
    bool isFileOrFileGroupChangedAfter(const char*, unsigned long) override { return filesChanged; }
    bool outsideLog = false;
    bool recreated = false;
    bool filesChanged = false;
};

struct EventLog : EvEventSink {
    void Record(const EvEventRecord& event) override { events.push_back(event); }
    std::vector<EvEventRecord> events;
};

class ConversionRulesTest : public jxtest::CentralServerTest {
protected:
    void SetUp() override {
        CentralServerTest::SetUp();
        SqlSimServerSpec server;
        server.name = "HOST/INST";
        ASSERT_FALSE(instance.Create(server).IsError());
        for (const char* name : {"sales", "simple", "stock"}) {
            SqlSimDatabaseSpec db;
            db.name = name;
            if (std::string(name) == "simple") db.recoveryModel = "SIMPLE";
            ASSERT_FALSE(instance.AddDatabase(db).IsError());
        }
        job.m_jobResultsDirectory = root.path() + "/results";
        ASSERT_EQ(wz::MakeDirectoryTree(job.m_jobResultsDirectory), 0);
        CSQLCommon::COLLECTFILENAME = "LogDBList.jxf";
        job.m_backupConversion = 1;
        ASSERT_TRUE(dmo.initialize("HOST/INST"));
        EvEventSink::Install(&events);
    }
    void TearDown() override {
        EvEventSink::Install(nullptr);
        CentralServerTest::TearDown();
    }
    // The central server holds an earlier backup of `name`.
    void Known(const std::string& name, uint64_t logs = 0, uint32_t pit = 0, uint32_t system = 0) {
        JxServeConversionRule rule;
        rule.instanceId = 7;
        rule.databaseName = name;
        rule.previousBackup = 1;
        rule.lastBackupTime = 1000;
        rule.logBackupsSinceFull = logs;
        rule.pointInTimeRestored = pit;
        rule.systemDatabaseRestored = system;
        JxServeAddConversionRule(rule);
    }
    void Phase(JXSQLExeBackupType phase, const std::string& collect, const std::string& names) {
        job.m_bkpPhase = phase;
        job.m_backupLevelName = phase == JXSQL_BACKUP_LOG ? "Transaction Log" : "Differential";
        root.WriteFile("results/" + collect, names);
        CSQLCommon::COLLECTFILENAME = collect;
        job.populateBackupConversionRulesMap(L"");
    }
    bool Ask(const std::string& name) {
        message.clear();
        level = JXSQL_BACKUP_NONE;
        return job.isDatabaseNeedConversion(dmo, FXString::ToWstring(name), message, level);
    }
    std::vector<uint32_t> EventIds() const {
        std::vector<uint32_t> ids;
        for (const auto& e : events.events) ids.push_back(e.messageId);
        return ids;
    }
    std::string FullList() { return root.ReadFile("results/FullDBList.jxf"); }

    SqlSimInstance instance;
    RulesJob job{91};
    ScriptedDmo dmo;
    EventLog events;
    std::string message;
    JXSQLExeBackupType level = JXSQL_BACKUP_NONE;
};

TEST_F(ConversionRulesTest, FullPhaseOfADatabaseSubclientAsksNothingAndConvertsNothing) {
    Known("sales");
    job.m_bkpPhase = JXSQL_BACKUP_FULL;
    root.WriteFile("results/LogDBList.jxf", "sales\n");
    job.populateBackupConversionRulesMap(L"");
    EXPECT_TRUE(job.m_conversionMap.empty());
    EXPECT_FALSE(Ask("sales"));
    EXPECT_EQ(level, JXSQL_BACKUP_NONE);
}

TEST_F(ConversionRulesTest, MapCopiesTheReplyAndKeepsTheFirstEntryOfAName) {
    Known("sales", 3);
    Phase(JXSQL_BACKUP_LOG, "LogDBList.jxf", "sales\n\nstock\n");
    ASSERT_EQ(job.m_conversionMap.size(), 2u);
    EXPECT_EQ(job.m_conversionRules.databaseCount, 2u);
    EXPECT_EQ(job.m_conversionRules.databases, nullptr);  // nothing points into the freed reply
    EXPECT_STREQ(job.m_conversionMap.at("sales").databaseName, "sales");
    EXPECT_EQ(job.m_conversionMap.at("sales").logBackupsSinceFull, 3u);
    // A later fill only adds names not yet present.
    JxServeConversionRule changed;
    changed.instanceId = 7;
    changed.databaseName = "simple";
    JxServeAddConversionRule(changed);
    Phase(JXSQL_BACKUP_LOG, "LogDBList.jxf", "sales\nsimple\n");
    EXPECT_EQ(job.m_conversionMap.size(), 3u);
    EXPECT_EQ(job.m_conversionMap.at("sales").logBackupsSinceFull, 3u);
}

TEST_F(ConversionRulesTest, CentralServerAnswersFromTheBackupSetsItStored) {
    auto sets = JxServeOpenBackupSetStore();
    for (const char* type : {"L", "D", "L", "L"}) {
        sets->ExecDML({"INSERT INTO backup_sets (instance_id, database_name, backup_type, finish_date) VALUES "
                       "(7, 'sales', ?, 500)",
                       {std::string(type)}});
    }
    Phase(JXSQL_BACKUP_LOG, "LogDBList.jxf", "sales\nstock\n");
    EXPECT_EQ(job.m_conversionMap.at("sales").previousBackup, 4u);
    EXPECT_EQ(job.m_conversionMap.at("sales").lastBackupTime, 500u);
    EXPECT_EQ(job.m_conversionMap.at("sales").logBackupsSinceFull, 2u);
    EXPECT_EQ(job.m_conversionMap.at("stock").previousBackup, 0u);
}

TEST_F(ConversionRulesTest, FirstBackupAndBrokenChainConvertToFullIntoTheFullList) {
    Known("sales");
    Phase(JXSQL_BACKUP_DIFF, "DiffDBList.jxf", "stock\n");
    EXPECT_TRUE(Ask("stock"));  // the central server holds no backup of it
    EXPECT_EQ(level, JXSQL_BACKUP_FULL);
    EXPECT_EQ(message, "The [Differential] Backup of [stock] is being converted to a Full Database Backup because "
                       "this is the first backup ever done for this database in this subclient.");
    EXPECT_EQ(EventIds(), std::vector<uint32_t>{kEventFirstBackup});

    events.events.clear();
    Phase(JXSQL_BACKUP_LOG, "LogDBList.jxf", "sales\n");
    dmo.outsideLog = true;
    EXPECT_TRUE(Ask("sales"));
    EXPECT_EQ(level, JXSQL_BACKUP_FULL);
    EXPECT_EQ(EventIds(), std::vector<uint32_t>{kEventBrokenChainToFull});
    EXPECT_EQ(FullList(), "stock\nsales\n");
    EXPECT_TRUE(job.m_bFullConversion);

    // Bit 4 skips the chain test; staged log dumps ignore a broken chain.
    job.m_backupConversion = 1 | 4;
    EXPECT_FALSE(Ask("sales"));
    job.m_backupConversion = 1;
    job.m_bLogFromFileSystem = true;
    EXPECT_FALSE(Ask("sales"));
}

TEST_F(ConversionRulesTest, LogCountThresholdOnlyWarns) {
    Known("sales", 5);
    Phase(JXSQL_BACKUP_LOG, "LogDBList.jxf", "sales\n");
    ASSERT_TRUE(JXGlobalParam::setProperty("SQLPmnLogThreshHoldCount", " 5 "));
    EXPECT_FALSE(Ask("sales"));
    EXPECT_EQ(level, JXSQL_BACKUP_NONE);
    EXPECT_EQ(message, "Database [sales] has [5] Transaction Log Backups without a full backup. Having full backups "
                       "will reduce the chances of data loss if any log backup gets corrupted.");
    ASSERT_EQ(events.events.size(), 1u);
    EXPECT_EQ(events.events[0].messageId, kEventLogCount);
    EXPECT_EQ(events.events[0].level, EvEventLevel::Minor);
    ASSERT_TRUE(JXGlobalParam::setProperty("SQLPmnLogThreshHoldCount", "6"));
    EXPECT_FALSE(Ask("sales"));
    EXPECT_TRUE(message.empty());
}

TEST_F(ConversionRulesTest, SimpleRecoveryModelGoesToDifferentialOrToFullForSnapshots) {
    Known("simple");
    Phase(JXSQL_BACKUP_LOG, "LogDBList.jxf", "simple\n");
    EXPECT_TRUE(Ask("simple"));
    EXPECT_EQ(level, JXSQL_BACKUP_DIFF);
    EXPECT_EQ(root.ReadFile("results/DiffDBList.jxf"), "simple\n");
    job.m_isSnapJob = true;
    job.m_bkyType = JXSQL_BACKUP_LOG;
    EXPECT_TRUE(Ask("simple"));
    EXPECT_EQ(level, JXSQL_BACKUP_FULL);
    EXPECT_EQ(events.events.back().messageId, kCauseFreeText);
    ASSERT_EQ(events.events.back().arguments.size(), 1u);  // the message is the only argument
}

TEST_F(ConversionRulesTest, BaseMadeOutsideConvertsDifferentialWithTheRightHistoryLetter) {
    Known("sales");
    SqlSimBackupSpec own;
    own.database = "sales";
    own.type = 'D';
    own.finishTime = 10;
    own.device = "JxSQLVDI_0000000000000001";
    ASSERT_FALSE(instance.AddBackupHistory(own).IsError());
    Phase(JXSQL_BACKUP_DIFF, "DiffDBList.jxf", "sales\n");
    EXPECT_FALSE(Ask("sales"));

    SqlSimBackupSpec outside = own;
    outside.finishTime = 20;
    outside.device = "/backups/sales.bak";
    ASSERT_FALSE(instance.AddBackupHistory(outside).IsError());
    EXPECT_TRUE(Ask("sales"));
    EXPECT_EQ(events.events.back().messageId, kEventBackupOutsideProduct);

    // A file differential looks for an F base, which only this software made.
    own.type = 'F';
    ASSERT_FALSE(instance.AddBackupHistory(own).IsError());
    job.m_bFFG = true;
    EXPECT_FALSE(Ask("sales"));
}

TEST_F(ConversionRulesTest, RestoreAndChangeRulesInOrderAndNotForFileJobs) {
    Known("sales", 0, 1, 1);
    Phase(JXSQL_BACKUP_DIFF, "DiffDBList.jxf", "sales\nstock\n");
    SqlSimBackupSpec own;
    own.database = "sales";
    own.device = "JxSQLVDI_0000000000000002";
    ASSERT_FALSE(instance.AddBackupHistory(own).IsError());
    EXPECT_TRUE(Ask("sales"));
    EXPECT_EQ(events.events.back().messageId, kEventPointInTimeRestored);  // point in time wins over system restore

    own.type = 'F';
    ASSERT_FALSE(instance.AddBackupHistory(own).IsError());
    job.m_bFFG = true;
    EXPECT_FALSE(Ask("sales"));  // file jobs never reach the restore rules
    job.m_bFFG = false;

    JxServeConversionRule plain;
    plain.instanceId = 7;
    plain.databaseName = "plain";
    SqlSimDatabaseSpec db;
    db.name = "plain";
    ASSERT_FALSE(instance.AddDatabase(db).IsError());
    plain.previousBackup = 1;
    plain.lastBackupTime = 1000;
    JxServeAddConversionRule(plain);
    own.database = "plain";
    own.type = 'D';
    ASSERT_FALSE(instance.AddBackupHistory(own).IsError());
    Phase(JXSQL_BACKUP_DIFF, "DiffDBList.jxf", "plain\n");
    ASSERT_FALSE(SqlSimSetDatabaseOption(instance, "plain", kSqlSimOptionFullTextCatalogAdded, "2000").IsError());
    EXPECT_FALSE(Ask("plain"));  // catalog test only with bit 2
    job.m_backupConversion = 1 | 2;
    EXPECT_TRUE(Ask("plain"));
    EXPECT_EQ(events.events.back().messageId, kEventFilesChanged);
    job.m_bFullConversion = false;
    dmo.filesChanged = true;
    EXPECT_TRUE(Ask("plain"));
    EXPECT_TRUE(job.m_bFullConversion);
}

TEST_F(ConversionRulesTest, MasterAndRecreatedAndDroppedDatabases) {
    Known("master");
    Known("sales");
    Known("gone");
    Phase(JXSQL_BACKUP_DIFF, "DiffDBList.jxf", "master\nsales\ngone\n");
    EXPECT_TRUE(Ask("master"));
    EXPECT_EQ(events.events.back().messageId, kEventMasterConverted);
    EXPECT_EQ(message, "The [Differential] Backup of database [master] is converted to full because only FULL backup "
                       "is supported.");
    dmo.recreated = true;
    EXPECT_TRUE(Ask("sales"));
    EXPECT_EQ(events.events.back().messageId, kEventDatabaseRecreated);

    const size_t before = events.events.size();
    EXPECT_TRUE(Ask("gone"));
    EXPECT_EQ(message, "The database[gone] does not exist.");
    EXPECT_EQ(level, JXSQL_BACKUP_NONE);
    EXPECT_EQ(events.events.size(), before);
    EXPECT_EQ(FullList().find("gone"), std::string::npos);
}

// A database dropped after its collect file was written is neither backed
// up with no level nor counted as backed up: the walk counts it skipped.
TEST_F(ConversionRulesTest, DroppedDatabaseIsSkippedNotBackedUp) {
    Known("gone");
    Phase(JXSQL_BACKUP_DIFF, "DiffDBList.jxf", "gone\n");
    JobManager::SQLStatusTab record;
    bool connectionValid = true, converted = false;
    EXPECT_TRUE(job.CSQLBackup::doDbBackup(dmo, L"gone", 0, connectionValid, converted, &record));
    EXPECT_TRUE(converted);
    EXPECT_EQ(record.getint64(JobManager::SQLStatusTab::kStatus), JobManager::kDBStatusSkippedInPhase);
    EXPECT_EQ(job.Journal("setSkippedItemsToAdd").size(), 1u);
}

}  // namespace
