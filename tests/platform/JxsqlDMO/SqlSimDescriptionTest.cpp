#include "JxsqlDMO/SqlSimDescription.h"

#include <gtest/gtest.h>

#include "JxsqlDMO/CsqlDMO.h"
#include "tests/support/TestRoot.h"

namespace {

class SqlSimDescriptionTest : public jxtest::RootedTest {};

TEST_F(SqlSimDescriptionTest, CreatesEveryInstanceItNames) {
    std::vector<std::string> created;
    ASSERT_FALSE(SqlSimApplyDescription("# two instances\n\n"
                                        "instance h/one\n"
                                        "  database d1   # trailing comment\n"
                                        "instance h/two running=no\n",
                                        &created)
                     .IsError());
    EXPECT_EQ(created, (std::vector<std::string>{"h/one", "h/two"}));
    CsqlDMO dmo;
    int state = 0;
    std::string text;
    EXPECT_TRUE(dmo.getDatabaseStatus("h/one", "d1", state, text));
    EXPECT_FALSE(dmo.initialize("h/two"));
}

// What the backup job's conversion rules ask of SQL Server, described.
TEST_F(SqlSimDescriptionTest, ConversionQuestionsFollowTheDescribedHistoryAndChanges) {
    ASSERT_FALSE(SqlSimApplyDescription("instance h/c\n"
                                        "database d1 created=500\n"
                                        "filegroup d1 FG2\n"
                                        "file d1 FG2 f2\n"
                                        "backup d1 type=D first=1 last=2 finish=10 device=JxSQLVDI_01\n"
                                        "backup d1 type=L first=2 last=3 finish=20 device=JxSQLVDI_02\n"
                                        "backup d1 type=L first=3 last=4 finish=30 device=/mnt/outside.trn\n"
                                        "fulltextcatalog d1 at=900\n"
                                        "fileschanged d1 at=700\n")
                     .IsError());
    CsqlDMO dmo;
    ASSERT_TRUE(dmo.initialize("h/c"));
    EXPECT_TRUE(dmo.IsthePreviousBackupTypedoneusingOrvane("d1", 'D', 0, 0));
    EXPECT_FALSE(dmo.IsthePreviousBackupTypedoneusingOrvane("d1", 'L', 0, 0));
    EXPECT_FALSE(dmo.IsthePreviousBackupTypedoneusingOrvane("d1", 'I', 0, 0));  // none at all
    EXPECT_TRUE(dmo.isLogBackupTakenOutside("d1", 0));
    EXPECT_TRUE(dmo.isDatabaseCreatedAfter("d1", 499));
    EXPECT_FALSE(dmo.isDatabaseCreatedAfter("d1", 500));
    EXPECT_TRUE(dmo.isFullTextCatalogAdded(L"d1", 899));
    EXPECT_FALSE(dmo.isFullTextCatalogAdded(L"d1", 900));
    EXPECT_TRUE(dmo.isFileOrFileGroupChangedAfter("d1", 600));
    EXPECT_FALSE(dmo.isFileOrFileGroupChangedAfter("d1", 700));
    EXPECT_TRUE(dmo.isFileorFileGroupsExists("d1", "FG2", ""));
    EXPECT_TRUE(dmo.isFileorFileGroupsExists("d1", "FG2", "f2"));
    EXPECT_FALSE(dmo.isFileorFileGroupsExists("d1", "PRIMARY", "f2"));
    EXPECT_FALSE(dmo.isFileorFileGroupsExists("d1", "FG9", ""));
    std::string xml;
    EXPECT_TRUE(dmo.getDatabaseSizes({"d1"}, xml));
    EXPECT_FALSE(dmo.getDatabaseSizes({"d1", "missing"}, xml));
    EXPECT_TRUE(SqlSimApplyDescription("instance h/c2\ndatabase d\nfileschanged d\n").IsError());
}

TEST_F(SqlSimDescriptionTest, QuotesKeepBlanksQuotesAndEqualSigns) {
    ASSERT_FALSE(SqlSimApplyDescription("instance h\n"
                                        "database \"my db\"\n"
                                        "database \"a=b\"\n"
                                        "database \"q\\\"uote\"\n"
                                        "login \"odd login\" password=\"p w=x\" roles=sysadmin\n")
                     .IsError());
    CsqlDMO dmo;
    int state = 0;
    std::string text;
    EXPECT_TRUE(dmo.getDatabaseStatus("h", "my db", state, text));
    EXPECT_TRUE(dmo.getDatabaseStatus("h", "a=b", state, text));
    EXPECT_TRUE(dmo.getDatabaseStatus("h", "q\"uote", state, text));
    EXPECT_TRUE(dmo.verifyUser("odd login", "p w=x", "h"));
}

TEST_F(SqlSimDescriptionTest, MistakesNameTheirLineAndKeepEarlierLines) {
    struct Case {
        const char* line;
        const char* message;
    };
    const Case cases[] = {
        {"database x size=10", "unknown option [size]"},
        {"database x data=12ab", "needs a number"},
        {"database x data=-1", "needs a number"},
        {"database x readonly=maybe", "yes or no"},
        {"database x state=sleeping", "unknown database state"},
        {"database x recovery=full x2", "after the options"},
        {"database \"x", "unterminated quote"},
        {"database x recovery=full recovery=simple", "given twice"},
        {"database", "usage: database"},
        {"backup d1 type=X first=1 last=2", "invalid backup type"},
        {"replica AG h priority=101", "between 0 and 100"},
        {"frobnicate x", "unknown statement"},
    };
    for (const Case& c : cases) {
        std::string text = std::string("instance h") + std::to_string(&c - cases) + "\ndatabase d1\n" + c.line + "\n";
        CWzError err = SqlSimApplyDescription(text);
        ASSERT_TRUE(err.IsError()) << c.line;
        EXPECT_NE(err.AsString().find("line 3"), std::string::npos) << err.AsString();
        EXPECT_NE(err.AsString().find(c.message), std::string::npos) << c.line << ": " << err.AsString();
    }
    CWzError early = SqlSimApplyDescription("database d\n");
    EXPECT_NE(early.AsString().find("before the first instance"), std::string::npos);

    CsqlDMO dmo;
    int state = 0;
    std::string text;
    EXPECT_TRUE(dmo.getDatabaseStatus("h0", "d1", state, text));  // lines before the mistake stay
}

}  // namespace
