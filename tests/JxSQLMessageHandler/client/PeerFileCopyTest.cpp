// File size and file copies between clients.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "JXAppMgr/AppModel.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLMessageHandler/client/PeerHosts.h"
#include "tests/support/FaultyFileSystem.h"

namespace fs = std::filesystem;

namespace jxtest {
namespace {

// Bytes of every value, over more than one copy block.
std::string Payload(size_t size) {
    std::mt19937 random(7);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xff);
    return bytes;
}

using PeerFileCopyTest = PeerHostsTest;

TEST_F(PeerFileCopyTest, SizeOfAFileOnThePeer) {
    std::string file = MakeFile("peer/a.bin", std::string(1234, 'a'));
    CSQLClientDll client;
    EXPECT_EQ(client.GetRemoteFileSize(kPeerClient, file), 1234u);
    EXPECT_EQ(client.GetRemoteFileSize(kPeerClient, root.File("peer/missing")), 0u);
    EXPECT_EQ(client.GetRemoteFileSize(kPeerClient, "peer/a.bin"), 0u);  // relative: not read
}

TEST_F(PeerFileCopyTest, CopyArrivesWholeAndUnchanged) {
    std::string bytes = Payload(700 * 1024 + 3);
    std::string source = MakeFile("peer/db.mdf", bytes);
    std::string folder = root.File("own/restore");
    CSQLClientDll client;
    std::string error;
    ASSERT_TRUE(client.CopySingleRemoteFileRequest(kPeerClient, kOwnClient, source, folder, error)) << error;
    EXPECT_EQ(ReadWholeFile(folder + "/db.mdf"), bytes);
}

TEST_F(PeerFileCopyTest, DestinationIdZeroOrAPseudoClientMeansThisMachinesClient) {
    std::string source = MakeFile("peer/x.ndf", "content");
    CSQLClientDll client;
    std::string error;
    ASSERT_TRUE(client.CopySingleRemoteFileRequest(kPeerClient, 0, source, root.File("own/in"), error)) << error;
    EXPECT_EQ(ReadWholeFile(root.File("own/in") + "/x.ndf"), "content");

    // A client without an agent of its own stands for other machines; the
    // copy goes to this machine's client instead (its host is "host1").
    ASSERT_TRUE(AppModel::Set("client/5", "name", "cluster"));
    ASSERT_TRUE(AppModel::Set("client/5", "hostName", "unreachable"));
    ASSERT_TRUE(AppModel::Set("client/5", "installedClient", "0"));
    ASSERT_TRUE(client.CopySingleRemoteFileRequest(kPeerClient, 5, source, root.File("own/in2"), error)) << error;
    EXPECT_EQ(ReadWholeFile(root.File("own/in2") + "/x.ndf"), "content");
}

TEST_F(PeerFileCopyTest, FailedCopiesLeaveTheDestinationAsItWas) {
    MakeFile("own/keep.mdf", "old");
    std::string folder = root.File("own");
    CSQLClientDll client;
    std::string error;
    EXPECT_FALSE(client.CopySingleRemoteFileRequest(kPeerClient, kOwnClient, root.File("peer/keep.mdf"), folder,
                                                    error));
    EXPECT_EQ(error, "Failed to copy file to destination.");

    MakeFile("peer/keep.mdf", "new");
    EXPECT_FALSE(client.CopySingleRemoteFileRequest(kPeerClient, kOwnClient, root.File("peer/keep.mdf"),
                                                    folder + "/x/..", error));
    EXPECT_FALSE(client.CopySingleRemoteFileRequest(kPeerClient, kOwnClient, "keep.mdf", folder, error));
    EXPECT_FALSE(client.CopySingleRemoteFileRequest(kPeerClient, kOwnClient, root.File("peer") + "/../peer/keep.mdf",
                                                    folder, error));
    EXPECT_EQ(ReadWholeFile(folder + "/keep.mdf"), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);  // nothing left behind
}

TEST_F(PeerFileCopyTest, FilesOutsideTheReachableFoldersAreNeitherSizedNorCopied) {
    std::string secret = MakeFile("outside/secret.mdf", "secret");
    fs::create_symlink(secret, root.File("peer/link.mdf"));
    fs::create_directory_symlink(root.path() + "/outside", root.File("peer/dir"));
    std::string folder = root.File("own/in");
    CSQLClientDll client;
    FaultyFileSystem watched;
    wz::ScopedFileSystem use(watched);
    for (const std::string& source : {secret, root.path() + "/peer/link.mdf", root.path() + "/peer/dir/secret.mdf"}) {
        EXPECT_EQ(client.GetRemoteFileSize(kPeerClient, source), 0u) << source;
        std::string error;
        EXPECT_FALSE(client.CopySingleRemoteFileRequest(kPeerClient, kOwnClient, source, folder, error)) << source;
        EXPECT_EQ(error, "Failed to copy file to destination.");
    }
    std::vector<std::pair<std::string, std::string>> files{{secret, folder}};
    std::string error;
    EXPECT_FALSE(client.CopyMultipleRemoteFilesRequest(kPeerClient, files, error));
    EXPECT_EQ(watched.Calls(FsCall::kOpen), 0);
    EXPECT_EQ(watched.ChangingCalls(), 0);
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_EQ(ReadWholeFile(secret), "secret");
}

TEST_F(PeerFileCopyTest, DestinationOutsideTheModelFailsBeforeSending) {
    std::string source = MakeFile("peer/s.mdf", "new");
    CSQLClientDll client;
    std::string error;
    EXPECT_FALSE(client.CopySingleRemoteFileRequest(kPeerClient, 42, source, root.File("own/t"), error));
    EXPECT_FALSE(fs::exists(root.File("own/t") + "/s.mdf"));
}

TEST_F(PeerFileCopyTest, MultipleFilesCopyToThisMachine) {
    CSQLClientDll client;
    std::string error;
    std::vector<std::pair<std::string, std::string>> files;
    EXPECT_FALSE(client.CopyMultipleRemoteFilesRequest(kPeerClient, files, error));

    std::string folder = root.File("own/m");
    files.emplace_back(MakeFile("peer/1.mdf", "one"), folder);
    files.emplace_back(MakeFile("peer/2.ldf", Payload(300 * 1024)), folder);
    ASSERT_TRUE(client.CopyMultipleRemoteFilesRequest(kPeerClient, files, error)) << error;
    EXPECT_EQ(ReadWholeFile(folder + "/1.mdf"), "one");
    EXPECT_EQ(ReadWholeFile(folder + "/2.ldf"), Payload(300 * 1024));

    files.emplace_back(root.File("peer/none.ndf"), folder);
    EXPECT_FALSE(client.CopyMultipleRemoteFilesRequest(kPeerClient, files, error));
    EXPECT_EQ(error, "Failed to copy file to destination.");
}

}  // namespace
}  // namespace jxtest
