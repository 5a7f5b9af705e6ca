// Archive information, source connectivity and the database status update
// through the real host.
#include <gtest/gtest.h>

#include <vector>
#include <string>

#include "JXSQLObjectLevelRestore/CJXSQLObjectLevelRestore.h"
#include "JxSQLCommon/records/AppMessages.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxSQLCommon/records/PmnMessages.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxsqlDMO/SqlSimUserTables.h"
#include "tests/JxSQLMessageHandler/service/ServiceHost.h"
#include "tests/JxSQLMessageHandler/service/SimInstanceSetup.h"
#include "tests/JxSQLMessageHandler/service/XmlRequestExchange.h"

namespace {

using Entity = JxEntities::GenericEntity;
using jxtest::ExchangeXml;
using jxtest::XmlOf;

constexpr unsigned long kArchiveInfo = 0x1e0000f1;
constexpr unsigned long kCheckSource = 0x1e0000f2;
constexpr unsigned long kCheckSourceReply = 0x1e0000f3;
constexpr unsigned long kUpdateStatus = 0x1e00010d;
constexpr unsigned long kUpdateStatusReply = 0x1e00010e;

Entity InstanceEntity(const std::string& name) {
    Entity entity;
    entity.setint64(Entity::kInstanceId, 7);
    entity.setstring(Entity::kInstanceName, name);
    return entity;
}

class ArchiveAndStatusTest : public jxtest::ServiceHostTest {
protected:
    void SetUp() override {
        ServiceHostTest::SetUp();
        SqlRegisterRecordCodecs();
        jxtest::CreateSimInstance(instance, "HOST/INST", {"Sales", "Closed"});
        ASSERT_TRUE(instance.SetDatabaseState("Closed", SQLDB_STATE_OFFLINE).IsSuccess());
        SqlSimUserTables tables(instance.Db());
        ASSERT_TRUE(tables.AddTable("Sales", {"dbo", "Orders"}, 5).IsSuccess());
        ASSERT_TRUE(tables.AddTable("Sales", {"dbo", "Empty"}, 0).IsSuccess());
        AttachPlugin(requester);
    }
    void TearDown() override {
        EXPECT_TRUE(requester.Disconnect().IsSuccess());
        ServiceHostTest::TearDown();
    }

    // The connectivity response for `database` with an optional condition.
    SQLPmn::CheckSourceConnectivityRsp Check(const std::string& instanceName, const std::string& database,
                                             const char* condition = nullptr) {
        SQLPmn::CheckSourceConnectivityReq request;
        request.setObjectAccessor(SQLPmn::CheckSourceConnectivityReq::kInstance, InstanceEntity(instanceName));
        request.setstring(SQLPmn::CheckSourceConnectivityReq::kDatabaseName, database);
        if (condition != nullptr) request.setstring(SQLPmn::CheckSourceConnectivityReq::kArchiveCondition, condition);
        unsigned long code = 0;
        std::string text = ExchangeXml(requester, kCheckSource, XmlOf(request), &code);
        EXPECT_EQ(code, kCheckSourceReply);
        SQLPmn::CheckSourceConnectivityRsp response;
        EXPECT_EQ(response.unserialize(text), 0) << text;
        return response;
    }

    SQLPmn::GenericResp UpdateStatus(const std::string& xml) {
        unsigned long code = 0;
        std::string text = ExchangeXml(requester, kUpdateStatus, xml, &code);
        EXPECT_EQ(code, kUpdateStatusReply);
        SQLPmn::GenericResp response;
        EXPECT_EQ(response.unserialize(text), 0) << text;
        return response;
    }

    // The next XML message the session carries, decoded as `answer`'s class.
    void ReceiveXmlAnswer(CNMessageBase& answer) {
        std::string xml;
        bool flag = false;
        ASSERT_TRUE(requester.session().ReceiveXMLMessage(nullptr, xml, nullptr, 0, 240, flag).IsSuccess());
        EXPECT_EQ(answer.unserialize(xml), 0) << xml;
    }

