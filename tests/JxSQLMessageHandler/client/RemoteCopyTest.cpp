// Remote copy of job results between two nodes through the real host:
// the requester's CSQLRemoteOps against ProcessRemoteOpsMessage.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "JxJobClient/JXJobCtrlClient.h"
#include "JxSQLMessageHandler/client/CSQLRemoteOps.h"
#include "JxSQLMessageHandler/client/RemoteCopyAck.h"
#include "tests/JxSQLMessageHandler/client/RemoteCopyNodes.h"
#include "tools/requester/JxsRequester.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/support/FaultyFileSystem.h"

namespace jxtest {
namespace {

using Files = std::vector<SQLPmn::RemoteCopyFileInfo>;

CWzError Pull(std::string node, Files files, CSQLRemoteOps ops = CSQLRemoteOps()) {
    return ops.PullContentFromRemoteNode(node, files, eRemoteOpsPushFiles, 0);
}

TEST_F(RemoteCopyTest, CopiesEveryListedFileByteForByte) {
    const std::string big = BinaryContent(300 * 1024 + 17, 1);  // several copy blocks
    const std::string small = BinaryContent(100, 2);
    WriteSource("big.dat", big);
    WriteSource("small.dat", small);
    WriteSource("empty.dat", "");
    root.WriteFile("node2/JobResults/restore/small.dat", "an older copy");

    CWzError e = Pull(node, {CopyEntry(source, destination, "big.dat"), CopyEntry(source, destination, "small.dat"),
                             CopyEntry(source, destination, "empty.dat")});
    ASSERT_TRUE(e.IsSuccess()) << e.AsString();
    EXPECT_EQ(big, ReadWholeFile(destination + "/big.dat"));
    EXPECT_EQ(small, ReadWholeFile(destination + "/small.dat"));
    EXPECT_TRUE(Exists(destination + "/empty.dat"));
    EXPECT_EQ(3u, Listing(destination).size());  // no temporary files left
    EXPECT_EQ(big, ReadWholeFile(source + "big.dat"));  // the source stays
}

TEST_F(RemoteCopyTest, DeletesOnlyTheSourcesMarkedForDeletion) {
    WriteSource("keep.dat", "keep");
    WriteSource("move.dat", "move");
    CWzError e = Pull(node, {CopyEntry(source, destination, "keep.dat", 0), CopyEntry(source, destination, "move.dat", 1)});
    ASSERT_TRUE(e.IsSuccess()) << e.AsString();
    EXPECT_EQ("move", ReadWholeFile(destination + "/move.dat"));
    EXPECT_FALSE(Exists(source + "move.dat"));
    EXPECT_TRUE(Exists(source + "keep.dat"));
}

TEST_F(RemoteCopyTest, ASourceThatCannotBeRemovedAfterItsCopyStaysAndTheCopyStands) {
    WriteSource("move.dat", "move");
    FaultyFileSystem faulty;
    wz::ScopedFileSystem use(faulty);
    faulty.FailCall(FsCall::kUnlink, 1, EIO, true);
    CWzError e = Pull(node, {CopyEntry(source, destination, "move.dat", 1)});
    ASSERT_TRUE(e.IsSuccess()) << e.AsString();
    EXPECT_EQ("move", ReadWholeFile(destination + "/move.dat"));
    EXPECT_TRUE(Exists(source + "move.dat"));
    EXPECT_EQ(1, faulty.Calls(FsCall::kUnlink));
    EXPECT_EQ(1, faulty.Fired(FsCall::kUnlink));
}

TEST_F(RemoteCopyTest, SourceFolderWithoutTrailingSeparatorStillNamesTheFile) {
    WriteSource("a.dat", "abc");
    CWzError e = Pull(node, {CopyEntry(root.path() + "/node1/JobResults", destination, "a.dat")});
    ASSERT_TRUE(e.IsSuccess()) << e.AsString();
    EXPECT_EQ("abc", ReadWholeFile(destination + "/a.dat"));
}

TEST_F(RemoteCopyTest, MissingSourceFailsAndLeavesNoPartialFile) {
    WriteSource("there.dat", "x");
    CWzError e = Pull(node, {CopyEntry(source, destination, "there.dat"), CopyEntry(source, destination, "gone.dat")});
    ASSERT_TRUE(e.IsError());
    EXPECT_EQ(kRemoteCopyErrorCode, FXErrorUtil::GetJXResult(e));
    EXPECT_NE(std::string::npos, e.GetMessage().find("Unable local JR to remote machine [node2]")) << e.GetMessage();
    EXPECT_FALSE(Exists(destination + "/gone.dat"));
    for (const std::string& name : Listing(destination)) EXPECT_EQ("there.dat", name);
}

TEST_F(RemoteCopyTest, UnwritableDestinationFails) {
    WriteSource("a.dat", "abc");
    root.WriteFile("node2/blocker", "a file where a folder should be");
    CWzError e = Pull(node, {CopyEntry(source, root.path() + "/node2/blocker/restore", "a.dat")});
    ASSERT_TRUE(e.IsError());
    EXPECT_NE(std::string::npos, e.GetMessage().find("Unable local JR")) << e.GetMessage();
    EXPECT_EQ("a file where a folder should be", root.ReadFile("node2/blocker"));
}

TEST_F(RemoteCopyTest, RefusesPathsThatLeaveTheirFolders) {
    WriteSource("a.dat", "abc");
    root.WriteFile("node1/secret.dat", "secret");
    const std::string escaped = root.path() + "/node2/secret.dat";
    const std::vector<SQLPmn::RemoteCopyFileInfo> bad = {
        CopyEntry(source, destination, "../secret.dat"),
        CopyEntry(source, destination, "sub/a.dat"),
        CopyEntry(source, destination, escaped),
        CopyEntry(source, destination, ".."),
        CopyEntry(source, destination, std::string("a.dat\0x", 7)),
        CopyEntry(source + "../", destination, "secret.dat"),
        CopyEntry("node1/JobResults/", destination, "a.dat"),
        CopyEntry(source, destination + "/../..", "a.dat"),
        CopyEntry(source, "restore", "a.dat"),
        CopyEntry(source, destination, std::string(1024, 'n')),
        CopyEntry(source, destination, ""),
    };
    for (const SQLPmn::RemoteCopyFileInfo& file : bad) {
        // A bad entry after a good one: nothing at all is copied.
        CWzError e = Pull(node, {CopyEntry(source, destination, "a.dat"), file});
        ASSERT_TRUE(e.IsError()) << file.getstring(SQLPmn::RemoteCopyFileInfo::kFileName);
        EXPECT_NE(std::string::npos, e.GetMessage().find("in the remote copy request")) << e.GetMessage();
    }
    EXPECT_TRUE(Listing(destination).empty());
    EXPECT_FALSE(Exists(escaped));
    EXPECT_FALSE(Exists(root.path() + "/a.dat"));
}

TEST_F(RemoteCopyTest, SourcesOutsideTheReachableFoldersAreRefusedAndKept) {
    WriteSource("a.dat", "abc");
    root.WriteFile("node1/private/secret.dat", "secret");
    std::filesystem::create_directory_symlink(root.path() + "/node1/private", source + "away");
    for (const std::string& folder : {root.path() + "/node1/private/", source + "away/"}) {
        CWzError e = Pull(node, {CopyEntry(source, destination, "a.dat"), CopyEntry(folder, destination, "secret.dat", 1)});
        ASSERT_TRUE(e.IsError()) << folder;
        EXPECT_NE(std::string::npos, e.GetMessage().find("outside the folders peers may reach")) << e.GetMessage();
    }
    EXPECT_EQ("secret", root.ReadFile("node1/private/secret.dat"));
    EXPECT_TRUE(Listing(destination).empty());
}

TEST_F(RemoteCopyTest, SourcesOutsideTheJobResultsMayBeCopiedButNeverRemoved) {
    root.WriteFile("node1/data/db.mdf", "pages");
    CWzError e = Pull(node, {CopyEntry(data, destination, "db.mdf", 1)});
    ASSERT_TRUE(e.IsError());
    EXPECT_NE(std::string::npos, e.GetMessage().find("does not lie under the job-results directory")) << e.GetMessage();
    EXPECT_EQ("pages", root.ReadFile("node1/data/db.mdf"));
    EXPECT_TRUE(Listing(destination).empty());

    e = Pull(node, {CopyEntry(data, destination, "db.mdf", 0)});
    ASSERT_TRUE(e.IsSuccess()) << e.AsString();
    EXPECT_EQ("pages", ReadWholeFile(destination + "/db.mdf"));
    EXPECT_EQ("pages", root.ReadFile("node1/data/db.mdf"));
}

TEST_F(RemoteCopyTest, EmptyFileListIsReportedAsFailure) {
    CWzError e = Pull(node, {});
    ASSERT_TRUE(e.IsError());
    EXPECT_NE(std::string::npos, e.GetMessage().find("[Remote copy failed with error [Remote copy file info is not provided]]"))
        << e.GetMessage();
}

TEST_F(RemoteCopyTest, OtherContentTypesCopyNothingAndSucceed) {
    WriteSource("a.dat", "abc");
    Files files = {CopyEntry(source, destination, "a.dat")};
    CSQLRemoteOps ops;
    CWzError e = ops.PullContentFromRemoteNode(node, files, static_cast<eRemoteOpsContentType>(7), 0);
    EXPECT_TRUE(e.IsSuccess()) << e.AsString();
    EXPECT_FALSE(Exists(destination + "/a.dat"));
}

TEST_F(RemoteCopyTest, RequesterThatCannotBeReachedFails) {
    WriteSource("a.dat", "abc");
    JXPlatformInfo().setString("", "sPhysicalNodeName", "node9");  // no such target
    CWzError e = Pull(node, {CopyEntry(source, destination, "a.dat")});
    ASSERT_TRUE(e.IsError());
    EXPECT_NE(std::string::npos, e.GetMessage().find("Unable to connect to remote machine [node9] to push JR"))
        << e.GetMessage();
}

TEST_F(RemoteCopyTest, UnknownServingNodeFailsTheAttach) {
    CWzError e = Pull("node7", {CopyEntry(source, destination, "a.dat")});
    ASSERT_TRUE(e.IsError());
    EXPECT_NE(std::string::npos, e.AsString().find("Could not contact server. Attach failed with error:")) << e.AsString();
}

TEST_F(RemoteCopyTest, CopyOutlastingTheReceiveTimeOutCompletesThroughProgressReports) {
    const std::string first = BinaryContent(70 * 1024, 3), rest = BinaryContent(5000, 4);
    PacedFifo fifo(source + "slow.dat", first, rest, 130 * 1000);  // longer than the 120 s receive
    ASSERT_TRUE(fifo.made());
    CWzError e = Pull(node, {CopyEntry(source, destination, "slow.dat")});
    ASSERT_TRUE(e.IsSuccess()) << e.AsString();
    EXPECT_EQ(first + rest, ReadWholeFile(destination + "/slow.dat"));
}

TEST_F(RemoteCopyTest, StopRequestSuspendsTheCopyMidway) {
    WriteSource("done.dat", "copied before");
    root.WriteFile("node2/JobResults/restore/slow.dat", "the previous copy");
    PacedFifo fifo(source + "slow.dat", BinaryContent(10000, 5), "never sent", 100000 * 1000);
    ASSERT_TRUE(fifo.made());
    const uint64_t jobId = 5000000123ull;
    JXJobCtrlClient jobCtrl(jobId);
    ASSERT_TRUE(JXJobCtrlClient::requestStop(jobId));

    CWzError e = Pull(node, {CopyEntry(source, destination, "done.dat"), CopyEntry(source, destination, "slow.dat")},
                      CSQLRemoteOps(&jobCtrl, nullptr));
    EXPECT_TRUE(fifo.opened());
    ASSERT_TRUE(e.IsError());
    EXPECT_NE(std::string::npos, e.GetMessage().find("failed with error [Remote copy got suspended]")) << e.GetMessage();
    fifo.Release();
    host.Stop();  // returns once the serving side has joined its worker
    EXPECT_EQ("the previous copy", ReadWholeFile(destination + "/slow.dat"));
    EXPECT_EQ(2u, Listing(destination).size());  // no temporary file left behind
}

TEST_F(RemoteCopyTest, OtherMessagesAreDroppedWithoutAnswer) {
    JxsRequester requester;
    ASSERT_TRUE(requester.Attach("node1", kRemoteOpsLibraryName, kRemoteOpsEntryName).IsSuccess());
    SQLPmn::RemoteCopyFileAck ack;
    ack.setint64(SQLPmn::RemoteCopyFileAck::kStatus, REMOTE_COPY_SUSPEND);
    bool timedOut = false;
    ASSERT_TRUE(requester.session().SendXMLMessage(ack, 0, 10, timedOut).IsSuccess());
    CNMessageBase* reply = nullptr;
    CWzError e = requester.session().ReceiveXMLMessage(nullptr, reply, nullptr, 0, 100, timedOut);
    EXPECT_TRUE(e.IsError());
    EXPECT_FALSE(timedOut);  // the session ended rather than waiting
    EXPECT_EQ(nullptr, reply);
}

}  // namespace
}  // namespace jxtest
