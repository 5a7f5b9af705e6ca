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
