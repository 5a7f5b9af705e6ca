// The snapshot copy-restore handler's file call-backs against a peer agent:
// files of client 2 copied here one at a time or in batches, a stop request
// in the middle of a batch run, and the requests that only ask the peer.
#include <filesystem>
#include <string>
#include <vector>

#include "JxJobClient/JXJobCtrlClient.h"
#include "JxJobClient/JobManagerFiles.h"
#include "JxLib/EvDebug.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLMessageHandler/client/ProcessRemoteOpsMessage.h"
#include "JxSession/jxsTargets.h"
#include "tests/JxSQLCommon/restore/TestRestoreJob.h"
#include "tests/JxSQLMessageHandler/client/PeerHosts.h"
#include "tests/JxSQLMessageHandler/client/RemoteCopyNodes.h"
#include "tools/host/HostBindings.h"

namespace fs = std::filesystem;

namespace jxtest {
namespace {

constexpr uint64_t kJob = 55;

class SnapCopyCallbacks : public PeerHostsTest {
protected:
    void SetUp() override {
        PeerHostsTest::SetUp();
        EvDebug::SetDebugLevel(3);  // the batch lines are read back
        job.m_restoreOptions.destinationClientId = kOwnClient;
        job.m_pJobCtrlClnt = &control;
    }
    void TearDown() override {
        EvDebug::SetDebugLevel(-1);
        job.m_pJobCtrlClnt = nullptr;
        PeerHostsTest::TearDown();
    }

    // A file of the peer, and its record: indexed under `indexedFolder`
    // with target directory `target` ("/" for the indexed folder).
    SnapCopyIndexFileInfo PeerFile(const std::string& name, const std::string& indexedFolder,
                                   const std::string& target = "/") {
        SnapCopyIndexFileInfo file;
        file.nodePath = MakeFile("peer/" + name, "content of " + name);
        file.indexedPath = indexedFolder + "/" + name;
        file.targetDirectory = target;
        return file;
    }
    // The log lines of this process that contain `text`, in order.
    std::vector<std::string> LogLines(const std::string& text) {
        std::vector<std::string> lines;
        const std::string log = ReadWholeFile(EvDebug::LogFilePath());
        size_t start = 0;
        while (start < log.size()) {
            size_t end = log.find('\n', start);
            if (end == std::string::npos) end = log.size();
            std::string line = log.substr(start, end - start);
            const size_t at = line.find(text);
            if (at != std::string::npos) lines.push_back(line.substr(at));
            start = end + 1;
        }
        return lines;
    }

