// Folder, file-name and free-space services of the job context.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cwchar>

#include "JxLib/JXPlatformInfo.h"
#include "tests/JxSQLCommon/jobbase/TestJob.h"
#include "tests/support/TestRoot.h"

namespace {

class FolderServices : public jxtest::RootedTest {
protected:
    std::vector<std::string> Sorted(std::vector<std::string> v) {
        std::sort(v.begin(), v.end());
        return v;
    }
    TestJob job;
};

TEST_F(FolderServices, JobResultsStagingFolderIsBuiltWithSlashes) {
    std::string out = "unchanged";
    EXPECT_EQ(job.GetJobresultsDir(out, 2, 1234), 1u) << "no settings at all";
    EXPECT_EQ(out, "unchanged");

    JXPlatformInfo settings;
    settings.setString("", "sPhysicalNodeName", "node1");
    EXPECT_EQ(job.GetJobresultsDir(out, 2, 1234), 1u) << "no job-results directory";
    settings.setString("Machines/node1", "dJOBRESULTSDIR", root.path() + "/JR/");
    ASSERT_EQ(job.GetJobresultsDir(out, 2, 1234), 0u);
    EXPECT_EQ(out, root.path() + "/JR/JX_JobResults/Pelmanode/MSSQLAgent/2/1234");
    struct stat st {};
    ASSERT_EQ(::stat(out.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    ASSERT_EQ(::stat((root.path() + "/JR/JX_JobResults").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);

    // A level that cannot be made is a failure, not a path that does not exist.
    root.WriteFile("Blocked/JX_JobResults", "a file in the way");
    settings.setString("Machines/node1", "dJOBRESULTSDIR", root.path() + "/Blocked");
    out = "unchanged";
    EXPECT_EQ(job.GetJobresultsDir(out, 2, 1234), 1u);
    EXPECT_EQ(out, "unchanged");
}

TEST_F(FolderServices, PopulateFilesListsMatchingFilesOnly) {
    root.WriteFile("f/a.bak", "1");
    root.WriteFile("f/b.txt", "2");
    root.WriteFile("f/sub/c.bak", "3");
    const std::string folder = root.path() + "/f";
    std::vector<std::string> files{"kept"};
    std::string error;
    ASSERT_TRUE(job.populateFiles(folder, "*", files, error));
    EXPECT_EQ(Sorted(files), Sorted({"kept", folder + "/a.bak", folder + "/b.txt"}));
    files.clear();
    ASSERT_TRUE(job.populateFiles(folder, "*.bak", files, error));
    EXPECT_EQ(files, std::vector<std::string>{folder + "/a.bak"});

    ::mkdir((root.path() + "/empty").c_str(), 0755);
    files.clear();
    EXPECT_TRUE(job.populateFiles(root.path() + "/empty", "*", files, error));
    EXPECT_TRUE(files.empty());

    EXPECT_FALSE(job.populateFiles(root.path() + "/missing", "*", files, error));
    EXPECT_EQ(error, "Error in finding files");
}

TEST_F(FolderServices, AllFilesInFolderRecursesAndReportsUnreadableFolder) {
    root.WriteFile("t/a.mdf", "");
    root.WriteFile("t/x/b.mdf", "");
    root.WriteFile("t/x/c.ldf", "");
    const std::string folder = root.path() + "/t";
    std::vector<std::string> files;
    EXPECT_TRUE(job.GetAllFilesInFolder(folder, "*.mdf", files, false));
    EXPECT_EQ(files, std::vector<std::string>{folder + "/a.mdf"});
    files.clear();
    EXPECT_TRUE(job.GetAllFilesInFolder(folder, "*.mdf", files, true));
    EXPECT_EQ(Sorted(files), Sorted({folder + "/a.mdf", folder + "/x/b.mdf"}));
    files.clear();
    EXPECT_FALSE(job.GetAllFilesInFolder(root.path() + "/missing", "*", files, true));
    EXPECT_TRUE(files.empty());
}

TEST_F(FolderServices, CreateFolderInDirectory) {
    std::string parent = root.path();
    ASSERT_TRUE(job.CreateFolderInDirectory(parent, "stage"));
    EXPECT_EQ(parent, root.path() + "/stage");
    struct stat st {};
    EXPECT_EQ(::stat(parent.c_str(), &st), 0);
    for (const char* bad : {"", "..", "a/b"}) {
        std::string p = root.path();
        EXPECT_FALSE(job.CreateFolderInDirectory(p, bad)) << bad;
        EXPECT_EQ(p, root.path());
    }
}

TEST_F(FolderServices, FreeSpaceDecidesWhetherFileFits) {
    uint64_t freeBytes = 0;
    ASSERT_FALSE(job.GetFreeSpaceOnFolder(root.path(), freeBytes).IsError());
    EXPECT_GT(freeBytes, 0u);
    bool enough = false;
    ASSERT_FALSE(job.HasEnoughSpaceForFile(root.path() + "/file", 0, enough).IsError());
    EXPECT_TRUE(enough);
    ASSERT_FALSE(job.HasEnoughSpaceForFile(root.path() + "/file", -1, enough).IsError());
    EXPECT_FALSE(enough) << "a negative size is a huge unsigned size";
    EXPECT_TRUE(job.HasEnoughSpaceForFile(root.path() + "/missing/file", 1, enough).IsError());
    EXPECT_TRUE(enough);
}

TEST(FileNames, ValidFileNamesAndPathTests) {
    EXPECT_EQ(CSQLCommon::MakeValidWinFSFolderFileName(":\\/*?\"<>|ab"), "_________ab");
    EXPECT_EQ(CSQLCommon::computeStripLevel("/"), 0);
    EXPECT_EQ(CSQLCommon::computeStripLevel("/a/b"), 2);
    EXPECT_EQ(CSQLCommon::computeStripLevel("a/b"), -1);
    EXPECT_EQ(CSQLCommon::computeStripLevel(""), -1);
    for (const char* yes : {"C:", "C:/dir", "/C:/dir"}) EXPECT_TRUE(CSQLCommon::containsDriveLetter(yes)) << yes;
    for (const char* no : {"C", "1:/dir", "C:x", ""}) EXPECT_FALSE(CSQLCommon::containsDriveLetter(no)) << no;
    EXPECT_TRUE(CSQLCommon::endswith("DB.BAK", ".bak"));
    EXPECT_FALSE(CSQLCommon::endswith("a", ".bak"));
}

TEST(FileNames, LongPathAndUncCopiesStayInsideTheBuffer) {
    wchar_t out[32];
    std::wmemset(out, L'#', 32);
    EXPECT_TRUE(CSQLCommon::MakeLongPathRequest(L"\\\\srv\\share", out, 32));
    EXPECT_STREQ(out, L"\\\\?\\UNC\\srv\\share");
    EXPECT_TRUE(CSQLCommon::MakeLongPathRequest(L"\\\\?\\C:\\x", out, 32));
    EXPECT_STREQ(out, L"\\\\?\\C:\\x");

    std::wmemset(out, L'#', 32);
    EXPECT_FALSE(CSQLCommon::MakeLongPathRequest(L"\\\\srv\\share", out, 10)) << "does not fit";
    EXPECT_FALSE(CSQLCommon::MakeLongPathRequest(L"relative\\path", out, 32)) << "no long form";
    EXPECT_EQ(out[0], L'#');

    char narrow[8] = "#######";
    int length = sizeof narrow;
    EXPECT_FALSE(CSQLCommon::CreateUNCPath("/a/long/path", narrow, length));
    EXPECT_EQ(narrow[0], '#');
    EXPECT_TRUE(CSQLCommon::CreateUNCPath("/a/b", narrow, length));
    EXPECT_STREQ(narrow, "/a/b");
    EXPECT_EQ(length, 4);
}

}  // namespace
