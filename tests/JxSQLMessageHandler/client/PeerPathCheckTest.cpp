// Where peers may reach on this machine.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "JxLib/JXPlatformInfo.h"
#include "JxSQLMessageHandler/client/PeerPathCheck.h"
#include "JxSQLMessageHandler/client/PeerPathRoots.h"
#include "tests/support/TestRoot.h"

namespace jxtest {
namespace {

class PeerPathCheckTest : public RootedTest {
protected:
    void SetUp() override {
        JXPlatformInfo settings;
        ASSERT_TRUE(settings.setString("", "sPhysicalNodeName", "node1"));
        ASSERT_TRUE(settings.setString("Machines/node1", "dJOBRESULTSDIR", root.path() + "/JobResults"));
        root.WriteFile("mssql/HOST/MSSQLSERVER/catalog.db", "");
    }

    bool Allowed(const std::string& path, SqlPeerPathUse use) {
        std::string resolved, why;
        return SqlIsPeerPathAllowed(path, use, resolved, why);
    }
};

TEST_F(PeerPathCheckTest, ByDefaultFilesAreReachableInJobResultsInstanceDataAndSnapshotMounts) {
    const std::string r = root.path();
    EXPECT_TRUE(Allowed(r + "/JobResults/a/b.dat", SqlPeerPathUse::kReadFile));
    EXPECT_TRUE(Allowed(r + "/mssql/HOST/MSSQLSERVER/data/db.mdf", SqlPeerPathUse::kReadFile));
    EXPECT_TRUE(Allowed(r + "/ProductionDataMounts/SnapVolumeMounts/vol1/db.ldf", SqlPeerPathUse::kReadFile));
    EXPECT_FALSE(Allowed(r + "/mssql/HOST/MSSQLSERVER/catalog.db", SqlPeerPathUse::kReadFile));
    EXPECT_FALSE(Allowed(r + "/settings/Instance001.ini", SqlPeerPathUse::kReadFile));
    EXPECT_FALSE(Allowed("/etc/passwd", SqlPeerPathUse::kReadFile));
    EXPECT_FALSE(Allowed(r + "/JobResultsX/a", SqlPeerPathUse::kReadFile));
    // Directories change only inside the job-results directory, never it itself.
    EXPECT_TRUE(Allowed(r + "/JobResults/new/deeper", SqlPeerPathUse::kCreateDirectory));
    EXPECT_TRUE(Allowed(r + "/JobResults", SqlPeerPathUse::kCreateDirectory));
    EXPECT_TRUE(Allowed(r + "/JobResults/old", SqlPeerPathUse::kRemoveDirectory));
    EXPECT_FALSE(Allowed(r + "/JobResults/", SqlPeerPathUse::kRemoveDirectory));
    EXPECT_FALSE(Allowed(r + "/mssql/HOST/MSSQLSERVER/data/x", SqlPeerPathUse::kRemoveDirectory));
}

TEST_F(PeerPathCheckTest, TheSettingReplacesTheDefaultsAndLinksAreFollowed) {
    const std::string r = root.path();
    ASSERT_TRUE(JXPlatformInfo().setString(kPeerPathRootsSection, kPeerPathRootsKey, r + "/one:relative::" + r + "/two"));
    EXPECT_TRUE(Allowed(r + "/one/f", SqlPeerPathUse::kReadFile));
    EXPECT_TRUE(Allowed(r + "/two/f", SqlPeerPathUse::kReadFile));
    EXPECT_FALSE(Allowed(r + "/JobResults/f", SqlPeerPathUse::kReadFile));

    root.WriteFile("private/key", "k");
    std::filesystem::create_directories(r + "/one");
    std::filesystem::create_directories(r + "/two");
    std::filesystem::create_directory_symlink(r + "/private", r + "/one/away");
    std::filesystem::create_directory_symlink(r + "/two", r + "/elsewhere");
    std::string resolved, why;
    EXPECT_FALSE(SqlIsPeerPathAllowed(r + "/one/away/key", SqlPeerPathUse::kReadFile, resolved, why));
    EXPECT_NE(why.find("lies outside the folders peers may reach"), std::string::npos) << why;
    EXPECT_NE(why.find("/private/key]"), std::string::npos) << why;
    EXPECT_TRUE(SqlIsPeerPathAllowed(r + "/elsewhere/new/f", SqlPeerPathUse::kReadFile, resolved, why)) << why;
    EXPECT_EQ(resolved, std::filesystem::canonical(r + "/two").string() + "/new/f");
}

TEST_F(PeerPathCheckTest, WithoutAJobResultsDirectoryNoDirectoryMayChange) {
    ASSERT_TRUE(JXPlatformInfo().deleteValue("Machines/node1", "dJOBRESULTSDIR"));
    EXPECT_FALSE(Allowed(root.path() + "/JobResults/new", SqlPeerPathUse::kCreateDirectory));
    EXPECT_FALSE(Allowed("/", SqlPeerPathUse::kCreateDirectory));
}

}  // namespace
}  // namespace jxtest
