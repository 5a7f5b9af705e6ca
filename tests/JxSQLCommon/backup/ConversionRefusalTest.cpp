// The end-of-phase conversion of subclients whose backup method cannot run
// the phases the converted lists ask for: refused with a skip per database
// and one event, or (snapshot jobs) folded into one full phase.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <vector>

#include "JXAppMgr/StatusTabStore.h"
#include "JxLib/EvEventSink.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/backup/BackupJobUnderTest.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"
#include "tests/support/FaultyFileSystem.h"

namespace {

using JobManager::SQLStatusTab;

struct ConvertingJob : jxtest::BackupJobUnderTest {
    using BackupJobUnderTest::BackupJobUnderTest;
    using CSQLBackup::m_bDiffConversion;
    using CSQLBackup::m_bFullConversion;
    using CSQLBackup::m_bLREP;
    using CSQLBackup::m_bLREPVSA;
    using CSQLBase::m_blockLevelEnabled;
};

struct EventLog : EvEventSink {
    void Record(const EvEventRecord& event) override { events.push_back(event); }
    std::vector<EvEventRecord> events;
};

class ConversionRefusalTest : public jxtest::CentralServerTest {
protected:
    void SetUp() override {
        CentralServerTest::SetUp();
        jxtest::MakeInstance(instance, {"Sales", "HR", "Stock"});
        job.m_jobResultsDirectory = root.path() + "/results";
        ASSERT_EQ(wz::MakeDirectoryTree(job.m_jobResultsDirectory), 0);
        job.m_bkpPhase = JXSQL_BACKUP_LOG;
        job.m_bkyType = JXSQL_BACKUP_LOG;
        EvEventSink::Install(&events);
    }
    void TearDown() override {
        EvEventSink::Install(nullptr);
        CentralServerTest::TearDown();
    }
    // The phases the job asked the job manager for, in order.
    std::vector<std::string> PhasesAsked() {
        std::vector<std::string> phases;
        for (const char* op : {"runDifferentialPhase", "convertToFull"}) {
            if (!job.Journal(op).empty()) phases.push_back(op);
        }
        return phases;
    }
    std::vector<SQLStatusTab> Rows() {
        std::vector<SQLStatusTab> out;
        for (const std::string& xml : statustab::Records(81, 2)) {
            SQLStatusTab tab;
            EXPECT_EQ(tab.unserialize(xml), kMsgOk);
            out.push_back(tab);
        }
        return out;
    }
    std::vector<EvEventRecord> FreeTextEvents() {
        std::vector<EvEventRecord> out;
        for (const auto& e : events.events) {
            if (e.messageId == kCauseFreeText) out.push_back(e);
        }
        return out;
    }
    bool Exists(const std::string& name) {
        struct stat st {};
        return ::stat(root.File("results/" + name).c_str(), &st) == 0;
    }

    SqlSimInstance instance;
    ConvertingJob job{81};
    EventLog events;
};

TEST_F(ConversionRefusalTest, AnLrepLogPhaseSkipsEveryConvertedDatabaseAndAsksForNoPhase) {
    root.WriteFile("results/FullDBList.jxf", "Stock\n");  // left by an earlier attempt
    ASSERT_TRUE(job.AddConvertedDBToCollectFile("Sales", JXSQL_BACKUP_FULL));
    ASSERT_TRUE(job.AddConvertedDBToCollectFile("HR", JXSQL_BACKUP_DIFF));
    job.m_bLREP = true;
    job.m_bLREPVSA = true;  // LREP comes first
    job.m_blockLevelEnabled = true;
    job.HandleConversion();

    EXPECT_TRUE(PhasesAsked().empty());
    EXPECT_FALSE(job.m_bFullConversion);
    EXPECT_FALSE(job.m_bDiffConversion);
    EXPECT_FALSE(Exists("FullDBList.jxf"));
    EXPECT_FALSE(Exists("DiffDBList.jxf"));
    // Full list in its sorted order, then the differential list.
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].getstring(SQLStatusTab::kDatabaseName), "Sales");
    EXPECT_EQ(rows[0].getstring(SQLStatusTab::kReason),
              "Not Converting LREP Transaction log backup job to FULL for Database(s) [Sales].");
    EXPECT_EQ(rows[1].getstring(SQLStatusTab::kDatabaseName), "Stock");
    EXPECT_EQ(rows[2].getstring(SQLStatusTab::kReason),
              "Not Converting LREP Transaction log backup job to DIFF for Database(s) [HR].");
    for (const auto& row : rows) {
        EXPECT_EQ(row.getint64(SQLStatusTab::kStatus), JobManager::kDBStatusSkippedInPhase);
        EXPECT_EQ(row.getint64(SQLStatusTab::kSkipReason), 0);
    }
    EXPECT_EQ(job.Journal("setSkippedItemsToAdd").size(), 3u);
    auto notices = FreeTextEvents();
    ASSERT_EQ(notices.size(), 1u);
    ASSERT_EQ(notices[0].arguments.size(), 1u);
    EXPECT_NE(notices[0].arguments[0].AsText().find("open systems"), std::string::npos);
}

