#include <gtest/gtest.h>

#include <string>

#include "JxLib/EvDebug.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/SqlNameLookups.h"
#include "tests/support/TestRoot.h"

using jxtest::RootedTest;

class SqlNameLookupsTest : public RootedTest {};

TEST_F(SqlNameLookupsTest, MachineNameComesFromThePhysicalNodeSetting) {
    JXPlatformInfo().setString("", "sPhysicalNodeName", "node7");
    EXPECT_EQ(GetCurrentMachineName(), "node7");
}

TEST_F(SqlNameLookupsTest, MissingMachineNameGivesEmptyTextAndAnErrorLine) {
    EXPECT_EQ(GetCurrentMachineName(), "");
    EXPECT_NE(jxtest::ReadWholeFile(EvDebug::LogFilePath()).find("Failed to get physical node name with last error [2]."),
              std::string::npos);
}

TEST_F(SqlNameLookupsTest, EveryInstanceUsesTheDefaultPort) {
    std::string port;
    EXPECT_TRUE(GetDefaultSQLInstancePortNo("host/INST1", port));
    EXPECT_EQ(port, "1433");
}
