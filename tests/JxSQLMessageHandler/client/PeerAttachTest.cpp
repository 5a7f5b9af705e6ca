// Database attach on a peer.
#include <gtest/gtest.h>

#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "tests/JxSQLMessageHandler/client/PeerHosts.h"
#include "tests/JxSQLMessageHandler/service/SimInstanceSetup.h"

namespace jxtest {
namespace {

class PeerAttachTest : public PeerHostsTest {
protected:
    void SetUp() override {
        PeerHostsTest::SetUp();
        CreateSimInstance(instance, "client2/INST1", {});
    }
    SqlSimInstance instance;
};

TEST_F(PeerAttachTest, AttachedDatabaseAppearsOnThePeerInstance) {
    std::string data = MakeFile("copies/sales.mdf", std::string(4096, 'd'));
    std::string log = MakeFile("copies/sales_log.ldf", std::string(1024, 'l'));
    CSQLClientDll client;
    std::string error;
    EXPECT_TRUE(client.AttachDatabaseOnRemoteMachine(kPeerClient, 7, "client2/INST1", "sales\n" + data + "\n" + log,
                                                     error))
        << error;
    int64_t id = 0;
    EXPECT_TRUE(instance.DatabaseId("sales", id).IsSuccess());
}

TEST_F(PeerAttachTest, FailuresCarryThePeersText) {
    CSQLClientDll client;
    std::string error = "untouched";
    EXPECT_FALSE(client.AttachDatabaseOnRemoteMachine(kPeerClient, 7, "client2/INST1",
                                                      "sales\n" + root.File("missing.mdf"), error));
    EXPECT_NE(error.find("cannot be found"), std::string::npos) << error;

    EXPECT_FALSE(client.AttachDatabaseOnRemoteMachine(kPeerClient, 7, "", "sales", error));
    EXPECT_EQ(error, "Input parameters are wrong.");

    EXPECT_FALSE(client.AttachDatabaseOnRemoteMachine(kPeerClient, 9, "client2/NOPE", "sales\n/x.mdf", error));
    EXPECT_EQ(error, "Failed to initialize DMO object for DB Attach on instance [client2/NOPE]");
}

}  // namespace
}  // namespace jxtest
