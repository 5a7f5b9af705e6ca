#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "JxSQLCommon/records/SqlStringUtils.h"
#include "WzUtils/FXErrorUtil.h"

TEST(PaddLSN, FillsWithLeadingZerosUpToTheWidth) {
    std::string out;
    ASSERT_FALSE(PaddLSN("12", out, 5).IsError());
    EXPECT_EQ(out, "00012");
    ASSERT_FALSE(PaddLSN("12345", out, 5).IsError());
    EXPECT_EQ(out, "12345");
}

TEST(PaddLSN, RefusesEmptyAndTooLongInputAndKeepsTheOutput) {
    std::string out = "unchanged";
    CWzError err = PaddLSN("123456", out, 5);
    ASSERT_TRUE(err.IsError());
    EXPECT_EQ(FXErrorUtil::GetHResult(err), WZ_E_INVALIDARG);
    EXPECT_EQ(err.GetMessage(), "String is too long");
    err = PaddLSN("", out, 5);
    ASSERT_TRUE(err.IsError());
    EXPECT_EQ(err.GetMessage(), "in is empty");
    EXPECT_EQ(out, "unchanged");
}

TEST(SqlStringUtils, AppendsNumbersAndPrintsEmptyStringsSafely) {
    EXPECT_EQ(std::string("stream") + 7, "stream7");
    EXPECT_EQ(std::string("n") + -3, "n-3");
    const std::string empty;
    EXPECT_STREQ(PRINT_STR(empty), "");
    const std::string db = "master";
    EXPECT_EQ(PRINT_STR(db), db.c_str());
}

TEST(SqlStringUtils, CaseInsensitiveOrdersMergeNamesThatDifferOnlyInCase) {
    std::map<std::string, int, caseIgnoreCompare> byName;
    byName["SalesDB"] = 1;
    byName["salesdb"] = 2;
    byName["Archive"] = 3;
    EXPECT_EQ(byName.size(), 2u);
    EXPECT_EQ(byName.begin()->first, "Archive");
    EXPECT_EQ(byName["SALESDB"], 2);

    std::set<std::string, __less_nocase_cmp> files{"A.bak", "a.BAK", "b.bak"};
    EXPECT_EQ(files.size(), 2u);
    std::set<std::string, InsensitiveCompare> names{"Db", "dB", "ab"};
    EXPECT_EQ(names.size(), 2u);
    EXPECT_EQ(*names.begin(), "ab");
    // A prefix orders before the longer name.
    EXPECT_TRUE(caseIgnoreCompare()("DB", "db1"));
    EXPECT_FALSE(caseIgnoreCompare()("db1", "DB"));
}
