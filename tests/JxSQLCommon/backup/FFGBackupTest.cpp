// File and filegroup subclients: the content or on-demand file read into
// one database with its file groups and files, and the one VDI backup that
// reads only those.
#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/FXString.h"
#include "tests/JxSQLCommon/backup/BackupJobRun.h"
#include "tools/jxserve/JxServeBackupSets.h"

namespace {

struct FFGJob : CSQLBackup {
    using CSQLBackup::SplitOnDemandLine;
    using CSQLCommon::m_loggedDbCount;
};

class FFGBackupTest : public jxtest::BackupJobRun {
protected:
    void SetUp() override {
        BackupJobRun::SetUp();
        MakeDatabases({"sales", "other"});
        ASSERT_FALSE(instance.AddFileGroup("sales", "FG2").IsError());
        ASSERT_FALSE(instance.AddFileGroup("sales", "FG3").IsError());
        for (const auto& [group, file] : std::vector<std::pair<std::string, std::string>>{
                 {"FG2", "f2a"}, {"FG2", "f2b"}, {"FG3", "f3"}, {"FG3", "f3x"}}) {
            SqlSimFileSpec entry;
            entry.database = "sales";
            entry.fileGroup = group;
            entry.logicalName = file;
            ASSERT_FALSE(instance.AddFile(entry).IsError());
        }
        AppModel::Set("subclient/1234", "sqlSubclientType", "2");
        AppModel::Set("subclient/1234", "specialSubclientType", "2");
    }
    // Content: the database "sales" and the given file-group entries.
    void Content(const std::vector<std::string>& entries) {
        int n = 0;
        for (const std::string& e : entries) AppModel::Set("subclient/1234", "property119_" + std::to_string(++n), e);
    }
    void OnDemand(const std::string& text) {
        root.WriteFile("ondemand.txt", text);
        ASSERT_TRUE(JXPlatformInfo().setString("MSSQLAgent", "HOST/INST_daily_OnDemandFilePath", root.File("ondemand.txt")));
    }
    // The newest backup-history letter of "sales" and the logical names of
    // the newest stored backup set's files.
    char HistoryLetter() {
        SimSqlStatement q = instance.Db().Prepare(
            "SELECT type FROM backup_history WHERE database_name = 'sales' ORDER BY id DESC LIMIT 1");
        return q.Step() ? q.Text(0)[0] : '?';
    }
    std::string CompleteStatus(uint64_t jobId) {
        auto complete = Journal(jobId, "complete");
        return complete.empty() ? "none" : complete.back().Get("status");
    }
    std::vector<std::string> StoredFiles() {
        auto db = JxServeOpenBackupSetStore();
        auto q = db->ExecQuerySetup(
            "SELECT logical_name FROM backup_set_files WHERE set_id = (SELECT MAX(id) FROM backup_sets) "
            "ORDER BY logical_name");
        std::vector<std::string> names;
        while (q->NextRow()) names.push_back(q->GetStringField(0));
        return names;
    }
};

TEST_F(FFGBackupTest, OnDemandLinesSplitAtTabsWithQuotesAndEscapes) {
    using V = std::vector<std::string>;
    EXPECT_EQ(FFGJob::SplitOnDemandLine("sales"), V{"sales"});
    EXPECT_EQ(FFGJob::SplitOnDemandLine("sales\tFG2\tf3"), (V{"sales", "FG2", "f3"}));
    EXPECT_EQ(FFGJob::SplitOnDemandLine("\"my\tdb\"\tFG\\\"2"), (V{"my\tdb", "FG\"2"}));
    EXPECT_EQ(FFGJob::SplitOnDemandLine("a\\\tb"), V{"a\tb"});
    EXPECT_TRUE(FFGJob::SplitOnDemandLine("   ").empty());
}

TEST_F(FFGBackupTest, ContentGroupAndFileGiveOneFileBackupOfExactlyThoseFiles) {
    Content({"FG2", "FG3:f3"});
    ASSERT_TRUE(RunPhase(301, "-D"));
    EXPECT_EQ(HistoryLetter(), 'F');
    EXPECT_EQ(StoredFiles(), (std::vector<std::string>{"f2a", "f2b", "f3"}));

    // A differential phase of the same content is a file differential.
    ASSERT_TRUE(RunPhase(302, "-I"));
    EXPECT_EQ(HistoryLetter(), 'G');
    EXPECT_EQ(StoredFiles(), (std::vector<std::string>{"f2a", "f2b", "f3"}));
}

TEST_F(FFGBackupTest, OnDemandFileGivesTheSameBackup) {
    OnDemand("sales\tFG2\ngone\tFG9\n\nsales\tFG3\tf3\nsales\tx\ty\tz\n");
    ASSERT_TRUE(RunPhase(303, "-D"));
    EXPECT_EQ(HistoryLetter(), 'F');
    EXPECT_EQ(StoredFiles(), (std::vector<std::string>{"f2a", "f2b", "f3"}));
}

TEST_F(FFGBackupTest, OnDemandFileNamingTwoDatabasesOrNoneFails) {
    uint64_t job = 304;
    for (const std::string& text : {std::string("sales\tFG2\nother\n"), std::string("gone\n\n")}) {
        OnDemand(text);
        EXPECT_TRUE(RunPhase(job, "-D")) << text;
        EXPECT_EQ(CompleteStatus(job), "2") << text;
        EXPECT_EQ(Journal(job, "addBackupFileFailures").size(), 1u) << text;
        EXPECT_EQ(HistoryLetter(), '?') << text;
        ++job;
    }
}

TEST_F(FFGBackupTest, MissingGroupOrFileFailsTheDatabaseOnce) {
    Content({"FG2", "FG3:nothere"});
    EXPECT_TRUE(RunPhase(310, "-D"));
    EXPECT_EQ(CompleteStatus(310), "2");
    EXPECT_EQ(Journal(310, "addBackupFileFailures").size(), 1u);
    EXPECT_EQ(HistoryLetter(), '?');
}

// The disk fills while the conversion rules send the database of a
// differential phase to the full list: the database fails, and the job
// does not end as completed with nothing backed up.
TEST_F(FFGBackupTest, ADatabaseTheFullDiskKeepsOutOfTheFullListFails) {
    Content({"FG2"});
    AppModel::Set("subclient/1234", "bkpConversion", "1");
    jxtest::FullDiskWhileConverting job;
    EXPECT_TRUE(RunPhaseOf(job, 311, "-I", 1, {}));
    EXPECT_EQ(CompleteStatus(311), "2");
    EXPECT_EQ(Journal(311, "addBackupFileFailures").size(), 1u);
    EXPECT_EQ(root.ReadFile("jobresults/311/FullDBList.jxf"), "");
    EXPECT_EQ(HistoryLetter(), '?');
}

}  // namespace
