#include <gtest/gtest.h>

#include "JxLib/EvDebug.h"
#include "JxLib/JXPlatformInfo.h"
#include "tests/support/TestRoot.h"

using jxtest::RootedTest;

class JXPlatformInfoTest : public RootedTest {};

TEST_F(JXPlatformInfoTest, ReadsBackWhatWasWrittenPerSectionAndTopLevel) {
    JXPlatformInfo pi;
    ASSERT_TRUE(pi.setNumber("MSSQLAgent", "nSessionTimeoutInMins", 30));
    ASSERT_TRUE(pi.setString("", "sPhysicalNodeName", "node1"));
    int minutes = 0;
    EXPECT_TRUE(pi.getNumber("MSSQLAgent", "nSessionTimeoutInMins", &minutes));
    EXPECT_EQ(minutes, 30);
    std::string node;
    EXPECT_TRUE(pi.getString("", "sPhysicalNodeName", node));
    EXPECT_EQ(node, "node1");
    EXPECT_FALSE(pi.getString("MSSQLAgent", "sPhysicalNodeName", node));
    EXPECT_EQ(pi.getLastError(), JXPI_ERR_NOT_FOUND);
}

TEST_F(JXPlatformInfoTest, WrongTypeOrOutOfRangeKeepsTheDefaultAndLogs) {
    JXPlatformInfo pi;
    pi.setString("MSSQLAgent", "nText", "abc");
    pi.setString("MSSQLAgent", "nHuge", "99999999999");
    pi.setString("MSSQLAgent", "nNegative", "-1");
    int i = 7;
    unsigned int u = 9;
    EXPECT_FALSE(pi.getNumber("MSSQLAgent", "nText", &i));
    EXPECT_EQ(i, 7);
    EXPECT_EQ(pi.getLastError(), JXPI_ERR_BAD_TYPE);
    EXPECT_FALSE(pi.getNumber("MSSQLAgent", "nHuge", &i));
    EXPECT_EQ(i, 7);
    EXPECT_FALSE(pi.getNumber("MSSQLAgent", "nNegative", &u));
    EXPECT_EQ(u, 9u);
    EXPECT_TRUE(pi.getNumber("MSSQLAgent", "nNegative", &i));
    EXPECT_EQ(i, -1);
    std::string log = root.ReadFile("logs/" + EvDebug::ProgramName() + ".log");
    EXPECT_NE(log.find("nText"), std::string::npos);
    EXPECT_NE(log.find("out of range"), std::string::npos);
}

TEST_F(JXPlatformInfoTest, InstancesHaveTheirOwnFiles) {
    JXPlatformInfo a("Instance001"), b("Instance002");
    a.setNumber("MSSQLAgent", "nX", 1);
    int v = 0;
    EXPECT_FALSE(b.getNumber("MSSQLAgent", "nX", &v));
    JXPI_Session::setFocus("Instance002");
    JXPlatformInfo focused;
    EXPECT_EQ(focused.instance(), "Instance002");
    JXPI_Session::setFocus("Instance001");
}

TEST_F(JXPlatformInfoTest, RefusesValuesThatWouldBreakTheFile) {
    JXPlatformInfo pi;
    EXPECT_FALSE(pi.setString("MSSQLAgent", "sX", "two\nlines"));
    EXPECT_FALSE(pi.setString("MSSQLAgent", "bad=key", "v"));
}