TEST_F(ConversionRefusalTest, AVirtualServerSnapLogPhaseGivesItsOwnReasonsAndNotice) {
    ASSERT_TRUE(job.AddConvertedDBToCollectFile("Sales", JXSQL_BACKUP_FULL));
    ASSERT_TRUE(job.AddConvertedDBToCollectFile("HR", JXSQL_BACKUP_DIFF));
    job.m_bLREPVSA = true;
    job.HandleConversion();

    EXPECT_TRUE(PhasesAsked().empty());
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].getstring(SQLStatusTab::kReason),
              "Virtual Server Application Snap is enabled on the subclient, not converting [Sales] Transaction log "
              "backup to FULL.");
    EXPECT_EQ(rows[1].getstring(SQLStatusTab::kReason),
              "Virtual Server Application Snap is enabled on the subclient, not converting [HR] Transaction log "
              "backup to DIFF.");
    auto notices = FreeTextEvents();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].arguments[0].AsText(),
              "Virtual Server Application Snap is enabled on the subclient, not converting Transaction log backup to "
              "FULL/DIFF.");
}

TEST_F(ConversionRefusalTest, NothingConvertedMeansNoNoticeAndNoListLeftBehind) {
    job.m_bLREP = true;
    job.HandleConversion();
    EXPECT_TRUE(FreeTextEvents().empty());
    EXPECT_TRUE(Rows().empty());
    EXPECT_TRUE(PhasesAsked().empty());
    EXPECT_FALSE(Exists("FullDBList.jxf"));  // counting created them; deleting removed them
    EXPECT_FALSE(Exists("DiffDBList.jxf"));

    job.m_bLREP = false;
    job.m_isSnapBackup = true;
    job.HandleConversion();
    EXPECT_TRUE(PhasesAsked().empty());
}

TEST_F(ConversionRefusalTest, ABlockLevelLogPhaseRefusesOnlyTheDifferentialList) {
    ASSERT_TRUE(job.AddConvertedDBToCollectFile("Sales", JXSQL_BACKUP_FULL));
    ASSERT_TRUE(job.AddConvertedDBToCollectFile("HR", JXSQL_BACKUP_DIFF));
    job.m_blockLevelEnabled = true;
    job.HandleConversion();

    EXPECT_EQ(PhasesAsked(), (std::vector<std::string>{"convertToFull"}));
    EXPECT_EQ(root.ReadFile("results/FullDBList.jxf"), "Sales\n");
    EXPECT_FALSE(Exists("DiffDBList.jxf"));
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].getstring(SQLStatusTab::kReason),
              "Block level backup is enabled on the subclient, not converting [HR] Transaction log backup to DIFF.");
    ASSERT_EQ(FreeTextEvents().size(), 1u);
}

TEST_F(ConversionRefusalTest, ASnapshotJobFoldsTheDifferentialListIntoOneFullPhase) {
    root.WriteFile("results/FullDBList.jxf", "Stock\n");
    ASSERT_TRUE(job.AddConvertedDBToCollectFile("Sales", JXSQL_BACKUP_DIFF));
    ASSERT_TRUE(job.AddConvertedDBToCollectFile("HR", JXSQL_BACKUP_DIFF));
    job.m_isSnapBackup = true;
    job.m_blockLevelEnabled = true;  // the snapshot rule comes first
    job.HandleConversion();

    EXPECT_EQ(PhasesAsked(), (std::vector<std::string>{"convertToFull"}));
    EXPECT_EQ(root.ReadFile("results/FullDBList.jxf"), "HR\nSales\nStock\n");
    EXPECT_EQ(root.ReadFile("results/DiffDBList.jxf"), "Sales\nHR\n");  // left as it was
    EXPECT_TRUE(Rows().empty());
    EXPECT_EQ(job.GetConvertedDBCount(JXSQL_BACKUP_FULL), 3u);
}

TEST_F(ConversionRefusalTest, AFullListThatCannotBeRewrittenKeepsTheDifferentialPhase) {
    ASSERT_TRUE(job.AddConvertedDBToCollectFile("Stock", JXSQL_BACKUP_FULL));
    ASSERT_TRUE(job.AddConvertedDBToCollectFile("Sales", JXSQL_BACKUP_DIFF));
    job.m_isSnapBackup = true;
    jxtest::FaultyFileSystem disk;
    wz::ScopedFileSystem use(disk);
    disk.FailCallOn("FullDBList.jxf.tmp.*", jxtest::FsCall::kWrite, 1, ENOSPC);  // the rewrite's
    job.HandleConversion();
    EXPECT_EQ(disk.Fired(jxtest::FsCall::kWrite), 1);

    // Neither list loses a database: both phases are still asked for.
    EXPECT_EQ(PhasesAsked(), (std::vector<std::string>{"runDifferentialPhase", "convertToFull"}));
    EXPECT_EQ(root.ReadFile("results/FullDBList.jxf"), "Stock\n");
    EXPECT_EQ(root.ReadFile("results/DiffDBList.jxf"), "Sales\n");
}

}  // namespace
