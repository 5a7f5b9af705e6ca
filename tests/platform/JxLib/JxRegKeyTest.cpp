// Settings keys opened by name.
#include "JxLib/JxRegKey.h"

#include <gtest/gtest.h>

#include "JxLib/JXPlatformInfo.h"
#include "tests/support/TestRoot.h"

namespace {

class RegKey : public jxtest::RootedTest {};

TEST_F(RegKey, MissingKeyOpensOnlyForWriting) {
    JxRegKey key;
    EXPECT_EQ(key.open("ORVANE_REGISTRY_BASE", true), JxRegKey::kOpenFailed);
    EXPECT_FALSE(key.isOpen());
    std::string value;
    EXPECT_FALSE(key.getValue("MSDEVersionChecking", value));
    EXPECT_EQ(key.open("ORVANE_REGISTRY_BASE", false), 0);
    EXPECT_FALSE(key.getValue("MSDEVersionChecking", value));
    EXPECT_EQ(key.open("", false), JxRegKey::kOpenFailed);
}

TEST_F(RegKey, ReadsTheValuesOfItsSection) {
    JXPlatformInfo().setString("ORVANE_REGISTRY_BASE", "MSDEVersionChecking", "yes");
    JXPlatformInfo().setString("Other", "MSDEVersionChecking", "no");
    JxRegKey key;
    ASSERT_EQ(key.open("ORVANE_REGISTRY_BASE", true), 0);
    std::string value;
    EXPECT_TRUE(key.getValue("MSDEVersionChecking", value));
    EXPECT_EQ(value, "yes");
    EXPECT_FALSE(key.getValue("Absent", value));
    key.close();
    EXPECT_FALSE(key.getValue("MSDEVersionChecking", value));
}

}  // namespace
