#include <gtest/gtest.h>

#include <string>

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/Imitator.h"
#include "WzUtils/FXErrorUtil.h"
#include "tests/support/TestRoot.h"

using jxtest::RootedTest;

namespace {

class FixedCredentials : public MountPathCredentialSource {
public:
    bool getMagneticMountPathInfo(const std::string& path, std::string& user, std::string& password) const override {
        ++lookups;
        lastPath = path;
        user = "DOMAIN\\backup";
        password = "secret";
        return true;
    }
    mutable int lookups = 0;
    mutable std::string lastPath;
};

// An identity switch that works, as a platform with one would supply.
class SwitchingImitator : public Imitator {
public:
    bool Impersonate(const std::string&, const std::string& user, const std::string&, bool) override {
        ++switches;
        lastUser = user;
        return true;
    }
    using Imitator::Impersonate;
    int switches = 0;
    std::string lastUser;
};

}  // namespace

class ImitatorTest : public RootedTest {};

TEST_F(ImitatorTest, RecognisesUncPaths) {
    Imitator imitator;
    EXPECT_TRUE(imitator.IsPathUNC("\\\\server\\share"));
    EXPECT_TRUE(imitator.IsPathUNC(" \t\\\\srv\\s \t"));
    EXPECT_FALSE(imitator.IsPathUNC("\\\\.\\pipe"));  // local device path
    EXPECT_FALSE(imitator.IsPathUNC("\\\\a"));        // exactly 3 characters
    EXPECT_FALSE(imitator.IsPathUNC("/mnt/share"));
    EXPECT_FALSE(imitator.IsPathUNC(""));
}

TEST_F(ImitatorTest, LocalPathsNeedNothingAndLookNothingUp) {
    FixedCredentials credentials;
    Imitator imitator;
    imitator.SetCredentialSource(&credentials);
    EXPECT_FALSE(imitator.Impersonate("/var/opt/mssql", false).IsError());
    EXPECT_FALSE(imitator.Impersonate("\\\\.\\device", false).IsError());
    EXPECT_FALSE(imitator.Impersonate("", true).IsError());
    EXPECT_EQ(credentials.lookups, 0);
}

TEST_F(ImitatorTest, UncPathsFailWithoutAnIdentitySwitch) {
    Imitator imitator;
    CWzError err = imitator.Impersonate("\\\\server\\share\\db", false);
    ASSERT_TRUE(err.IsError());
    EXPECT_EQ(FXErrorUtil::GetHResult(err), 1368);
    EXPECT_NE(jxtest::ReadWholeFile(EvDebug::LogFilePath())
                  .find("INFO: Failed to get credential details for the path: \\\\server\\share\\db"),
              std::string::npos);

    FixedCredentials credentials;
    imitator.SetCredentialSource(&credentials);
    EXPECT_EQ(FXErrorUtil::GetHResult(imitator.Impersonate("\\\\server\\share\\db", false)), 1368);
    EXPECT_EQ(credentials.lookups, 1);
}

TEST_F(ImitatorTest, ASuccessfulSwitchIsRememberedPerPath) {
    FixedCredentials credentials;
    SwitchingImitator imitator;
    imitator.SetCredentialSource(&credentials);
    EXPECT_FALSE(imitator.Impersonate("\\\\server\\share", false).IsError());
    EXPECT_FALSE(imitator.Impersonate("\\\\server\\share", false).IsError());
    EXPECT_EQ(imitator.switches, 1);
    EXPECT_EQ(imitator.lastUser, "DOMAIN\\backup");
    EXPECT_FALSE(imitator.Impersonate("\\\\server\\other", false).IsError());
    EXPECT_EQ(imitator.switches, 2);
}

TEST_F(ImitatorTest, ParentOfAPathWithoutFolderIsAnError) {
    Imitator imitator;
    CWzError err = imitator.Impersonate("\\\\server\\share", true);
    ASSERT_TRUE(err.IsError());
    EXPECT_NE(err.AsString().find("FXPath::SplitParentPath failed \\\\server\\share"), std::string::npos);

    FixedCredentials credentials;
    imitator.SetCredentialSource(&credentials);
    EXPECT_TRUE(imitator.Impersonate("\\\\server/share/file.bak", true).IsError());
    EXPECT_EQ(credentials.lastPath, "\\\\server/share");
}
