// Staging mount points through the mounting-service stand-in.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>

#include "ArMgrClientAPI/ArMgrClientAPI.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxLib/JxProcess.h"
#include "JxSQLCommon/dump/DumpSweepUtils.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzClock.h"
#include "tests/support/TestRoot.h"

namespace {

class DumpSweepUtilsTest : public ::testing::Test {
protected:
    // Slow enough for the service program to start on a loaded machine.
    jxtest::TestRoot root{0.01};
    void SetUp() override { JxProcess::SetProgramPath(JXMA_MOUNTING_POINT_SERVICE, JX_MOUNT_SERVICE_PROGRAM); }

    // A disk-library mount path of `subclient` holding one dump.
    std::string AddMountPath(uint64_t subclient, const std::string& name) {
        const std::string folder = ArMgrClientAPI::MountPathsFolder(subclient) + "/" + name;
        root.WriteFile(folder.substr(root.path().size() + 1) + "/db1_log_backup_1.bak", "dump");
        return folder;
    }
    static bool IsLink(const std::string& path) {
        struct stat info {};
        return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
    }
};

TEST_F(DumpSweepUtilsTest, StageLocationDropsTheAgentLevelsOfTheJobResultsDirectory) {
    JXPlatformInfo settings;
    settings.setString("Machines/node1", "dJOBRESULTSDIR", "/opt/agent/Pelmanode/JobResults/");
    settings.setString("Machines/node2", "dJOBRESULTSDIR", "/var/jr");
    DumpSweepUtils utils;
    EXPECT_EQ("/opt/agent/Pelmanode/MS SQL Agent/7/csless", utils.GetStageLocation("node1", 7));
    EXPECT_EQ("/var/jr/Pelmanode/MS SQL Agent/5000000000/csless", utils.GetStageLocation("node2", 5000000000ULL));
    EXPECT_EQ("", utils.GetStageLocation("unknown", 7));
    EXPECT_EQ("", utils.GetStageLocation("", 7));
}

TEST_F(DumpSweepUtilsTest, MountLinksTheMountPathsAndUnmountRemovesOnlyTheLinks) {
    const uint64_t subclient = (1ULL << 32) + 5;  // beyond 32 bits
    const std::string first = AddMountPath(subclient, "mpA");
    const std::string second = AddMountPath(subclient, "mpB");
    const std::string location = root.path() + "/jr/dump/5";
    root.WriteFile("jr/dump/5/plain/keep.txt", "x");       // an ordinary folder is no mount point
    ASSERT_EQ(0, ::symlink(first.c_str(), (location + "-sibling").c_str()));  // beside, not inside

    DumpSweepUtils utils("client1");
    std::set<std::string> paths;
    CWzError error = utils.GetMountedRemoteStorages(subclient, location, paths);
    ASSERT_TRUE(error.IsSuccess()) << error.AsString();
    EXPECT_EQ((std::set<std::string>{location + "/1", location + "/2"}), paths);
    EXPECT_EQ("dump", root.ReadFile(location.substr(root.path().size() + 1) + "/2/db1_log_backup_1.bak"));

    error = utils.UnmountRemoteStorages(subclient, location);
    ASSERT_TRUE(error.IsSuccess()) << error.AsString();
    EXPECT_FALSE(IsLink(location + "/1"));
    EXPECT_FALSE(IsLink(location + "/2"));
    EXPECT_EQ("x", root.ReadFile("jr/dump/5/plain/keep.txt"));
    EXPECT_EQ("dump", jxtest::ReadWholeFile(first + "/db1_log_backup_1.bak"));
    EXPECT_EQ("dump", jxtest::ReadWholeFile(second + "/db1_log_backup_1.bak"));
}

// The service has 600 platform seconds to start, 0.6 real seconds on this
// clock: one that a busy machine starts later is still waited for.
TEST_F(DumpSweepUtilsTest, AServiceThatStartsLateIsWaitedFor) {
    wz::SetTimeScale(0.001);
    root.WriteFile("bin/late", std::string("#!/bin/sh\nsleep 1\nexec '") + JX_MOUNT_SERVICE_PROGRAM + "' \"$@\"\n");
    ASSERT_EQ(0, ::chmod(root.File("bin/late").c_str(), 0755));
    JxProcess::SetProgramPath(JXMA_MOUNTING_POINT_SERVICE, root.File("bin/late"));
    AddMountPath(12, "mp");
    DumpSweepUtils utils("client1");
    std::set<std::string> paths;
    const CWzError error = utils.GetMountedRemoteStorages(12, root.path() + "/jr/dump/12", paths);
    ASSERT_TRUE(error.IsSuccess()) << error.AsString();
    EXPECT_EQ(1u, paths.size());
}

TEST_F(DumpSweepUtilsTest, ServiceErrorsComeBackWithTheirCode) {
    DumpSweepUtils utils("client1");
    std::set<std::string> paths;
    // No mount paths at all: the service answers 4306.
    CWzError error = utils.GetMountedRemoteStorages(9, root.path() + "/jr/dump/9", paths);
    ASSERT_TRUE(error.IsError());
    EXPECT_EQ(kNoMountPointsCode, FXErrorUtil::GetWin32(error)) << error.AsString();

    // A scripted answer, also for an unmount; the service still ends.
    AddMountPath(10, "mp");
    root.WriteFile("media/mountsvc/10.error", "1450");
    error = utils.UnmountRemoteStorages(10, root.path() + "/jr/dump/10");
    ASSERT_TRUE(error.IsError());
    EXPECT_EQ(1450u, FXErrorUtil::GetWin32(error));

    // A mount needs a client name, a subclient and a mount point; a refresh does not.
    DumpSweepUtils nameless;
    EXPECT_EQ(WZ_E_INVALIDARG, nameless.MountMADiskLibrary("/x", 10, MOUNT_METHOD_MOUNT, false).GetOriginalCode());
    EXPECT_EQ(WZ_E_INVALIDARG, utils.MountMADiskLibrary("", 10, MOUNT_METHOD_MOUNT, false).GetOriginalCode());
    EXPECT_TRUE(nameless.MountMADiskLibrary("", 11, MOUNT_METHOD_MOUNT, true).IsError());  // no launch without a client
    EXPECT_TRUE(utils.MountMADiskLibrary("", 11, MOUNT_METHOD_MOUNT, true).IsSuccess());
    EXPECT_EQ(kNoMountPointsCode, FXErrorUtil::GetWin32(utils.UnmountRemoteStorages(10, "")));
}

TEST_F(DumpSweepUtilsTest, ValidMountPointsNeedAnActiveMountPath) {
    DumpSweepUtils utils;
    bool valid = true;
    EXPECT_TRUE(utils.HasValidMountPoints(valid, 3, 0, true, true).IsError());
    EXPECT_FALSE(valid);
    const std::string offline = AddMountPath(3, "mp1");
    root.WriteFile(offline.substr(root.path().size() + 1) + "/offline", "");
    EXPECT_FALSE(utils.HasValidMountPoints(3, 0, true, true));
    AddMountPath(3, "mp2");
    EXPECT_TRUE(utils.HasValidMountPoints(3, 0, true, true));
}

TEST_F(DumpSweepUtilsTest, ServiceLevelRecordsNeedTheCentralServersProcedure) {
    DumpSweepUtils utils;
    std::vector<SQLPmn::SqlUpdateBackupInfo> records;
    EXPECT_TRUE(utils.SendSLAInfoToCS(7, records));  // nothing to send
    records.emplace_back();
    records.back().setstring(SQLPmn::SqlUpdateBackupInfo::kDatabaseName, "Sales");
    EXPECT_FALSE(utils.SendSLAInfoToCS(7, records));  // no procedure answers it here
}

}  // namespace
