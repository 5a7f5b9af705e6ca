// Collect files: the writers, the readers and the phase's list of databases.
#include <gtest/gtest.h>

#include <cerrno>
#include <list>
#include <set>
#include <string>
#include <vector>

#include "JXAppMgr/StatusTabStore.h"
#include "JxJobClient/JobJournal.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/backup/BackupJobUnderTest.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TestRoot.h"

namespace {

class CollectFileTest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        job.m_jobResultsDirectory = root.path() + "/results";
        ASSERT_EQ(wz::MakeDirectoryTree(job.m_jobResultsDirectory), 0);
    }
    std::string Path(const std::string& name) { return job.m_jobResultsDirectory + "/" + name; }

    jxtest::BackupJobUnderTest job{51};
};

TEST_F(CollectFileTest, WritersAppendOrTruncateAndReadersGiveTheNamesBack) {
    const std::string path = Path("list.jxf");
    ASSERT_TRUE(job.WriteToCollectFile(path, std::vector<std::string>{"b", "", "a"}, true));
    ASSERT_TRUE(job.WriteToCollectFile(path, std::list<std::wstring>{L"c\u00e9"}));
    ASSERT_TRUE(job.WriteToCollectFile(path, std::set<std::wstring>{L"e", L"d"}));
    ASSERT_TRUE(job.WriteToCollectFile(path, std::set<std::string>{"f"}, false));
    std::vector<std::string> names;
    ASSERT_TRUE(job.ReadFromCollectFile(path, names));
    EXPECT_EQ(names, (std::vector<std::string>{"b", "", "a", "c\xc3\xa9", "d", "e", "f"}));

    std::set<std::string> set{"z"};
    ASSERT_TRUE(job.populateDBNamesFromCollectFile(set, path));
    EXPECT_EQ(set, (std::set<std::string>{"a", "b", "c\xc3\xa9", "d", "e", "f", "z"}));

    ASSERT_TRUE(job.WriteToCollectFile(path, std::set<std::string>{"only"}, true));
    ASSERT_TRUE(job.ReadFromCollectFile(path, names));
    EXPECT_EQ(names, (std::vector<std::string>{"only"}));
}

TEST_F(CollectFileTest, ReadersRefuseMissingFilesAndOverlongNames) {
    std::vector<std::string> names{"kept"};
    EXPECT_FALSE(job.ReadFromCollectFile(Path("missing.jxf"), names));
    EXPECT_EQ(names, (std::vector<std::string>{"kept"}));
    std::set<std::string> set;
    EXPECT_FALSE(job.populateDBNamesFromCollectFile(set, Path("missing.jxf")));

    root.WriteFile("results/long.jxf", std::string(1023, 'a') + "\n" + std::string(1024, 'b') + "\n");
    EXPECT_FALSE(job.ReadFromCollectFile(Path("long.jxf"), names));
    EXPECT_FALSE(job.populateDBNamesFromCollectFile(set, Path("long.jxf")));
    EXPECT_FALSE(job.WriteToCollectFile(root.path() + "/no/such/dir/x.jxf", std::vector<std::string>{"a"}, true));
}

TEST_F(CollectFileTest, PhaseListIsSortedIgnoringCaseAndEntersTheStatusTab) {
    job.m_bkpPhase = JXSQL_BACKUP_DIFF;
    std::vector<std::string> names{"b", "A", "c"};
    JXFile file;
    ASSERT_TRUE(job.CreateCollectFileForSQLBackup(&file, names, true));
    ASSERT_EQ(file.close(), 0);
    EXPECT_EQ(root.ReadFile("results/DiffDBList.jxf"), "A\nb\nc\n");
    std::vector<std::string> listed = statustab::Records(51, 2);
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_NE(listed[0].find("A"), std::string::npos);

    // An open file is written from where it stands, never truncated.
    root.WriteFile("results/other.jxf", "first\n");
    ASSERT_EQ(file.open(Path("other.jxf").c_str(), JXFile::kWrite), 0);
    ASSERT_EQ(file.seek(0, JXFile::kFromEnd), 6);
    std::vector<std::string> more{"z"};
    ASSERT_TRUE(job.CreateCollectFileForSQLBackup(&file, more, true));
    ASSERT_EQ(file.close(), 0);
    EXPECT_EQ(root.ReadFile("results/other.jxf"), "first\nz\n");
}

// A list written into a file the caller opened counts only once it is
// synced: a failed sync says so and enters none of its databases.
TEST_F(CollectFileTest, APhaseListInAnOpenFileWhoseSyncFailsListsNothing) {
    job.m_bkpPhase = JXSQL_BACKUP_DIFF;
    jxtest::FaultyFileSystem disk;
    wz::ScopedFileSystem use(disk);
    JXFile file;
    ASSERT_EQ(file.open(Path("DiffDBList.jxf").c_str(), JXFile::kWrite), 0);
    disk.FailCallOn("DiffDBList.jxf", jxtest::FsCall::kFsync, 1, EIO);
    std::vector<std::string> names{"b", "a"};
    EXPECT_FALSE(job.CreateCollectFileForSQLBackup(&file, names, true));
    EXPECT_EQ(disk.Fired(jxtest::FsCall::kFsync), 1);
    EXPECT_TRUE(statustab::Records(51, 2).empty());
    const auto causes = job.Journal("setPendingCause");
    ASSERT_EQ(causes.size(), 1u);
    EXPECT_EQ(causes[0].Get("cause"), jobmanager::JournalId(kCauseCollectFileWrite));
}

TEST_F(CollectFileTest, EmptyListRecordsTheEmptyCollectUnlessTheSubclientUsesSnapshots) {
    std::vector<std::string> none;
    JXFile file;
    job.m_isSnapBackup = true;
    EXPECT_FALSE(job.CreateCollectFileForSQLBackup(&file, none, true));
    EXPECT_FALSE(job.m_errorControl.DidFailOnEmptyCollect());
    job.m_isSnapBackup = false;
    EXPECT_FALSE(job.CreateCollectFileForSQLBackup(&file, none, true));
    EXPECT_TRUE(job.m_errorControl.DidFailOnEmptyCollect());

    std::vector<std::string> one{"a"};
    EXPECT_FALSE(job.CreateCollectFileForSQLBackup(nullptr, one, true));
    ASSERT_EQ(job.Journal("setPendingCause").size(), 1u);
    EXPECT_EQ(job.Journal("setPendingCause")[0].Get("cause"), jobmanager::JournalId(kCauseJobFileOpen));
}

}  // namespace
