// Behaviour of restore markers: name, life time, refusals and stale markers.
#include "JxSQLCommon/state/RestoreMarkerFile.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/JxSQLCommon/state/ChildProcess.h"
#include "tests/JxSQLCommon/state/DumpFolderTest.h"
#include "tests/support/TestRoot.h"

namespace {

class RestoreMarkerFileTest : public statetest::DumpFolderTest {
protected:
    bool Exists(const std::string& path) const { return ::access(path.c_str(), F_OK) == 0; }
};

TEST_F(RestoreMarkerFileTest, MarkerLivesExactlyAsLongAsItsObject) {
    const std::string path = Folder("mp") + "/sales_4711.rmf";
    {
        RestoreMarkerFile marker;
        ASSERT_FALSE(marker.Create(Folder("mp"), "Sales", "4711").IsError());
        EXPECT_EQ(path, marker.GetPath());
        EXPECT_TRUE(Exists(path));
        EXPECT_EQ("", jxtest::ReadWholeFile(path));
        EXPECT_EQ("File handle already setup", marker.Create(Folder("mp"), "Sales", "4711").GetMessage());
    }
    EXPECT_FALSE(Exists(path));
}

TEST_F(RestoreMarkerFileTest, AMarkerThatCannotBeMadeSaysWhyAndLeavesNothing) {
    const std::string folder = Folder("mp");
    for (int error : {ENOSPC, EIO}) {
        jxtest::FaultyFileSystem faulty;
        wz::ScopedFileSystem use(faulty);
        faulty.FailCall(jxtest::FsCall::kOpen, 1, error);
        RestoreMarkerFile marker;
        CWzError e = marker.Create(folder, "Sales", "4711");
        ASSERT_TRUE(e.IsError());
        EXPECT_EQ(error, FXErrorUtil::GetErrNo(e)) << e.AsString();
        EXPECT_EQ(1, faulty.Fired(jxtest::FsCall::kOpen));
        EXPECT_NE(std::string::npos, e.GetMessage().find("Could not make marker")) << e.GetMessage();
        EXPECT_TRUE(marker.GetPath().empty());
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST_F(RestoreMarkerFileTest, NamesDifferingOnlyInCaseShareAMarker) {
    RestoreMarkerFile upper;
    RestoreMarkerFile lower;
    ASSERT_FALSE(upper.Create(Folder("mp"), "SALES", "1").IsError());
    ASSERT_FALSE(lower.Create(Folder("mp"), "sales", "1").IsError());
    EXPECT_EQ(upper.GetPath(), lower.GetPath());
}

TEST_F(RestoreMarkerFileTest, RefusesBadArgumentsAndMissingFolder) {
    RestoreMarkerFile marker;
    EXPECT_EQ("path is empty", marker.Create("", "db", "1").GetMessage());
    EXPECT_EQ("dbName is empty", marker.Create(Folder("mp"), "", "1").GetMessage());
    EXPECT_EQ("jobID is empty", marker.Create(Folder("mp"), "db", "").GetMessage());
    CWzError e = marker.Create(Folder("mp") + "/missing", "db", "1");
    EXPECT_EQ(2u, FXErrorUtil::GetWin32(e));
    EXPECT_FALSE(Exists(Folder("mp") + "/missing"));
    // A database name must not lead the marker out of the folder.
    EXPECT_TRUE(marker.Create(Folder("mp"), "../escape", "1").IsError());
    EXPECT_FALSE(Exists(root.path() + "/escape_1.rmf"));
}

TEST_F(RestoreMarkerFileTest, MarkerLeftByADeadProcessIsStale) {
    const std::string folder = Folder("mp");
    const std::string path = folder + "/db_9.rmf";
    pid_t child = statetest::StartChild([&] {
        auto* leaked = new RestoreMarkerFile;  // never destroyed: the process "crashes"
        return leaked->Create(folder, "db", "9").IsError() ? 1 : 0;
    });
    ASSERT_EQ(0, statetest::WaitChild(child));
    ASSERT_TRUE(Exists(path));
    bool stale = false;
    ASSERT_FALSE(RestoreMarkerFile::IsStale(path, stale).IsError());
    EXPECT_TRUE(stale);

    RestoreMarkerFile live;
    ASSERT_FALSE(live.Create(folder, "db", "9").IsError());  // a new run takes the name over
    ASSERT_FALSE(RestoreMarkerFile::IsStale(path, stale).IsError());
    EXPECT_FALSE(stale);
    EXPECT_TRUE(RestoreMarkerFile::IsStale(folder + "/none.rmf", stale).IsError());
}

}  // namespace
