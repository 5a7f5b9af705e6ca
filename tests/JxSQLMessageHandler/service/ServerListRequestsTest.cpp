#include <gtest/gtest.h>

#include "JXAppMgr/AppModel.h"
#include "JxJobClient/JobJournal.h"
#include "JxLib/EvEventFileSink.h"
#include "JxLib/JXPassword.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/records/SqlServerListRecords.h"
#include "JxsqlAMO/AmoSimInstance.h"
#include "JxsqlDMO/SqlSimDescription.h"
#include "tests/JxSQLMessageHandler/service/CatalogueRequester.h"

namespace {

using jxtest::ReceivedReply;

class ServerListRequestsTest : public jxtest::CatalogueRequestTest {
protected:
    void SetUp() override {
        CatalogueRequestTest::SetUp();
        ASSERT_FALSE(SqlSimApplyDescription(R"(
instance node1/prod version=16.0.1000.6
login backup password=pw roles=sysadmin
instance node1/test version=15.0.2000.5 running=no
instance node2
)")
                         .IsError());
        AppModel::Set(AppModel::ObjectName("client", 2), "name", "node1");
        AppModel::Set(AppModel::ObjectName("client", 3), "name", "cloudvm");
        AppModel::Set(AppModel::ObjectName("client", 3), "cloudHypervisorType", "4");
    }
    std::vector<std::string> Servers(unsigned long code, std::string client) {
        SQLServerListReq_t request;
        request.clientName = client.data();
        ReceivedReply<SQLServerListRsp_VER1_t> reply;
        Ask(code, request, reply);
        EXPECT_EQ(reply.code, 0x1e0000ccu);
        std::vector<std::string> out;
        for (uint32_t i = 0; i < reply->count; ++i) {
            out.push_back(std::string(reply->servers[i].instanceName) + " " + reply->servers[i].version + " " +
                          reply->servers[i].state);
        }
        if (reply->count == 0) {
            EXPECT_EQ(reply->servers, nullptr);
        }
        return out;
    }
    // Sends a login check and returns "failed message" ("0 (null)" when accepted).
    std::string Verify(unsigned long code, const char* user, const char* password, const char* instance) {
        std::string u = user ? user : "", p = password ? password : "", i = instance ? instance : "";
        SQLVerifyUserReq_t request;
        request.userName = user ? u.data() : nullptr;
        request.password = password ? p.data() : nullptr;
        request.instanceName = instance ? i.data() : nullptr;
        ReceivedReply<SQLVerifyUserRsp_t> reply;
        Ask(code, request, reply);
        EXPECT_EQ(reply.code, code + 1);
        return std::to_string(reply->failed) + " " + (reply->message ? reply->message : "(null)");
    }
    std::string Events() { return jxtest::ReadWholeFile(EvEventFileSink::FilePath()); }
};

TEST_F(ServerListRequestsTest, BothCodesListTheInstancesOfTheClientsHost) {
    const std::vector<std::string> expected{"node1/prod 16.0.1000.6 running", "node1/test 15.0.2000.5 stopped"};
    EXPECT_EQ(Servers(0x1e00008d, "node1"), expected);
    EXPECT_EQ(Servers(0x1e0000b4, "node1"), expected);
}

TEST_F(ServerListRequestsTest, CloudMachinesAndUnknownClientsGetAnEmptyList) {
    EXPECT_TRUE(Servers(0x1e00008d, "cloudvm").empty());
    // The hypervisor look-up of an unknown client fails: still answered.
    EXPECT_TRUE(Servers(0x1e00008d, "stranger").empty());
    EXPECT_EQ(Servers(0x1e00008d, "node1").size(), 2u);  // the session goes on
}

TEST_F(ServerListRequestsTest, SqlLoginCheckPassesThePasswordAsReceived) {
    EXPECT_EQ(Verify(0x1e00008f, "backup", "pw", "node1/prod"), "0 (null)");
    EXPECT_EQ(Verify(0x1e00008f, "backup", "wrong", "node1/prod"), "1 Failed to verify user [backup].");
    EXPECT_NE(Events().find("\"id\":\"" + jobmanager::JournalId(kEventLoginFailed) + "\""), std::string::npos);
    EXPECT_NE(Events().find("node1/prod"), std::string::npos);
    // No user name: the agent's own account, accepted by the instance.
    EXPECT_EQ(Verify(0x1e00008f, nullptr, nullptr, "node1/prod"), "0 (null)");
    EXPECT_EQ(Verify(0x1e00008f, "backup", "pw", "node1/test"), "1 Failed to verify user [backup].");
}

TEST_F(ServerListRequestsTest, SqlLoginCheckWithoutInstanceFailsWithAnEvent) {
    EXPECT_EQ(Verify(0x1e00008f, "backup", "pw", nullptr), "1 Failed to verify user [backup].");
    EXPECT_NE(Events().find("No valid instance"), std::string::npos);
    EXPECT_EQ(Verify(0x1e00008f, nullptr, "pw", ""), "1 Failed to verify user [].");
}

TEST_F(ServerListRequestsTest, AnalysisLoginCheckDecryptsTheStoredPassword) {
    AmoSimServerSpec desc;
    desc.name = "olap1";
    AmoSimInstance olap;
    ASSERT_FALSE(olap.Create(desc).IsError());
    ASSERT_FALSE(olap.AddLogin("analyst", "s3cret").IsError());
    std::string stored = JXPassword::encrypt("s3cret");

    EXPECT_EQ(Verify(0x1e0000d2, "analyst", stored.c_str(), "olap1 Analysis Services"), "0 (null)");
    EXPECT_EQ(Verify(0x1e0000d2, "analyst", "s3cret", "olap1 Analysis Services"),
              "1 Failed to decrypt password.");
    EXPECT_EQ(Verify(0x1e0000d2, "analyst", JXPassword::encrypt("other").c_str(), "olap1"),
              "1 Failed to verify username and password.");
    // Without a password the check runs with an empty one; the agent's own
    // account needs none.
    EXPECT_EQ(Verify(0x1e0000d2, "analyst", nullptr, "olap1"), "1 Failed to verify username and password.");
    EXPECT_EQ(Verify(0x1e0000d2, nullptr, nullptr, "olap1"), "0 (null)");
}

TEST_F(ServerListRequestsTest, CloudInventoryIsAlwaysEmpty) {
    ReceivedReply<SQLAzureInventoryInfoRsp_t> reply;
    jxsDatabuf_v2 none;
    ASSERT_TRUE(requester.Send(0x1e00011f, &none).IsSuccess());
    jxsDatabuf_v2 in;
    in.setExternalBuffer(&reply.record, sizeof(reply.record));
    ASSERT_TRUE(requester.Receive(reply.code, &in).IsSuccess());
    reply.received = true;
    EXPECT_EQ(reply.code, 0x1e000120u);
    EXPECT_EQ(reply->inventory, nullptr);
}

}  // namespace
