// Restore directories for the SQL Server user: what is created, what changes
// owner, and under which identity access is checked.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "JxSQLCommon/restore/SqlServerRestoreDirectory.h"
#include "tests/JxSQLCommon/restore/FakeSqlServerAccount.h"
#include "tests/support/TestRoot.h"

namespace {

using Outcome = SqlServerRestoreDirectory::Outcome;

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

class SqlServerRestoreDirectoryTest : public jxtest::RootedTest {
protected:
    FakeSqlServerAccount account;
    ScopedSqlServerAccount installed{account};
    EvDebug log;
    SqlServerRestoreDirectory directories{"mssql", log};
};

TEST_F(SqlServerRestoreDirectoryTest, RelativePathsAndParentLevelsAreRefusedBeforeAnythingIsMade) {
    for (const std::string& path : {std::string("data/x.mdf"), root.path() + "/a/../../x.mdf", std::string("")}) {
        EXPECT_EQ(directories.Prepare(path), SqlServerRestoreDirectory::kBadPath) << path;
    }
    EXPECT_FALSE(IsDirectory(root.path() + "/a"));
    EXPECT_TRUE(account.calls.empty());
    EXPECT_TRUE(SqlServerRestoreDirectory::IsAcceptablePath("/var/opt/x..y/..z.mdf"));
}

TEST_F(SqlServerRestoreDirectoryTest, OnlyCreatedLevelsGoToTheUserAndAccessIsCheckedAsTheUser) {
    const std::string existing = root.File("data/keep");
    (void)root.File("data/keep/x");  // makes data/keep
    const std::string dir = existing + "/new1/new2";
    account.writable.insert(dir);
    ASSERT_EQ(directories.Prepare(dir + "/sales.mdf"), SqlServerRestoreDirectory::kReady);
    EXPECT_TRUE(IsDirectory(dir));
    EXPECT_EQ(directories.directory(), dir);
    const std::vector<std::string> expected = {
        "chown " + existing + "/new1 999:998",
        "chown " + dir + " 999:998",
        "setegid 998",
        "seteuid 999",
        "access " + dir + " as 999:998",
        "seteuid 0",
        "setegid 0",
    };
    EXPECT_EQ(account.calls, expected);
    EXPECT_EQ(account.euid, 0u);
    EXPECT_EQ(account.egid, 0u);

    // A second file in the same, now existing, directory changes no owner.
    account.calls.clear();
    ASSERT_EQ(directories.Prepare(dir + "/sales_log.ldf"), SqlServerRestoreDirectory::kReady);
    EXPECT_EQ(account.calls.front(), "setegid 998");
}

TEST_F(SqlServerRestoreDirectoryTest, AJobNotRunAsRootChecksAsItselfAndGivesNothingAway) {
    account.euid = 1000;
    account.egid = 1000;
    const std::string dir = root.path() + "/mine";
    account.writable.insert(dir);
    ASSERT_EQ(directories.Prepare(dir + "/a.mdf"), SqlServerRestoreDirectory::kReady);
    EXPECT_EQ(account.calls, (std::vector<std::string>{"access " + dir + " as 1000:1000"}));
}

TEST_F(SqlServerRestoreDirectoryTest, FailuresNameTheirStepAndLeaveTheProcessAsItWas) {
    const std::string dir = root.path() + "/d";
    EXPECT_EQ(directories.Prepare(dir + "/a.mdf"), SqlServerRestoreDirectory::kNotAccessible);
    EXPECT_EQ(directories.error(), EACCES);

    account.failUserSwitchTo.insert(FakeSqlServerAccount::kSqlUid);
    account.writable.insert(dir);
    EXPECT_EQ(directories.CheckWritable(dir), SqlServerRestoreDirectory::kSwitchFailed);
    EXPECT_EQ(account.egid, 0u);  // the group switch was undone
    EXPECT_EQ(account.euid, 0u);

    SqlServerRestoreDirectory unknown("nosuchuser", log);
    EXPECT_EQ(unknown.Prepare(root.path() + "/e/a.mdf"), SqlServerRestoreDirectory::kNoUser);

    account.failUserSwitchTo.clear();
    account.chownError = EPERM;
    EXPECT_EQ(directories.Prepare(root.path() + "/f/a.mdf"), SqlServerRestoreDirectory::kNotGiven);
    EXPECT_EQ(directories.error(), EPERM);

    const std::string file = root.File("plain");
    root.WriteFile("plain", "x");
    EXPECT_EQ(directories.Prepare(file + "/a.mdf"), SqlServerRestoreDirectory::kNotCreated);
    EXPECT_EQ(directories.error(), ENOTDIR);
}

}  // namespace
