// Subclient lists, subclient content properties and the pseudo-client
// stored procedure, read from the application model.
#include <gtest/gtest.h>

#include <list>
#include <string>

#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/App_ExecuteSP.h"
#include "JXAppMgr/ApplProperties.h"
#include "JXAppMgr/ClientApplicationList.h"
#include "JXAppMgr/StoredProcedures.h"
#include "JxSQLCommon/records/AppMessages.h"
#include "tests/support/TestRoot.h"

namespace {

class SubclientContentTest : public jxtest::RootedTest {
protected:
    static void AddSubclient(const std::string& id, const std::string& name, const std::string& backupSet) {
        AppModel::Set("subclient/" + id, "name", name);
        AppModel::Set("subclient/" + id, "clientId", "2");
        AppModel::Set("subclient/" + id, "instanceId", "7");
        AppModel::Set("subclient/" + id, "backupSetId", backupSet);
    }
};

TEST_F(SubclientContentTest, SubclientListHoldsTheBackupSetsSubclientsInIdOrder) {
    AddSubclient("100", "default", "50");
    AddSubclient("9", "daily", "50");
    AddSubclient("11", "other set", "51");
    std::list<uint64_t> ids;
    std::list<std::string> names;
    ASSERT_EQ(ClientApplicationList::getSubclientList(ids, names, 2, 81, 7, 50, nullptr, 6), 0);
    EXPECT_EQ(ids, (std::list<uint64_t>{9, 100}));
    EXPECT_EQ(names, (std::list<std::string>{"daily", "default"}));
}

TEST_F(SubclientContentTest, PropertiesComeByTypeAndNumberAndDatabasesHaveTheirName) {
    AddSubclient("9", "daily", "50");
    AppModel::Set("subclient/9", "property118_2", "hr");
    AppModel::Set("subclient/9", "property118_1", "sales");
    AppModel::Set("subclient/9", "property119_1", "fg1");
    AppModel::Set("subclient/9", "property118_x", "ignored");
    PropertiesList list;
    ASSERT_EQ(ApplProperties(9).getProperties(list, nullptr), 0);
    std::list<std::string> databases;
    int others = 0;
    for (const auto& p : list.getList()) {
        if (auto* db = dynamic_cast<const MSSQLDBProperty*>(p.get())) {
            databases.push_back(db->getDBName());
        } else {
            ++others;
        }
    }
    EXPECT_EQ(databases, (std::list<std::string>{"sales", "hr"}));
    EXPECT_EQ(others, 1);
    EXPECT_EQ(ApplProperties(10).getProperties(list, nullptr), JXAPPMGR_E_NO_OBJECT);
}

TEST_F(SubclientContentTest, PseudoClientProcedureAnswersFromTheClientsGuid) {
    AppModel::Set("client/9", "agGuid", "guid-1");
    App::GetSqlClientAndInstanceReq request;
    request.setint64(App::GetSqlClientAndInstanceReq::kRequestKind, 1);
    request.setstring(App::GetSqlClientAndInstanceReq::kGroupGuid, "guid-1");
    std::string requestXml, responseXml;
    ASSERT_EQ(request.serialize(requestXml), kMsgOk);
    App_ExecuteSP procedures;
    ASSERT_EQ(procedures.executeStoredProcedure(kSpGetSqlClientAndInstance, requestXml, responseXml, nullptr), 0);
    App::GetSqlClientAndInstanceResp response;
    ASSERT_EQ(response.unserialize(responseXml), kMsgOk);
    const CNMessageBase* result = response.getObjectAccessor(App::GetSqlClientAndInstanceResp::kResult);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->getint64(App::GetSqlClientAndInstanceResp::kPseudoClientConfigured), 1);

    std::string untouched = "kept";
    EXPECT_NE(procedures.executeStoredProcedure(kSpGetSqlClientAndInstance, "<bad", untouched, nullptr), 0);
    EXPECT_EQ(procedures.executeStoredProcedure(0x1234, requestXml, untouched, nullptr), JXAPPMGR_E_NO_PROCEDURE);
    EXPECT_EQ(untouched, "kept");
}

}  // namespace
