// FILESTREAM file lists of a peer.
#include <gtest/gtest.h>

#include <filesystem>

#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "tests/JxSQLMessageHandler/client/PeerHosts.h"

namespace jxtest {
namespace {

class PeerFileStreamListsTest : public PeerHostsTest {
protected:
    void SetUp() override {
        PeerHostsTest::SetUp();
        MakeFile("fs/a.dat", "1");
        MakeFile("fs/b/c.dat", "22");
        MakeFile("fs/b/skip.txt", "x");
        MakeFile("fs/d.dat", "333");
        folder = root.File("fs");
        std::filesystem::create_directory_symlink(folder, folder + "/b/loop.dat");
    }
    std::string folder;
};

TEST_F(PeerFileStreamListsTest, WalkListsNestedFilesWhereTheirFolderIsMet) {
    CSQLClientDll client;
    std::vector<std::string> files{"kept"};
    ASSERT_TRUE(client.GetAllFilesInFolder(folder, "*.dat", files));
    EXPECT_EQ(files, (std::vector<std::string>{"kept", folder + "/a.dat", folder + "/b/c.dat", folder + "/d.dat"}));
}

TEST_F(PeerFileStreamListsTest, FirstFormAppendsThePeersFiles) {
    CSQLClientDll client;
    std::vector<std::string> files{"kept"};
    int error = 0;
    ASSERT_TRUE(client.RetrieveFilestreamInfo(kPeerClient, folder, "*.dat", files, error));
    EXPECT_EQ(files, (std::vector<std::string>{"kept", folder + "/a.dat", folder + "/b/c.dat", folder + "/d.dat"}));

    std::vector<std::string> none;
    ASSERT_TRUE(client.RetrieveFilestreamInfo(kPeerClient, folder, "*.none", none, error));
    EXPECT_TRUE(none.empty());

    EXPECT_FALSE(client.RetrieveFilestreamInfo(kPeerClient, "", "*", none, error));
    EXPECT_EQ(error, 1);
    error = 0;
    EXPECT_FALSE(client.RetrieveFilestreamInfo(kPeerClient, folder + "/b/..", "*", none, error));
    EXPECT_EQ(error, 1);
    EXPECT_TRUE(none.empty());
}

TEST_F(PeerFileStreamListsTest, SecondFormCarriesSizesAndKeepsTheReplyOnFailure) {
    CSQLClientDll client;
    SQLPmn::SqlGetFileStreamInfoRsp reply;
    ASSERT_TRUE(client.RetrieveFileStreamInfo_V2(kPeerClient, folder, "*.dat", reply));
    std::vector<SQLPmn::SqlFileStreamInfo> files;
    ASSERT_TRUE(reply.getlistobject(SQLPmn::SqlGetFileStreamInfoRsp::kFiles, files));
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[1].getstring(SQLPmn::SqlFileStreamInfo::kPath), folder + "/b/c.dat");
    EXPECT_EQ(files[2].getint64(SQLPmn::SqlFileStreamInfo::kSize), 3);

    SQLPmn::SqlGetFileStreamInfoRsp before = reply;
    EXPECT_FALSE(client.RetrieveFileStreamInfo_V2(kPeerClient, folder, "", reply));
    EXPECT_TRUE(reply == before);
}

TEST_F(PeerFileStreamListsTest, FoldersOutsideTheReachableFoldersAreNotListed) {
    MakeFile("outside/secret.dat", "1");
    std::filesystem::create_directory_symlink(root.path() + "/outside", folder + "/away");
    CSQLClientDll client;
    for (const std::string& refused : {root.path() + "/outside", folder + "/away", std::string("/")}) {
        std::vector<std::string> files;
        int error = 0;
        EXPECT_FALSE(client.RetrieveFilestreamInfo(kPeerClient, refused, "*", files, error)) << refused;
        EXPECT_EQ(error, 1);
        EXPECT_TRUE(files.empty());
        SQLPmn::SqlGetFileStreamInfoRsp reply;
        EXPECT_FALSE(client.RetrieveFileStreamInfo_V2(kPeerClient, refused, "*", reply)) << refused;
        std::vector<SQLPmn::SqlFileStreamInfo> listed;
        reply.getlistobject(SQLPmn::SqlGetFileStreamInfoRsp::kFiles, listed);
        EXPECT_TRUE(listed.empty());
    }
}

}  // namespace
}  // namespace jxtest