    SqlSimInstance instance;
    JxsRequester requester;
};

using Rsp = SQLPmn::CheckSourceConnectivityRsp;

TEST_F(ArchiveAndStatusTest, OnlineSourceWithoutConditionAnswersAnEmptyResponse) {
    Rsp response = Check("HOST/INST", "sales");
    EXPECT_EQ(response.fieldCount(), 0u);
}

TEST_F(ArchiveAndStatusTest, RowCheckAnswersTheRowsOrNoRows) {
    EXPECT_EQ(Check("HOST/INST", "Sales", "dbo.Orders").getstring(Rsp::kRowCheckResult), "5");
    EXPECT_EQ(Check("HOST/INST", "Sales", "Empty").getstring(Rsp::kErrorText), "No rows to archive.");
    EXPECT_EQ(Check("HOST/INST", "Sales", "dbo.Missing").getstring(Rsp::kErrorText), "No rows to archive.");
}

TEST_F(ArchiveAndStatusTest, UnreachableSourcesAnswerWhy) {
    EXPECT_EQ(Check("HOST/INST", "Closed").getstring(Rsp::kErrorText), "Database is not online");
    EXPECT_EQ(Check("HOST/INST", "Closed", "dbo.Orders").getstring(Rsp::kErrorText), "Database is not online");
    EXPECT_EQ(Check("HOST/NONE", "Sales").getstring(Rsp::kErrorText), "Failed to initialize SQL Server");

    std::string text = ExchangeXml(requester, kCheckSource, "<broken");
    Rsp response;
    ASSERT_EQ(response.unserialize(text), 0);
    EXPECT_EQ(response.getstring(Rsp::kErrorText), "Failed to unserialize check source request xml");
}

TEST_F(ArchiveAndStatusTest, ArchiveInformationIsAnsweredByTheObjectLevelLayer) {
    SQLXmlTextRecord_t request;
    std::string xml = XmlOf(Pmn::GetSchemaTableMappingReq());
    request.xml = xml.data();
    jxsDatabuf_v2 out;
    out.setExternalBuffer(&request, sizeof request);
    ASSERT_TRUE(requester.Send(kArchiveInfo, &out).IsSuccess());
    CNMessageBase mapping(CJXSQLObjectLevelRestore::kSchemaMappingModule,
                          CJXSQLObjectLevelRestore::kSchemaMappingMessage);
    ReceiveXmlAnswer(mapping);
    EXPECT_EQ(mapping.getliststring(1, 1), std::vector<std::string>{"dbo=dbo"});

    xml = XmlOf(App::GetTargetTableHierarchyReq());
    request.xml = xml.data();
    ASSERT_TRUE(requester.Send(kArchiveInfo, &out).IsSuccess());
    CNMessageBase hierarchy(CJXSQLObjectLevelRestore::kTableHierarchyModule,
                            CJXSQLObjectLevelRestore::kTableHierarchyMessage);
    ReceiveXmlAnswer(hierarchy);
    EXPECT_EQ(hierarchy.getliststring(1, 1).size(), 2u);
}

TEST_F(ArchiveAndStatusTest, UnusableArchiveRequestsGetAnErrorMessage) {
    SQLXmlTextRecord_t request;
    jxsDatabuf_v2 out;
    out.setExternalBuffer(&request, sizeof request);
    for (std::string xml : {std::string("not xml"), XmlOf(SQLPmn::GenericResp())}) {
        request.xml = xml.data();
        ASSERT_TRUE(requester.Send(kArchiveInfo, &out).IsSuccess());
        SQLPmn::ErrorMessage error;
        ReceiveXmlAnswer(error);
        EXPECT_LT(error.getint64(SQLPmn::ErrorMessage::kErrorCode), 0) << xml;
    }
}

TEST_F(ArchiveAndStatusTest, StatusUpdateRunsTheOperationOnTheDatabase) {
    SQLPmn::UpdateDatabaseStatusReq request;
    request.setint64(SQLPmn::UpdateDatabaseStatusReq::kOperation, SQLDB_STATE_ONLINE);
    request.setObjectAccessor(SQLPmn::UpdateDatabaseStatusReq::kInstance, InstanceEntity("HOST/INST"));
    request.setstring(SQLPmn::UpdateDatabaseStatusReq::kDatabaseName, "Closed");
    EXPECT_EQ(UpdateStatus(XmlOf(request)).fieldCount(), 0u);
    EXPECT_EQ(Check("HOST/INST", "Closed").fieldCount(), 0u);  // online now

    request.setint64(SQLPmn::UpdateDatabaseStatusReq::kOperation, 12345);
    SQLPmn::GenericResp failed = UpdateStatus(XmlOf(request));
    EXPECT_EQ(failed.getint64(SQLPmn::GenericResp::kErrorCode), 2);
    EXPECT_EQ(failed.getstring(SQLPmn::GenericResp::kErrorText), "Failed to udpate database status.");
}

TEST_F(ArchiveAndStatusTest, StatusUpdateRefusesMissingAndBrokenDocuments) {
    SQLPmn::GenericResp none = UpdateStatus("");
    EXPECT_EQ(none.getint64(SQLPmn::GenericResp::kErrorCode), 1);
    EXPECT_EQ(none.getstring(SQLPmn::GenericResp::kErrorText), "Failed to read the xml message.");
    SQLPmn::GenericResp broken = UpdateStatus("<x");
    EXPECT_EQ(broken.getint64(SQLPmn::GenericResp::kErrorCode), 2);
    EXPECT_EQ(broken.getstring(SQLPmn::GenericResp::kErrorText), "Failed to unserialize the xml message.");
}

}  // namespace
