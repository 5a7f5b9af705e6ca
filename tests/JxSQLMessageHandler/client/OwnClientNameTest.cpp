// The name the agent gives of itself when it attaches.
#include <gtest/gtest.h>

#include <string>

#include "JxLib/JXPlatformInfo.h"
#include "JxSQLMessageHandler/client/OwnClientName.h"
#include "tests/support/TestRoot.h"

namespace {

using OwnClientNameTest = jxtest::RootedTest;

TEST_F(OwnClientNameTest, PhysicalMachineNameCutTo255Characters) {
    JXPlatformInfo settings;
    settings.setString("", "sPhysicalNodeName", std::string(300, 'm'));
    settings.setString("Base", "sJxServerClientName", "csclient");
    char name[kOwnClientNameSize];
    GetOwnClientName(name);
    EXPECT_EQ(std::string(name), std::string(255, 'm'));
}

TEST_F(OwnClientNameTest, CentralServerClientNameWhenTheCentralServerIsInstalledHere) {
    JXPlatformInfo settings;
    settings.setString("", "sPhysicalNodeName", "machine");
    settings.setString("Base", "sJxServerClientName", "csclient");
    settings.setNumber("Base", "nPlatformType", 3);
    char name[kOwnClientNameSize];
    GetOwnClientName(name);
    EXPECT_STREQ(name, "csclient");

    settings.setNumber("Base", "nPlatformType", 2);
    GetOwnClientName(name);
    EXPECT_STREQ(name, "machine");
}

TEST_F(OwnClientNameTest, SystemHostNameWhenTheSettingsNameNoMachine) {
    char name[kOwnClientNameSize];
    GetOwnClientName(name);
    EXPECT_STRNE(name, "");
}

}  // namespace
