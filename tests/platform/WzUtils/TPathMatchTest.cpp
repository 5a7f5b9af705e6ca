#include <gtest/gtest.h>

#include <string>

#include "WzUtils/TPathMatch.h"

namespace {
bool Matches(const std::string& pattern, const std::string& text, bool ignoreCase = true, bool stopAtSep = false) {
    TPathMatch m;
    m.Init(pattern, ignoreCase, stopAtSep);
    return m.match(text) != 0;
}
}  // namespace

TEST(TPathMatch, StarMatchesAnyRunAndQuestionMarkOneCharacter) {
    EXPECT_TRUE(Matches("tmp*", "tmp"));
    EXPECT_TRUE(Matches("tmp*", "tmp_2024"));
    EXPECT_TRUE(Matches("*_old", "sales_old"));
    EXPECT_TRUE(Matches("a*b*c", "axxbyyc"));
    EXPECT_TRUE(Matches("*", ""));
    EXPECT_TRUE(Matches("db?", "db1"));
    EXPECT_FALSE(Matches("db?", "db"));
    EXPECT_FALSE(Matches("db?", "db12"));
    EXPECT_FALSE(Matches("tmp*", "xtmp"));
    EXPECT_FALSE(Matches("a*b*c", "axxbyy"));
    EXPECT_FALSE(Matches("", "a"));
}

TEST(TPathMatch, MatchesTheWholeNameOnly) {
    EXPECT_FALSE(Matches("test", "test1"));
    EXPECT_FALSE(Matches("test", "mytest"));
    EXPECT_TRUE(Matches("*test*", "mytest1"));
}

TEST(TPathMatch, CaseRuleFollowsTheFirstFlag) {
    EXPECT_TRUE(Matches("TMP*", "tmpdb", true));
    EXPECT_FALSE(Matches("TMP*", "tmpdb", false));
}

TEST(TPathMatch, QuestionMarkTakesOneWholeUtf8Letter) {
    EXPECT_TRUE(Matches("m?nchen", "m\xC3\xBCnchen"));
    EXPECT_FALSE(Matches("m??nchen", "m\xC3\xBCnchen"));
}

TEST(TPathMatch, SeparatorRuleFollowsTheSecondFlag) {
    EXPECT_TRUE(Matches("a/*", "a/b/c", true, false));
    EXPECT_FALSE(Matches("a/*", "a/b/c", true, true));
    EXPECT_TRUE(Matches("a/*/c", "a/b/c", true, true));
    EXPECT_FALSE(Matches("a?b", "a/b", true, true));
    EXPECT_TRUE(Matches("a?b", "a/b", true, false));
}

TEST(TPathMatch, ManyStarsAgainstALongNameFinishQuickly) {
    const std::string text(5000, 'a');
    EXPECT_FALSE(Matches("*a*a*a*a*a*a*a*a*b", text));
    EXPECT_TRUE(Matches("*a*a*a*a*a*a*a*a*", text));
}
