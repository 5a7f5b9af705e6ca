#include <gtest/gtest.h>

#include <string>

#include "JxSQLCommon/records/JXCommandLine.h"

TEST(JXCommandLine, RefusesNullAndEmptyLines) {
    JXCommandLine line;
    EXPECT_FALSE(line.setCommandLine(nullptr));
    EXPECT_FALSE(line.setCommandLine(""));
    EXPECT_EQ(line.getNextOption(), 0);
}

TEST(JXCommandLine, ReadsOptionsWithPlainAndQuotedArguments) {
    JXCommandLine line;
    ASSERT_TRUE(line.setCommandLine("-j 42 -t 'two words' /d \"  spaced  \""));
    char arg[64];
    EXPECT_EQ(line.getNextOption(), 'j');
    ASSERT_TRUE(line.getArgument(arg, sizeof arg));
    EXPECT_STREQ(arg, "42");
    EXPECT_EQ(line.getNextOption(), 't');
    ASSERT_TRUE(line.getArgument(arg, sizeof arg));
    EXPECT_STREQ(arg, "two words");
    EXPECT_EQ(line.getNextOption(), 'd');
    ASSERT_TRUE(line.getArgument(arg, sizeof arg));
    EXPECT_STREQ(arg, "spaced");
    EXPECT_EQ(line.getNextOption(), 0);
}

TEST(JXCommandLine, PathsAndNegativeNumbersStayWhole) {
    JXCommandLine line;
    ASSERT_TRUE(line.setCommandLine("-p /var/opt/mssql/data -n -5 -x a-b/c"));
    char arg[64];
    EXPECT_EQ(line.getNextOption(), 'p');
    ASSERT_TRUE(line.getArgument(arg, sizeof arg));
    EXPECT_STREQ(arg, "/var/opt/mssql/data");
    EXPECT_EQ(line.getNextOption(), 'n');
    ASSERT_TRUE(line.getArgument(arg, sizeof arg));
    EXPECT_STREQ(arg, "-5");
    EXPECT_EQ(line.getNextOption(), 'x');
    ASSERT_TRUE(line.getArgument(arg, sizeof arg));
    EXPECT_STREQ(arg, "a-b/c");
    EXPECT_EQ(line.getNextOption(), 0);
}

TEST(JXCommandLine, AQuotedArgumentEndingInAnOptionSignEndsAtItsQuote) {
    JXCommandLine line;
    ASSERT_TRUE(line.setCommandLine("-d '/var/opt/' -e \"x -\" -j 42"));
    char arg[64];
    EXPECT_EQ(line.getNextOption(), 'd');
    ASSERT_TRUE(line.getArgument(arg, sizeof arg));
    EXPECT_STREQ(arg, "/var/opt/");
    EXPECT_EQ(line.getNextOption(), 'e');
    ASSERT_TRUE(line.getArgument(arg, sizeof arg));
    EXPECT_STREQ(arg, "x -");
    EXPECT_EQ(line.getNextOption(), 'j');
    ASSERT_TRUE(line.getArgument(arg, sizeof arg));
    EXPECT_STREQ(arg, "42");
    EXPECT_EQ(line.getNextOption(), 0);
}

TEST(JXCommandLine, AnOptionAtTheEndHasAnEmptyArgument) {
    JXCommandLine line;
    ASSERT_TRUE(line.setCommandLine("-v  \t"));
    char arg[8] = "junk";
    EXPECT_EQ(line.getNextOption(), 'v');
    ASSERT_TRUE(line.getArgument(arg, sizeof arg));
    EXPECT_STREQ(arg, "");
    EXPECT_EQ(line.getNextOption(), 0);
}

TEST(JXCommandLine, NeverWritesPastTheBuffer) {
    JXCommandLine line;
    ASSERT_TRUE(line.setCommandLine("-d 12345678"));
    char arg[8] = "xxxxxxx";
    EXPECT_EQ(line.getNextOption(), 'd');
    EXPECT_FALSE(line.getArgument(arg, sizeof arg));  // 8 characters need 9 bytes
    EXPECT_STREQ(arg, "");
    char fits[9];
    EXPECT_TRUE(line.getArgument(fits, sizeof fits));
    EXPECT_STREQ(fits, "12345678");
    EXPECT_FALSE(line.getArgument(nullptr, 10));
    EXPECT_FALSE(line.getArgument(arg, 0));
}

TEST(JXCommandLine, UnterminatedQuoteFails) {
    JXCommandLine line;
    ASSERT_TRUE(line.setCommandLine("-t 'open"));
    char arg[16];
    EXPECT_EQ(line.getNextOption(), 't');
    EXPECT_FALSE(line.getArgument(arg, sizeof arg));
}

TEST(JXCommandLine, LongOptionNamesAreRecognisedAtTheCursor) {
    JXCommandLine line;
    ASSERT_TRUE(line.setCommandLine("-instance INST1"));
    char arg[16];
    EXPECT_EQ(line.getNextOption(), 'i');
    EXPECT_FALSE(line.isOption(""));
    EXPECT_FALSE(line.isOption("instances-and-more"));
    EXPECT_FALSE(line.isOption("inz"));
    ASSERT_TRUE(line.isOption("instance"));
    ASSERT_TRUE(line.getArgument(arg, sizeof arg));
    EXPECT_STREQ(arg, "INST1");
}
