// Active-source views through the XML request layer and the real host.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxsqlDMO/SqlSimUserTables.h"
#include "tests/JxSQLMessageHandler/service/ServiceHost.h"
#include "tests/JxSQLMessageHandler/service/SimInstanceSetup.h"
#include "tests/JxSQLMessageHandler/service/XmlRequestExchange.h"

namespace {

using Entity = JxEntities::GenericEntity;
using Req = SQLPmn::SqlCreateSourceViewInfoReq;

class CreateSourceViewTest : public jxtest::ServiceHostTest {
protected:
    void SetUp() override {
        ServiceHostTest::SetUp();
        jxtest::CreateSimInstance(instance, "HOST/INST", {"Sales"});
        SqlSimUserTables tables(instance.Db());
        ASSERT_TRUE(tables.AddTable("Sales", {"arch", "Orders"}, 5).IsSuccess());
        ASSERT_TRUE(tables.AddTable("Sales", {"dbo", "Lines"}, 3).IsSuccess());
        AttachPlugin(requester);
    }
    void TearDown() override {
        EXPECT_TRUE(requester.Disconnect().IsSuccess());
        ServiceHostTest::TearDown();
    }

    static Req Request(const std::vector<std::string>& tables, const std::string& instanceName = "HOST/INST") {
        Req request;
        Entity entity;
        entity.setint64(Entity::kInstanceId, 4294967303);  // 2^32 + 7
        entity.setstring(Entity::kInstanceName, instanceName);
        request.setObjectAccessor(Req::kInstance, entity);
        request.setstring(Req::kArgument1, "Sales");
        request.setstring(Req::kArgument2, "OrderDate");
        request.setstring(Req::kArgument3, "2020-01-01");
        request.setstring(Req::kArgument4, "");
        request.setliststring(Req::kTables, tables);
        return request;
    }

    jxtest::ErrorReply Create(const Req& request) {
        return jxtest::ReadErrorReply(jxtest::ExchangeXml(requester, 0x1e0000ff, jxtest::XmlOf(request)));
    }

    SqlSimInstance instance;
    JxsRequester requester;
};

TEST_F(CreateSourceViewTest, CreatesOneViewPerTable) {
    jxtest::ErrorReply reply = Create(Request({"arch.Orders", "Lines"}));
    EXPECT_EQ(reply.code, 0);
    EXPECT_EQ(reply.message, "");
    SqlSimUserTables tables(instance.Db());
    std::string table, definition;
    ASSERT_TRUE(tables.ViewOf("Sales", {"arch", "JX_SV_Orders"}, table, definition).IsSuccess());
    EXPECT_EQ(table, "arch.Orders");
    EXPECT_EQ(definition, "rows of arch.Orders where OrderDate < 2020-01-01");
    EXPECT_TRUE(tables.ViewOf("Sales", {"dbo", "JX_SV_Lines"}, table, definition).IsSuccess());
}

TEST_F(CreateSourceViewTest, FailureNamesTheLastTableThatFailed) {
    jxtest::ErrorReply reply = Create(Request({"dbo.Nope", "Lines", "x.Gone"}));
    EXPECT_EQ(reply.code, 121);
    EXPECT_EQ(reply.message, "Fail to create the source view JX_SV_Gone.");
    // A name with two dots is reported whole.
    EXPECT_EQ(Create(Request({"a.b.c"})).message, "Fail to create the source view JX_SV_a.b.c.");
}

TEST_F(CreateSourceViewTest, IncompleteRequestsAreRefusedBeforeTheInstance) {
    // Every field but the fourth argument, naming an instance that does not exist.
    Req rebuilt;
    rebuilt.setObjectAccessor(Req::kInstance, *Request({}, "HOST/NONE").getObjectAccessor(Req::kInstance));
    rebuilt.setstring(Req::kArgument1, "Sales");
    rebuilt.setstring(Req::kArgument2, "c");
    rebuilt.setstring(Req::kArgument3, "v");
    rebuilt.setliststring(Req::kTables, {"Lines"});
    jxtest::ErrorReply reply = Create(rebuilt);
    EXPECT_EQ(reply.code, 102);
    EXPECT_EQ(reply.message, "Invalid parameter(s) passed in the input XML.");

    jxtest::ErrorReply empty = Create(Request({}));
    EXPECT_EQ(empty.code, 102);
    EXPECT_EQ(empty.message, "No tables found in the input.");
}

TEST_F(CreateSourceViewTest, UnknownInstanceAnswers120WithItsIdAndName) {
    jxtest::ErrorReply reply = Create(Request({"Lines"}, "HOST/NONE"));
    EXPECT_EQ(reply.code, 120);
    EXPECT_EQ(reply.message, "Failed to initialize SQL server instance: [7 - HOST/NONE].");
}

}  // namespace
