#include <gtest/gtest.h>

#include <thread>
#include <vector>

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

TEST_F(JXPlatformInfoTest, NumbersAreDecimalOrHexadecimalNeverOctal) {
    JXPlatformInfo pi;
    pi.setString("MSSQLAgent", "nTen", "010");
    pi.setString("MSSQLAgent", "nEight", "08");
    pi.setString("MSSQLAgent", "nHex", "0x1F");
    int v = 0;
    EXPECT_TRUE(pi.getNumber("MSSQLAgent", "nTen", &v));
    EXPECT_EQ(v, 10);
    EXPECT_TRUE(pi.getNumber("MSSQLAgent", "nEight", &v));
    EXPECT_EQ(v, 8);
    EXPECT_TRUE(pi.getNumber("MSSQLAgent", "nHex", &v));
    EXPECT_EQ(v, 31);
}

TEST_F(JXPlatformInfoTest, ConcurrentWritersLoseNoKey) {
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([t] {
            JXPlatformInfo pi;
            for (int k = 0; k < 10; ++k) EXPECT_TRUE(pi.setNumber("MSSQLAgent", "n" + std::to_string(t * 10 + k), k));
        });
    }
    for (auto& w : writers) w.join();
    JXPlatformInfo pi;
    for (int i = 0; i < 40; ++i) {
        int v = -1;
        EXPECT_TRUE(pi.getNumber("MSSQLAgent", "n" + std::to_string(i), &v)) << i;
        EXPECT_EQ(v, i % 10);
    }
}
