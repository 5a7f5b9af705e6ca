#include <gtest/gtest.h>

#include "JxSQLCommon/records/AppMessages.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxSQLCommon/records/SqlAGCatalogueRecords.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxsqlAMO/AmoSimInstance.h"
#include "JxsqlDMO/SqlSimDescription.h"
#include "tests/JxSQLMessageHandler/service/CatalogueRequester.h"

namespace {

using jxtest::ReceivedReply;

JxEntities::GenericEntity Entity(int64_t id, const std::string& name) {
    JxEntities::GenericEntity entity;
    entity.setint64(JxEntities::GenericEntity::kInstanceId, id);
    entity.setstring(JxEntities::GenericEntity::kInstanceName, name);
    return entity;
}

class AGCatalogueRequestsTest : public jxtest::CatalogueRequestTest {
protected:
    void SetUp() override {
        CatalogueRequestTest::SetUp();
        ASSERT_FALSE(SqlSimApplyDescription(R"(
instance node1/sql
database sales
database hr
login farm password="f pw" roles=public
ag AG1 guid=G-1
replica AG1 node1/sql role=primary
replica AG1 node2/sql
agdatabase AG1 sales
instance node1/empty
)")
                         .IsError());
    }
    // Sends a document request and returns the answer text.
    std::string AskDocument(unsigned long code, const CNMessageBase& request, unsigned long expectedReply) {
        std::string text;
        EXPECT_EQ(request.serialize(text), kMsgOk);
        return AskText(code, text, expectedReply);
    }
    std::string AskText(unsigned long code, std::string text, unsigned long expectedReply) {
        SQLXmlTextRecord_t record;
        record.xml = text.data();
        ReceivedReply<SQLXmlTextRecord_t> reply;
        Ask(code, record, reply);
        EXPECT_EQ(reply.code, expectedReply);
        return reply->xml != nullptr ? reply->xml : "(null)";
    }
};

TEST_F(AGCatalogueRequestsTest, GroupListAnswersWithTheGroupsOrAnEmptyDocument) {
    App::GetAvailabilityGroupsReq request;
    request.setObjectAccessor(App::GetAvailabilityGroupsReq::kInstance, Entity(3, "node1/sql"));
    App::SQLAvailabilityGroups groups;
    ASSERT_EQ(groups.unserialize(AskDocument(0x1e0000dc, request, 0x1e0000dd)), kMsgOk);
    std::vector<App::SQLAvailabilityGroup> list;
    ASSERT_TRUE(groups.getlistobject(App::SQLAvailabilityGroups::kGroups, list));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].getstring(App::SQLAvailabilityGroup::kGuid), "G-1");

    // An unknown instance still gets a group list, an empty one.
    request.setObjectAccessor(App::GetAvailabilityGroupsReq::kInstance, Entity(3, "node9"));
    App::SQLAvailabilityGroups none;
    ASSERT_EQ(none.unserialize(AskDocument(0x1e0000dc, request, 0x1e0000dd)), kMsgOk);
    EXPECT_TRUE(none.getlistobject(App::SQLAvailabilityGroups::kGroups).empty());
}

TEST_F(AGCatalogueRequestsTest, OneGroupItsReplicasAndItsDatabases) {
    App::GetAGReq one;
    one.setObjectAccessor(App::GetAGReq::kInstance, Entity(3, "node1/sql"));
    one.setstring(App::GetAGReq::kGroupName, "AG1");
    App::SQLAvailabilityGroup group;
    ASSERT_EQ(group.unserialize(AskDocument(0x1e0000e4, one, 0x1e0000e5)), kMsgOk);
    EXPECT_EQ(group.getstring(App::SQLAvailabilityGroup::kName), "AG1");
    // A request naming no group gets its reply, with an empty text.
    App::GetAGReq unnamed;
    unnamed.setObjectAccessor(App::GetAGReq::kInstance, Entity(3, "node1/sql"));
    EXPECT_EQ(AskDocument(0x1e0000e4, unnamed, 0x1e0000e5), "");

    App::GetAvailabilityGroupReplicasReq replicas;
    replicas.setObjectAccessor(App::GetAvailabilityGroupReplicasReq::kInstance, Entity(3, "node1/sql"));
    replicas.setstring(App::GetAvailabilityGroupReplicasReq::kGroupName, "AG1");
    App::SQLAvailabilityGroup withReplicas;
    ASSERT_EQ(withReplicas.unserialize(AskDocument(0x1e0000e0, replicas, 0x1e0000e1)), kMsgOk);
    EXPECT_EQ(withReplicas.getlistobject(8, 8).size(), 2u);

    // The databases request takes the instance name from its second entity.
    App::GetAvailabilityDatabasesReq databases;
    databases.setObjectAccessor(App::GetAvailabilityDatabasesReq::kInstance, Entity(3, "ignored"));
    databases.setObjectAccessor(App::GetAvailabilityDatabasesReq::kInstanceName, Entity(0, "node1/sql"));
    databases.setstring(App::GetAvailabilityDatabasesReq::kGroupName, "AG1");
    App::SQLAvailabilityDatabases found;
    ASSERT_EQ(found.unserialize(AskDocument(0x1e0000de, databases, 0x1e0000df)), kMsgOk);
    std::vector<App::SQLAvailabilityDatabase> list;
    ASSERT_TRUE(found.getlistobject(App::SQLAvailabilityDatabases::kDatabases, list));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].getstring(App::SQLAvailabilityDatabase::kName), "sales");
    EXPECT_EQ(list[0].getint64(App::SQLAvailabilityDatabase::kDatabaseId), 5);

    App::GetAvailabilityDatabasesReq onlyFirst;
    onlyFirst.setObjectAccessor(App::GetAvailabilityDatabasesReq::kInstance, Entity(3, "node1/sql"));
    onlyFirst.setstring(App::GetAvailabilityDatabasesReq::kGroupName, "AG1");
    EXPECT_EQ(AskDocument(0x1e0000de, onlyFirst, 0x1e0000df), "");
}

