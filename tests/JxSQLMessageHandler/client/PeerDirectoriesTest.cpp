// Directories on a peer.
#include <gtest/gtest.h>

#include <filesystem>

#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLCommon/records/SqlPeerRecords.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/sqlRecordCodecs.h"
#include "tests/JxSQLMessageHandler/client/PeerHosts.h"
#include "tools/requester/JxsRequester.h"

namespace fs = std::filesystem;

namespace jxtest {
namespace {

using PeerDirectoriesTest = PeerHostsTest;

TEST_F(PeerDirectoriesTest, CreateMakesMissingParentsAndDeleteRemovesContents) {
    CSQLClientDll client;
    std::string error;
    std::string nested = root.File("jobs") + "/a/b/c";
    ASSERT_TRUE(client.CreateDirectoryOnRemoteMachine(kPeerClient, nested, error)) << error;
    EXPECT_TRUE(fs::is_directory(nested));
    MakeFile("jobs/a/b/c/file.txt", "x");

    ASSERT_TRUE(client.DeleteDirectoryOnRemoteMachine(kPeerClient, root.File("jobs") + "/a", error)) << error;
    EXPECT_FALSE(fs::exists(root.File("jobs") + "/a"));

    error.clear();
    EXPECT_FALSE(client.DeleteDirectoryOnRemoteMachine(kPeerClient, root.File("jobs") + "/a", error));
    EXPECT_FALSE(error.empty());
}

TEST_F(PeerDirectoriesTest, PathsOutsideWhatTheyNameAreRefused) {
    MakeFile("keep/file.txt", "x");
    std::string keep = root.File("keep");
    CSQLClientDll client;
    std::string error;
    EXPECT_FALSE(client.DeleteDirectoryOnRemoteMachine(kPeerClient, root.File("other") + "/../keep", error));
    EXPECT_NE(error.find(".."), std::string::npos) << error;
    EXPECT_FALSE(client.DeleteDirectoryOnRemoteMachine(kPeerClient, "keep", error));
    EXPECT_FALSE(client.DeleteDirectoryOnRemoteMachine(kPeerClient, "//.", error));
    EXPECT_TRUE(fs::exists(keep + "/file.txt"));
}

TEST_F(PeerDirectoriesTest, RequestWithoutAPathIsAnsweredWithCodeOne) {
    SqlRegisterRecordCodecs();
    JxsRequester requester;
    ASSERT_TRUE(requester.Attach("host2", "sLNSQLClient61", "sLPSQLMSG").IsSuccess());
    SQLCreateDeleteDirectoryReq_t request;
    SQLXmlTextRecord_t reply;
    jxsDatabuf_v2 out, in;
    out.setExternalBuffer(&request, sizeof request);
    in.setExternalBuffer(&reply, sizeof reply);
    ASSERT_TRUE(requester.Send(kSqlDeleteDirectoryReq, &out).IsSuccess());
    unsigned long code = 0;
    ASSERT_TRUE(requester.Receive(code, &in).IsSuccess());
    EXPECT_EQ(code, kSqlDeleteDirectoryRsp);
    SQLPmn::ErrorMessage message;
    ASSERT_EQ(message.unserialize(reply.xml), 0);
    EXPECT_EQ(message.getint64(SQLPmn::ErrorMessage::kErrorCode), 1);
    EXPECT_EQ(message.getstring(SQLPmn::ErrorMessage::kMessage), "Failed to get folder path for deletion request.");
    EXPECT_TRUE(CJxNetwork::FreeReceivedMessage(code, &in).IsSuccess());
}

}  // namespace
}  // namespace jxtest
