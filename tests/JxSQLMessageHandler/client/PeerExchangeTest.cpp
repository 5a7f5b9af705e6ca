// The exchange with a peer: addressing, failures, and a peer that stays silent.
#include <gtest/gtest.h>

#include "JXAppMgr/AppModel.h"
#include "JxSQLCommon/records/SqlPeerRecords.h"
#include "JxSQLMessageHandler/client/RemoteReplyTimeout.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "WzUtils/WzClock.h"
#include "tools/host/HostBindings.h"
#include "tests/JxSQLMessageHandler/client/PeerHosts.h"

namespace jxtest {
namespace {

using PeerExchangeTest = PeerHostsTest;

TEST_F(PeerExchangeTest, UnknownClientFailsWithoutContactingAnyone) {
    CSQLClientDll client;
    std::string error;
    EXPECT_FALSE(client.DeleteDirectoryOnRemoteMachine(99, root.File("x"), error));
    EXPECT_EQ(client.GetRemoteFileSize(99, root.File("x")), 0u);
}

TEST_F(PeerExchangeTest, UnreachableHostFailsTheRequest) {
    ASSERT_TRUE(AppModel::Set("client/3", "name", "client3"));
    ASSERT_TRUE(AppModel::Set("client/3", "hostName", "nowhere"));
    CSQLClientDll client;
    std::string error;
    EXPECT_FALSE(client.CreateDirectoryOnRemoteMachine(3, root.File("made"), error));
}

TEST_F(PeerExchangeTest, SilentPeerEndsInFailureAfterTheReceiveTimeout) {
    // The plug-in has no handler for the second FILESTREAM form, so it never
    // answers; the requester waits its receive time-out and fails instead of
    // reading the empty reply as an answer.
    unsigned long savedTimeout = giTimeoutSecondsArg;
    bool savedFetch = bFetchTimeOutString;
    giTimeoutSecondsArg = 30;
    bFetchTimeOutString = false;
    CSQLClientDll client;
    std::string xml = "<x/>";
    SQLGetFileStreamInfoV2Req_t request;
    request.xml = xml.data();
    SQLGetFileStreamInfoV2Rsp_t reply;
    client.getDataBuffer()->setExternalBuffer(&request, sizeof request);
    client.getReceiveDataBuffer()->setExternalBuffer(&reply, sizeof reply);
    int64_t started = wz::ClockMs();
    EXPECT_FALSE(client.sendAndReceiveMessageToFromRemoteMachine(kPeerClient, kSqlFileStreamInfoV2Req,
                                                                 kSqlFileStreamInfoV2Rsp, false));
    EXPECT_GE(wz::ClockMs() - started, 30 * 1000);
    giTimeoutSecondsArg = savedTimeout;
    bFetchTimeOutString = savedFetch;
}

TEST_F(PeerExchangeTest, EachRequestGoesToItsOwnTarget) {
    // Without a message processor, only the requests to the plug-in succeed.
    ASSERT_TRUE(SetHostBinding("sLNSQLCOMM", "sLPSQLMSGPROCESSOR", {root.File("none.so"), "missing"}));
    CSQLClientDll client;
    std::string error;
    std::string made = MakeFile("jobs/made/file", "x");
    EXPECT_FALSE(client.CreateDirectoryOnRemoteMachine(kPeerClient, root.File("jobs/other"), error));
    EXPECT_EQ(client.GetRemoteFileSize(kPeerClient, made), 0u);
    EXPECT_TRUE(client.DeleteDirectoryOnRemoteMachine(kPeerClient, root.File("jobs/made"), error)) << error;
}

TEST_F(PeerExchangeTest, OneObjectCarriesSeveralExchanges) {
    std::string file = MakeFile("data/f.bin", "12345");
    CSQLClientDll client;
    EXPECT_EQ(client.GetRemoteFileSize(kPeerClient, file), 5u);
    EXPECT_EQ(client.GetRemoteFileSize(kPeerClient, file), 5u);
    std::string error;
    EXPECT_TRUE(client.CreateDirectoryOnRemoteMachine(kPeerClient, root.File("jobs/d1/d2"), error)) << error;
}

}  // namespace
}  // namespace jxtest