TEST_F(AGCatalogueRequestsTest, UndecodableRequestsAreAnsweredWithAnEmptyText) {
    for (auto [code, reply] : {std::pair{0x1e0000dcul, 0x1e0000ddul}, {0x1e0000e4ul, 0x1e0000e5ul},
                               {0x1e0000deul, 0x1e0000dful}, {0x1e0000e0ul, 0x1e0000e1ul}}) {
        EXPECT_EQ(AskText(code, "<not xml", reply), "");
        EXPECT_EQ(AskText(code, "", reply), "");
    }
    // The session is still served.
    App::GetAGReq one;
    one.setObjectAccessor(App::GetAGReq::kInstance, Entity(3, "node1/sql"));
    one.setstring(App::GetAGReq::kGroupName, "AG1");
    EXPECT_NE(AskDocument(0x1e0000e4, one, 0x1e0000e5), "");
}

TEST_F(AGCatalogueRequestsTest, SharePointListNeedsTheLogin) {
    std::string instance = "node1/sql";
    std::string user = "farm";
    std::string password = "f pw";
    SQLGetSPDatabaseListReq_t request;
    request.instanceName = instance.data();
    request.userName = user.data();
    request.password = password.data();
    ReceivedReply<SQLGetSPDatabaseListRSP_t> reply;
    Ask(0x1e0000c8, request, reply);
    EXPECT_EQ(reply.code, 0x1e0000c9u);
    ASSERT_EQ(reply->count, 5u);  // master, model, msdb, sales, hr
    EXPECT_STREQ(reply->databases[3].name, "sales");
    EXPECT_EQ(reply->databases[3].databaseId, 5);

    std::string wrong = "F PW";
    request.password = wrong.data();
    ReceivedReply<SQLGetSPDatabaseListRSP_t> refused;
    Ask(0x1e0000c8, request, refused);
    EXPECT_EQ(refused.code, 0x1e0000c9u);
    EXPECT_EQ(refused->count, 0u);
}

TEST_F(AGCatalogueRequestsTest, RemotePartitionsAnswerUnderTheirCodePlusOne) {
    AmoSimServerSpec desc;
    desc.name = "olap1";
    AmoSimInstance olap;
    ASSERT_FALSE(olap.Create(desc).IsError());
    ASSERT_FALSE(olap.AddDatabase("Cube", 1).IsError());
    ASSERT_FALSE(olap.AddDatabase("Flat", 2).IsError());
    ASSERT_FALSE(olap.AddRemotePartition({"Cube", "C", "MG", "P1", "olap2"}).IsError());

    std::string server = "olap1";
    std::string cube = "Cube";
    std::string flat = "Flat";
    std::string missing = "Missing";
    std::vector<AnalysisRemotePartitionReqEntry_t> entries(3);
    entries[0].serverName = server.data();
    entries[0].databaseName = cube.data();
    entries[1].serverName = server.data();
    entries[1].databaseName = flat.data();
    entries[2].serverName = server.data();
    entries[2].databaseName = missing.data();
    SQLAnalysisGetRemotePartitionInfoReq_t request;
    request.count = 2;
    request.entries = entries.data();
    ReceivedReply<SQLAnalysisGetRemotePartitionInfoRsp_t> reply;
    Ask(0x1e0000d4, request, reply);
    EXPECT_EQ(reply.code, 0x1e0000d5u);
    EXPECT_EQ(reply->failed, 0u);
    ASSERT_EQ(reply->count, 2u);
    ASSERT_EQ(reply->databases[0].count, 1u);
    EXPECT_STREQ(reply->databases[0].partitions[0].partition, "P1");
    EXPECT_EQ(reply->databases[1].count, 0u);

    // A failing entry stops the list; the entries before it are sent.
    std::swap(entries[1], entries[2]);
    request.count = 3;
    ReceivedReply<SQLAnalysisGetRemotePartitionInfoRsp_t> failed;
    Ask(0x1e0000d4, request, failed);
    EXPECT_EQ(failed->failed, 1u);
    ASSERT_EQ(failed->count, 1u);
    EXPECT_STREQ(failed->databases[0].databaseName, "Cube");
}

TEST(ParseInstanceNameTest, DropsTheAnalysisServicesSuffix) {
    EXPECT_EQ(CSQLClientDll::parseInstanceName(std::string("olap1 Analysis Services")), "olap1");
    EXPECT_EQ(CSQLClientDll::parseInstanceName(std::string("olap1/TAB Analysis Services")), "olap1/TAB");
    EXPECT_EQ(CSQLClientDll::parseInstanceName(std::string("olap1")), "olap1");
    EXPECT_EQ(CSQLClientDll::parseInstanceName(std::string("Analysis Services")), "Analysis Services");
    EXPECT_EQ(CSQLClientDll::parseInstanceName(static_cast<const char*>(nullptr)), "");
}

}  // namespace
