#include <gtest/gtest.h>

#include "JxLib/EvDebug.h"
#include "JxLib/JXPlatformInfo.h"
#include "tests/support/TestRoot.h"

using jxtest::RootedTest;

class EvDebugTest : public RootedTest {
protected:
    std::string Log() { return root.ReadFile("logs/" + EvDebug::ProgramName() + ".log"); }
};

TEST_F(EvDebugTest, TaggedLinesCarryFileLineAndLevelTag) {
    EvDebug log;
    log.setJobId(12345678901234ULL);
    EV_ERROR(log, "Receive message failed. Error:[%s]", "timeout");
    EV_INFO(log, "plain info");
    std::string text = Log();
    EXPECT_NE(text.find("EvDebugTest.cpp("), std::string::npos);
    EXPECT_NE(text.find("-Error-: Receive message failed. Error:[timeout]"), std::string::npos);
    EXPECT_NE(text.find("-Info--: plain info"), std::string::npos);
    EXPECT_NE(text.find(" 12345678901234 "), std::string::npos);
}

TEST_F(EvDebugTest, DetailLinesFollowTheDebugLevel) {
    EvDebug log;
    EvDebug::SetDebugLevel(1);
    log.debugLvl(2, "hidden detail");
    EV_DEBUG(log, 3, "hidden tagged");
    log.debugLvl(1, "shown");
    EvDebug::SetDebugLevel(5);
    log.debugLvl(5, "now shown");
    EvDebug::SetDebugLevel(-1);
    std::string text = Log();
    EXPECT_EQ(text.find("hidden"), std::string::npos);
    EXPECT_NE(text.find("shown"), std::string::npos);
    EXPECT_NE(text.find("now shown"), std::string::npos);
}

TEST_F(EvDebugTest, FunctionPrefixedLines) {
    EvDebug log;
    log.Debug("CSQLClientDll::sendReply", "sent %d bytes", 10);
    log.Error("CSQLClientDll::sendReply", "failed");
    std::string text = Log();
    EXPECT_NE(text.find("CSQLClientDll::sendReply() - sent 10 bytes"), std::string::npos);
    EXPECT_NE(text.find("CSQLClientDll::sendReply() - ERROR: failed"), std::string::npos);
}
