// Network shares on a peer: share names of UNC paths, and the requests that
// this platform (which publishes no shares) answers.
#include <gtest/gtest.h>

#include "JXAppMgr/AppModel.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLCommon/records/SqlPeerRecords.h"
#include "JxSQLMessageHandler/client/PeerShares.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/sqlRecordCodecs.h"
#include "tests/JxSQLMessageHandler/client/PeerHosts.h"
#include "tests/JxSQLMessageHandler/service/SimInstanceSetup.h"
#include "tools/requester/JxsRequester.h"

namespace jxtest {
namespace {

using PathMap = std::map<std::string, std::string, caseIgnoreCompare>;

TEST(SqlUncShareOf, ShareIsEverythingBeforeTheSecondSlash) {
    std::string share, machine;
    ASSERT_TRUE(SqlUncShareOf("\\\\host/share/dir/file", share, machine));
    EXPECT_EQ(share, "\\\\host/share");
    EXPECT_EQ(machine, "host");
    ASSERT_TRUE(SqlUncShareOf("\\\\host/share", share, machine));
    EXPECT_EQ(share, "\\\\host/share");
    EXPECT_FALSE(SqlUncShareOf("\\\\hostonly", share, machine));
    EXPECT_FALSE(SqlUncShareOf("/local/path", share, machine));
}

class PeerSharesTest : public PeerHostsTest {
protected:
    // Asks the peer's plug-in directly and returns the reply's error.
    template <typename Request, typename Reply>
    int32_t Ask(unsigned long code, Request& request, Reply& reply) {
        SqlRegisterRecordCodecs();
        JxsRequester requester;
        EXPECT_TRUE(requester.Attach("host2", "sLNSQLClient61", "sLPSQLMSG").IsSuccess());
        jxsDatabuf_v2 out, in;
        out.setExternalBuffer(&request, sizeof request);
        in.setExternalBuffer(&reply, sizeof reply);
        EXPECT_TRUE(requester.Send(code, &out).IsSuccess());
        unsigned long replyCode = 0;
        EXPECT_TRUE(requester.Receive(replyCode, &in).IsSuccess());
        int32_t error = reply.error;
        EXPECT_TRUE(CJxNetwork::FreeReceivedMessage(replyCode, &in).IsSuccess());
        EXPECT_TRUE(requester.Disconnect().IsSuccess());
        return error;
    }
};

TEST_F(PeerSharesTest, CreateFailsOnThisPlatformAndLeavesTheMapEmpty) {
    SqlSimInstance instance;
    CreateSimInstance(instance, "client2/INST1", {"db1"});
    ASSERT_TRUE(AppModel::Set("instance/7", "name", "client2/INST1"));
    CSQLClientDll client;
    PathMap shares;
    EXPECT_FALSE(client.CreateUNCPathOnRemoteMachine(kPeerClient, 7, {"/data/a", "/data/b"}, shares));
    EXPECT_TRUE(shares.empty());

    std::string path = "/data/a";
    SqlCreateUncPath_t paths[2];
    paths[0].path = path.data();
    SqlUncPathCreateReq_t request;
    request.instanceId = 7;
    request.count = 1;
    request.paths = paths;
    SqlUncPathCreateRsp_t reply;
    EXPECT_EQ(Ask(kSqlCreateUncPathReq, request, reply), 3);
    EXPECT_EQ(reply.count, 0);
}

TEST_F(PeerSharesTest, CreateReportsMissingPathsAndUnknownInstances) {
    SqlUncPathCreateReq_t empty;
    empty.instanceId = 7;
    SqlUncPathCreateRsp_t reply;
    EXPECT_EQ(Ask(kSqlCreateUncPathReq, empty, reply), 4);

    std::string path = "/data/a";
    SqlCreateUncPath_t paths[2];
    paths[0].path = path.data();
    SqlUncPathCreateReq_t unknown;
    unknown.instanceId = 8;
    unknown.count = 1;
    unknown.paths = paths;
    EXPECT_EQ(Ask(kSqlCreateUncPathReq, unknown, reply), 5);
}

TEST_F(PeerSharesTest, DeleteAnswersEveryMapAndRefusesAnEmptyRequest) {
    CSQLClientDll client;
    EXPECT_TRUE(client.DeleteUNCPathOnRemoteMachine(99, {}));  // nothing is sent
    PathMap shares{{"/data/a", "\\\\client2/a$/x"}, {"/DATA/b", "\\\\client2/a$/y"}, {"/c", "plain"}};
    EXPECT_TRUE(client.DeleteUNCPathOnRemoteMachine(kPeerClient, shares));

    SqlDeleteUNCPathReq_t empty;
    SqlDeleteUNCPathRsp_t reply;
    EXPECT_EQ(Ask(kSqlDeleteUncPathReq, empty, reply), 1);
}

}  // namespace
}  // namespace jxtest
