#include <gtest/gtest.h>

#include "JxSQLCommon/records/SqlDatabaseListRecords.h"
#include "JxsqlAMO/AmoSimInstance.h"
#include "JxsqlDMO/SqlSimDescription.h"
#include "tests/JxSQLMessageHandler/service/CatalogueRequester.h"

namespace {

using jxtest::ReceivedReply;

class DatabaseListRequestsTest : public jxtest::CatalogueRequestTest {
protected:
    void SetUp() override {
        CatalogueRequestTest::SetUp();
        ASSERT_FALSE(SqlSimApplyDescription(R"(
instance client1/prod
database sales created=1700000000
database "a'b]" state=offline
filegroup sales ARCHIVE
filegroup sales EMPTY
file sales ARCHIVE sales_2 size=8192
instance client1/stopped running=no
)")
                         .IsError());
    }
    std::vector<std::string> Names(SQLDatabaseListRsp_11_t& reply) {
        std::vector<std::string> names;
        for (uint32_t i = 0; i < reply.count; ++i) names.push_back(reply.databases[i].name);
        return names;
    }
    std::string instance = "client1/prod";
    std::string engine = "DataBase Engine";
};

TEST_F(DatabaseListRequestsTest, EveryRequestFormAnswersUnderOneReplyCode) {
    const std::vector<std::string> expected{"master", "model", "msdb", "sales", "a'b]"};
    SQLDatabaseListReq_t v1;
    v1.instanceName = instance.data();
    ReceivedReply<SQLDatabaseListRsp_11_t> r1;
    Ask(0x1e000091, v1, r1);
    EXPECT_EQ(r1.code, 0x1e0000ecu);
    EXPECT_EQ(Names(r1.record), expected);
    EXPECT_EQ(r1->result, 0u);  // 0 when the list is not empty
    EXPECT_EQ(r1->databases[3].value1, 5u);
    EXPECT_EQ(r1->databases[3].value2, 1700000000u);
    EXPECT_EQ(r1->databases[4].value3, 0x80u);  // offline

    SQLDatabaseListReq_V2_t v2;
    v2.instanceName = instance.data();
    v2.instanceId = 7;
    ReceivedReply<SQLDatabaseListRsp_11_t> r2;
    Ask(0x1e0000b5, v2, r2);
    EXPECT_EQ(r2.code, 0x1e0000ecu);
    EXPECT_EQ(Names(r2.record), expected);

    std::string anyCase = "database engine";
    SQLDatabaseListReq_V4_t v4;
    v4.instanceName = instance.data();
    v4.serverType = anyCase.data();
    ReceivedReply<SQLDatabaseListRsp_11_t> r4;
    Ask(0x1e000108, v4, r4);
    EXPECT_EQ(r4.code, 0x1e0000ecu);
    EXPECT_EQ(Names(r4.record), expected);
}

TEST_F(DatabaseListRequestsTest, ServerTypeChoosesTheLayer) {
    AmoSimServerSpec desc;
    desc.name = "client1/olap";
    AmoSimInstance olap;
    ASSERT_FALSE(olap.Create(desc).IsError());
    ASSERT_FALSE(olap.AddDatabase("Cube", 1700000002).IsError());

    std::string olapName = "client1/olap";
    std::string analysis = "analysis SERVICES";
    SQLDatabaseListReq_V3_t request;
    request.instanceName = olapName.data();
    request.serverType = analysis.data();
    ReceivedReply<SQLDatabaseListRsp_11_t> reply;
    Ask(0x1e0000cd, request, reply);
    EXPECT_EQ(Names(reply.record), std::vector<std::string>{"Cube"});

    std::string aws = "Aws DataBase Engine";
    request.instanceName = instance.data();
    request.serverType = aws.data();
    ReceivedReply<SQLDatabaseListRsp_11_t> cloud;
    Ask(0x1e0000cd, request, cloud);
    EXPECT_EQ(cloud->count, 0u);
    EXPECT_EQ(cloud->result, 0u);
}

TEST_F(DatabaseListRequestsTest, UnknownOrStoppedInstanceGetsAnEmptyFailedList) {
    for (std::string name : {"client1/nothere", "client1/stopped", "../../etc"}) {
        SQLDatabaseListReq_V3_t request;
        request.instanceName = name.data();
        request.serverType = engine.data();
        ReceivedReply<SQLDatabaseListRsp_11_t> reply;
        Ask(0x1e0000cd, request, reply);
        EXPECT_EQ(reply.code, 0x1e0000ecu);
        EXPECT_EQ(reply->count, 0u) << name;
        EXPECT_EQ(reply->result, 0u) << name;
    }
}

TEST_F(DatabaseListRequestsTest, FileGroupsCarryFilesAndAPlaceholderForEmptyGroups) {
    std::string database = "sales";
    SQLDatabaseFileGroupReq_V2_t request;
    request.instanceName = instance.data();
    request.databaseName = database.data();
    request.instanceId = 3;
    ReceivedReply<SQLDatabaseFileGroupRsp_t> reply;
    Ask(0x1e0000b6, request, reply);
    EXPECT_EQ(reply.code, 0x1e000094u);
    ASSERT_EQ(reply->count, 3u);
    EXPECT_STREQ(reply->groups[0].name, "PRIMARY");
    ASSERT_EQ(reply->groups[1].fileCount, 1u);
    EXPECT_STREQ(reply->groups[1].files[0].logicalName, "sales_2");
    EXPECT_EQ(reply->groups[1].files[0].value3, 8192u);
    EXPECT_STREQ(reply->groups[2].name, "EMPTY");
    ASSERT_EQ(reply->groups[2].fileCount, 1u);
    EXPECT_STREQ(reply->groups[2].files[0].logicalName, "");
    EXPECT_EQ(reply->groups[2].files[0].value1, 0u);
    EXPECT_EQ(reply->extra, nullptr);

    std::string missing = "nothere";
    SQLDatabaseFileGroupReq_t old;
    old.instanceName = instance.data();
    old.databaseName = missing.data();
    ReceivedReply<SQLDatabaseFileGroupRsp_t> none;
    Ask(0x1e000093, old, none);
    EXPECT_EQ(none.code, 0x1e000094u);
    EXPECT_EQ(none->count, 0u);
}

TEST_F(DatabaseListRequestsTest, StateIsTextAndCodeOrAFailureWithoutText) {
    std::string database = "a'b]";
    SQLDatabaseStateReq_t request;
    request.instanceName = instance.data();
    request.databaseName = database.data();
    ReceivedReply<SQLDatabaseStateRsp_t> reply;
    Ask(0x1e000097, request, reply);
    EXPECT_EQ(reply.code, 0x1e000098u);
    EXPECT_EQ(reply->failed, 0u);
    EXPECT_EQ(reply->state, 0x80);
    EXPECT_STREQ(reply->stateText, "OFFLINE");

    std::string missing = "a'b";
    SQLDatabaseStateReq_V2_t v2;
    v2.instanceName = instance.data();
    v2.databaseName = missing.data();
    v2.instanceId = 9;
    ReceivedReply<SQLDatabaseStateRsp_t> failed;
    Ask(0x1e0000b7, v2, failed);
    EXPECT_EQ(failed.code, 0x1e000098u);
    EXPECT_EQ(failed->failed, 1u);
    EXPECT_EQ(failed->stateText, nullptr);
}

}  // namespace