    TestRestoreJob job;
    JXJobCtrlClient control{kJob};
    std::string error;
};

TEST_F(SnapCopyCallbacks, SingleFileGoesToItsTargetOrTheIndexedFolder) {
    // "bDisableAsyncCopySnapRestore" is not set: the single-file request.
    // The handler reaches the job through its call-back interface.
    SnapRestoreHandlerCallback& callbacks = job;
    SnapCopyIndexFileInfo file = PeerFile("a.mdf", root.path() + "/own/indexed");
    ASSERT_TRUE(callbacks.OnRestoreFile(kPeerClient, &file, error)) << error;
    EXPECT_EQ(root.ReadFile("own/indexed/a.mdf"), "content of a.mdf");
    EXPECT_EQ(LogLines("Send copy file [").size(), 1u);

    file = PeerFile("b.ndf", root.path() + "/own/indexed", root.path() + "/own/elsewhere");
    ASSERT_TRUE(job.OnRestoreFile(kPeerClient, &file, error)) << error;
    EXPECT_EQ(root.ReadFile("own/elsewhere/b.ndf"), "content of b.ndf");

    EXPECT_FALSE(job.OnRestoreFile(kPeerClient, nullptr, error));
    SnapCopyIndexFileInfo missing = PeerFile("c.ndf", root.path() + "/own/indexed");
    fs::remove(missing.nodePath);
    EXPECT_FALSE(job.OnRestoreFile(kPeerClient, &missing, error));
    EXPECT_FALSE(fs::exists(root.path() + "/own/indexed/c.ndf"));
}

TEST_F(SnapCopyCallbacks, AsynchronousCopyPullsTheFileFromTheNode) {
    ASSERT_TRUE(SetHostBinding(kRemoteOpsLibraryName, kRemoteOpsEntryName,
                               {SystemLibraryPath(), "ProcessRemoteOpsMessage"}));
    ASSERT_TRUE(jxsRegisterTarget("client1", ownHost.Port()));  // the node pushes back to this machine
    JXPlatformInfo().setNumber("MSSQLAgent", "bDisableAsyncCopySnapRestore", 0);
    SnapCopyIndexFileInfo file = PeerFile("pulled.mdf", root.path() + "/own/pull");
    ASSERT_TRUE(job.OnRestoreFile(kPeerClient, &file, error));
    EXPECT_EQ(root.ReadFile("own/pull/pulled.mdf"), "content of pulled.mdf");
    EXPECT_EQ(LogLines("Send copy file [").size(), 0u);
    EXPECT_EQ(LogLines("Pulling [pulled.mdf]").size(), 1u);

    SnapCopyIndexFileInfo missing = PeerFile("gone.mdf", root.path() + "/own/pull");
    fs::remove(missing.nodePath);
    EXPECT_FALSE(job.OnRestoreFile(kPeerClient, &missing, error));

    // A node path without a folder is refused before anything is pulled.
    SnapCopyIndexFileInfo bare = PeerFile("bare.mdf", root.path() + "/own/pull");
    bare.nodePath = "bare.mdf";
    error.clear();
    EXPECT_FALSE(job.OnRestoreFile(kPeerClient, &bare, error));
    EXPECT_NE(error.find("[bare.mdf]"), std::string::npos) << error;
    EXPECT_EQ(LogLines("Pulling [bare.mdf]").size(), 0u);
    EXPECT_FALSE(fs::exists(root.path() + "/own/pull/bare.mdf"));
}

TEST_F(SnapCopyCallbacks, SevenFilesInBatchesOfThree) {
    JXPlatformInfo().setNumber("MSSQLAgent", "nSizeOfSQLFilestreamCopy", 3);
    std::vector<SnapCopyIndexFileInfo> files;
    for (int i = 1; i <= 7; ++i) files.push_back(PeerFile("f" + std::to_string(i) + ".ndf", root.path() + "/own/fs"));
    ASSERT_TRUE(job.OnRestoreMultiFiles(kPeerClient, &files, error)) << error;
    for (int i = 1; i <= 7; ++i) {
        const std::string name = "f" + std::to_string(i) + ".ndf";
        EXPECT_EQ(root.ReadFile("own/fs/" + name), "content of " + name);
    }
    EXPECT_EQ(LogLines("Request multiple files ["),
              (std::vector<std::string>{"Request multiple files [3] copy.", "Request multiple files [3] copy.",
                                        "Request multiple files [1] copy."}));
    EXPECT_EQ(LogLines("Send copy multiple file request").size(), 3u);
}

TEST_F(SnapCopyCallbacks, WithoutABatchSizeEveryFileGoesInOneRequest) {
    std::vector<SnapCopyIndexFileInfo> files;
    for (int i = 1; i <= 4; ++i) files.push_back(PeerFile("g" + std::to_string(i) + ".ndf", root.path() + "/own/g"));
    files[2].targetDirectory = root.path() + "/own/other";
    ASSERT_TRUE(job.OnRestoreMultiFiles(kPeerClient, &files, error)) << error;
    EXPECT_EQ(root.ReadFile("own/other/g3.ndf"), "content of g3.ndf");
    EXPECT_EQ(root.ReadFile("own/g/g4.ndf"), "content of g4.ndf");
    EXPECT_EQ(LogLines("Request multiple files ["), (std::vector<std::string>{"Request multiple files [4] copy."}));

    std::vector<SnapCopyIndexFileInfo> none;
    EXPECT_FALSE(job.OnRestoreMultiFiles(kPeerClient, &none, error));
    EXPECT_FALSE(job.OnRestoreMultiFiles(kPeerClient, nullptr, error));
}

TEST_F(SnapCopyCallbacks, StopRequestInTheMiddleSendsNothingMore) {
    JXPlatformInfo().setNumber("MSSQLAgent", "nSizeOfSQLFilestreamCopy", 3);
    const std::string stop = jobmanager::StopFilePath(kJob);
    std::vector<SnapCopyIndexFileInfo> files;
    for (int i = 1; i <= 7; ++i) files.push_back(PeerFile("s" + std::to_string(i) + ".ndf", root.path() + "/own/s"));
    // The second file of the first batch is the job manager's stop request:
    // it arrives with that batch, before the fourth file is looked at.
    files[1] = PeerFile("stop", fs::path(stop).parent_path().string());
    EXPECT_FALSE(job.OnRestoreMultiFiles(kPeerClient, &files, error));
    EXPECT_TRUE(fs::exists(stop));
    EXPECT_TRUE(fs::exists(root.path() + "/own/s/s3.ndf"));
    for (int i = 4; i <= 7; ++i) EXPECT_FALSE(fs::exists(root.path() + "/own/s/s" + std::to_string(i) + ".ndf")) << i;
    EXPECT_EQ(LogLines("Send copy multiple file request").size(), 1u);
}

TEST_F(SnapCopyCallbacks, DirectorySizeAndFileStreamListsComeFromThePeer) {
    EXPECT_TRUE(job.OnCreateJRTempDirectory(kPeerClient, root.path() + "/jobs/tmp/one", error)) << error;
    EXPECT_TRUE(fs::is_directory(root.path() + "/jobs/tmp/one"));

    const SnapCopyIndexFileInfo file = PeerFile("fs/x/y.bin", root.path() + "/own");
    EXPECT_EQ(job.OnGetPhysicalFileSize(kPeerClient, file.nodePath), std::string("content of fs/x/y.bin").size());
    EXPECT_EQ(job.OnGetPhysicalFileSize(kPeerClient, root.path() + "/peer/none"), 0u);

    std::vector<std::string> found;
    int code = 0;
    EXPECT_TRUE(job.OnGetFileStreamFiles(kPeerClient, root.path() + "/peer/fs", "*.bin", found, code));
    EXPECT_EQ(found, (std::vector<std::string>{file.nodePath}));
    SQLPmn::SqlGetFileStreamInfoRsp reply;
    EXPECT_TRUE(job.OnGetFileStreamFiles_V2(kPeerClient, root.path() + "/peer/fs", "*.bin", reply));
}

}  // namespace
}  // namespace jxtest
