// Mount folders, mount paths and dump searches of the dump-restore job,
// without a mounting service: mounts are made here as links.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <set>
#include <string>

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/dump/CSQLDumpRestore.h"
#include "WzUtils/FXErrorUtil.h"
#include "tests/support/TestRoot.h"

namespace {

class DumpMounts : public jxtest::RootedTest {
protected:
    // A disk-library folder holding one dump of Sales.
    std::string Library(const std::string& name) {
        root.WriteFile("library/" + name + "/sales_log_backup_1.bak", "dump");
        return root.path() + "/library/" + name;
    }
    void Link(const std::string& target, const std::string& link) {
        ASSERT_EQ(0, ::symlink(target.c_str(), link.c_str())) << link;
    }
    static bool Exists(const std::string& path) {
        struct stat info {};
        return ::lstat(path.c_str(), &info) == 0;
    }
    CSQLDumpRestore job;
};

TEST_F(DumpMounts, AFolderWithALinkNamedOneIsMountedAndItsMountsAreListed) {
    const std::string folder = root.path() + "/dump/7";
    EXPECT_FALSE(job.Mounted(folder));
    root.WriteFile("dump/7/1/plain.txt", "x");  // a plain folder "1" is no mount
    EXPECT_FALSE(job.Mounted(folder));
    std::set<std::string> paths;
    EXPECT_TRUE(job.GetExistingMountPaths(folder, paths).IsError());  // no mps

    ASSERT_TRUE(job.PrepareMountPath(folder).IsSuccess());
    Link(Library("a"), folder + "/1");
    Link(Library("b"), folder + "/2");
    EXPECT_TRUE(job.Mounted(folder));
    ASSERT_TRUE(job.GetExistingMountPaths(folder, paths).IsSuccess());
    EXPECT_EQ((std::set<std::string>{folder + "/1", folder + "/2"}), paths);
}

TEST_F(DumpMounts, PreparingAMountFolderNeverDeletesThroughAMount) {
    const std::string folder = root.path() + "/dump/7";
    const std::string library = Library("a");
    root.WriteFile("dump/7/old/stale.txt", "x");
    Link(library, folder + "/old/inner");     // a mount below an ordinary folder
    Link(library, folder + "/1");             // a mount straight in the folder
    root.WriteFile("dump/7/file.txt", "kept");

    ASSERT_TRUE(job.PrepareMountPath(folder).IsSuccess());
    EXPECT_FALSE(Exists(folder + "/old"));
    EXPECT_EQ("dump", root.ReadFile("library/a/sales_log_backup_1.bak"));
    EXPECT_EQ("kept", root.ReadFile("dump/7/file.txt"));  // only folders are cleared
    EXPECT_TRUE(job.PrepareMountPath(root.path() + "/new/deep/7").IsSuccess());
    EXPECT_TRUE(Exists(root.path() + "/new/deep/7"));
    EXPECT_TRUE(job.PrepareMountPath("").IsError());
}

TEST_F(DumpMounts, DumpSearchMatchesTheLowerCaseNameLiterally) {
    const std::string path = Library("a");
    root.WriteFile("library/a/s[a]les_log_backup_1.txt", "");
    bool found = false;
    ASSERT_TRUE(job.IsDatabaseOnPath("SALES", path, found).IsSuccess());
    EXPECT_TRUE(found);
    // Wildcard characters are part of the name, not of the pattern.
    ASSERT_TRUE(job.IsDatabaseOnPath("S?les", path, found).IsSuccess());
    EXPECT_FALSE(found);
    ASSERT_TRUE(job.IsDatabaseOnPath("*", path, found).IsSuccess());
    EXPECT_FALSE(found);
    EXPECT_TRUE(job.IsDatabaseOnPath("../sales", path, found).IsError());
    EXPECT_FALSE(found);
    ASSERT_TRUE(job.IsDatabaseOnPath("Other", path, found).IsSuccess());
    EXPECT_FALSE(found);
}

TEST_F(DumpMounts, MountPathsGoToTheDatabasesOfTheAppIdOrWithDumpsThere) {
    DumpRestoreSettings settings;
    settings.databases["Known"].appIDs = {5};
    settings.databases["Sales"];
    settings.databases["Other"];
    const std::set<std::string> paths = {Library("a")};
    ASSERT_TRUE(job.AddMountPointsToDatabase(settings, 5, paths).IsSuccess());
    EXPECT_EQ(paths, settings.databases["Known"].mountPaths);
    EXPECT_EQ(paths, settings.databases["Sales"].mountPaths);
    EXPECT_TRUE(settings.databases["Other"].mountPaths.empty());
    EXPECT_TRUE(job.AddMountPointsToDatabase(settings, 0, paths).IsError());
    EXPECT_TRUE(job.AddMountPointsToDatabase(settings, 5, {}).IsError());
}

TEST_F(DumpMounts, MarkersLieBesideTheDumpsAndGoWithTheSettings) {
    DumpRestoreSettings settings;
    settings.jobID = "42";
    settings.databases["Sales"].mountPaths = {Library("a"), root.path() + "/library"};
    ASSERT_TRUE(job.CreateMarkerFiles(settings).IsSuccess());
    EXPECT_EQ(1u, settings.databases["Sales"].markerFiles.size());
    EXPECT_TRUE(Exists(root.path() + "/library/a/sales_42.rmf"));
    settings.databases["Sales"].markerFiles.clear();
    EXPECT_FALSE(Exists(root.path() + "/library/a/sales_42.rmf"));
    // Nothing mounted: nothing to unmount, and no error.
    EXPECT_TRUE(job.UnMountAll(settings).IsSuccess());
}

// A job whose mounting service answers each id as scripted (no answer: one
// mount, "1", is made).
struct ScriptedMounts : CSQLDumpRestore {
    CWzError GetLocalMangledName(std::string& name) override {
        name = "node";
        return CWzError::Success();
    }
    CWzError MountRemoteStorages(uint64_t appID, const std::string&, const std::string& folder,
                                 std::set<std::string>& paths) override {
        const auto answer = answers.find(appID);
        if (answer != answers.end()) return answer->second().Push(FXCODELOC, "GetMountedRemoteStorages failed");
        paths = {folder + "/1"};
        return CWzError::Success();
    }
    std::map<uint64_t, std::function<CWzError()>> answers;
};

TEST_F(DumpMounts, AnIdThatCannotBeMountedIsSkippedHoweverItsCodeIsCarried) {
    const std::map<std::string, std::function<CWzError()>> notMountable{
        {"Win32 4306", [] { return FXErrorUtil::ErrorWin32(FXCODELOC, 4306, "Mounting service answered 4306"); }},
        {"result 0x800710D2",
         [] { return FXErrorUtil::ErrorHResult(FXCODELOC, static_cast<int32_t>(0x800710D2u), "cannot mount"); }},
    };
    const std::map<std::string, std::function<CWzError()>> otherFailures{
        {"Win32 5", [] { return FXErrorUtil::ErrorWin32(FXCODELOC, 5, "Mounting service answered 5"); }},
        {"result 0x80070005",
         [] { return FXErrorUtil::ErrorHResult(FXCODELOC, static_cast<int32_t>(0x80070005u), "denied"); }},
        {"errno 4306", [] { return FXErrorUtil::ErrorErrNo(FXCODELOC, 4306, "not a Win32 code"); }},
    };
    auto settingsOf = [this] {
        DumpRestoreSettings settings;
        settings.mountRoot = root.path() + "/dump";
        settings.AppIDs = {5, 9};
        settings.databases["Sales"].appIDs = {5, 9};
        return settings;
    };
    for (const auto& [name, answer] : notMountable) {
        ScriptedMounts mounts;
        mounts.answers[5] = answer;
        DumpRestoreSettings settings = settingsOf();
        const size_t logged = jxtest::ReadWholeFile(EvDebug::LogFilePath()).size();
        CWzError error = mounts.MountAll(settings);
        ASSERT_TRUE(error.IsSuccess()) << name << ": " << error.AsString();
        EXPECT_EQ(std::set<uint64_t>{9}, settings.AppIDs) << name;
        EXPECT_EQ(std::set<std::string>{settings.mountRoot + "/9/1"}, settings.databases["Sales"].mountPaths) << name;
        EXPECT_NE(std::string::npos,
                  jxtest::ReadWholeFile(EvDebug::LogFilePath()).find("Skipping app id 5. Error[", logged))
            << name;
        // With no id left the job has nothing to restore from.
        mounts.answers[9] = answer;
        settings = settingsOf();
        error = mounts.MountAll(settings);
        EXPECT_NE(std::string::npos, error.GetMessage().find("No app ids mounted")) << name << ": " << error.AsString();
    }
    for (const auto& [name, answer] : otherFailures) {
        ScriptedMounts mounts;
        mounts.answers[5] = answer;
        DumpRestoreSettings settings = settingsOf();
        EXPECT_TRUE(mounts.MountAll(settings).IsError()) << name;
        EXPECT_TRUE(settings.databases["Sales"].mountPaths.empty()) << name << ": the next id is not mounted";
    }
}

}  // namespace
