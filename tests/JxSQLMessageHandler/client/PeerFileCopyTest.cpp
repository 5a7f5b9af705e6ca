// File size and file copies between clients.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "JXAppMgr/AppModel.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "tests/JxSQLMessageHandler/client/PeerHosts.h"

namespace fs = std::filesystem;

namespace jxtest {
namespace {

// Bytes of every value, over more than one transfer chunk.
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
    std::string destination = root.File("own/restore") + "/db.mdf";
    CSQLClientDll client;
    std::string error;
    ASSERT_TRUE(client.CopySingleRemoteFileRequest(kPeerClient, kOwnClient, source, destination, error)) << error;
    EXPECT_EQ(ReadWholeFile(destination), bytes);
    // Nothing but the file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(destination).parent_path()), fs::directory_iterator()),
              1);
}

TEST_F(PeerFileCopyTest, DestinationIdZeroMeansThisMachinesClient) {
    std::string source = MakeFile("peer/x.ndf", "content");
    std::string folder = root.File("own/in");
    fs::create_directories(folder);
    CSQLClientDll client;
    std::string error;
    ASSERT_TRUE(client.CopySingleRemoteFileRequest(kPeerClient, 0, source, folder, error)) << error;
    EXPECT_EQ(ReadWholeFile(folder + "/x.ndf"), "content");  // an existing folder gets the file's name
}

TEST_F(PeerFileCopyTest, FailedCopiesLeaveTheDestinationAsItWas) {
    std::string destination = MakeFile("own/keep.mdf", "old");
    CSQLClientDll client;
    std::string error;
    EXPECT_FALSE(client.CopySingleRemoteFileRequest(kPeerClient, kOwnClient, root.File("peer/none"), destination,
                                                    error));
    EXPECT_EQ(error, "Failed to copy file to destination.");
    EXPECT_EQ(ReadWholeFile(destination), "old");

    std::string source = MakeFile("peer/s.mdf", "new");
    EXPECT_FALSE(client.CopySingleRemoteFileRequest(kPeerClient, kOwnClient, source,
                                                    root.File("own") + "/x/../keep.mdf", error));
    EXPECT_FALSE(client.CopySingleRemoteFileRequest(kPeerClient, kOwnClient, "s.mdf", destination, error));
    EXPECT_EQ(ReadWholeFile(destination), "old");
}

TEST_F(PeerFileCopyTest, DestinationOutsideTheModelFailsBeforeSending) {
    std::string source = MakeFile("peer/s.mdf", "new");
    CSQLClientDll client;
    std::string error;
    EXPECT_FALSE(client.CopySingleRemoteFileRequest(kPeerClient, 42, source, root.File("own/t.mdf"), error));
    EXPECT_FALSE(fs::exists(root.File("own/t.mdf")));
}

TEST_F(PeerFileCopyTest, MultipleFilesCopyToThisMachine) {
    CSQLClientDll client;
    std::string error;
    std::vector<std::pair<std::string, std::string>> files;
    EXPECT_FALSE(client.CopyMultipleRemoteFilesRequest(kPeerClient, files, error));

    files.emplace_back(MakeFile("peer/1.mdf", "one"), root.File("own/m") + "/1.mdf");
    files.emplace_back(MakeFile("peer/2.ldf", Payload(300 * 1024)), root.File("own/m") + "/2.ldf");
    ASSERT_TRUE(client.CopyMultipleRemoteFilesRequest(kPeerClient, files, error)) << error;
    EXPECT_EQ(ReadWholeFile(files[0].second), "one");
    EXPECT_EQ(ReadWholeFile(files[1].second), Payload(300 * 1024));
}

}  // namespace
}  // namespace jxtest
