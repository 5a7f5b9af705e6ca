// The status tab the stored procedures keep, read back through the central
// server's job-information request.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "JXAppMgr/App_ExecuteSP.h"
#include "JXAppMgr/StatusTabStore.h"
#include "JxSQLCommon/records/AppMessages.h"
#include "JxSQLCommon/records/JobManagerMessages.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"

namespace {

using JobManager::SQLJobInfo;
using JobManager::SQLStatusTab;
using StatusTabStoreTest = jxtest::CentralServerTest;

SQLStatusTab Record(const std::string& database, int64_t status, const std::string& reason = "") {
    SQLStatusTab tab;
    tab.setstring(SQLStatusTab::kDatabaseName, database);
    tab.setint64(SQLStatusTab::kStatus, status);
    tab.setstring(SQLStatusTab::kReason, reason);
    return tab;
}

int SendTab(uint64_t jobId, const SQLStatusTab& tab) {
    SQLJobInfo info;
    info.setint64(SQLJobInfo::kJobId, static_cast<int64_t>(jobId));
    info.setint64(SQLJobInfo::kJxCellId, 2);
    info.setlistobject(SQLJobInfo::kStatusTabs, std::vector<SQLStatusTab>{tab});
    std::string xml, out;
    EXPECT_EQ(info.serialize(xml), kMsgOk);
    int rc = App_ExecuteSP().executeStoredProcedure(0x15CF047D, xml, out, nullptr);
    if (rc == 0) {
        App::GenericResp response;
        EXPECT_EQ(response.unserialize(out), kMsgOk);
        EXPECT_EQ(response.getint64(App::GenericResp::kErrorCode), 0);
    }
    return rc;
}

TEST_F(StatusTabStoreTest, NewestRecordOfADatabaseReplacesTheOlderInItsPlace) {
    ASSERT_EQ(SendTab(7, Record("alpha", 5)), 0);
    ASSERT_EQ(SendTab(7, Record("beta", 5)), 0);
    ASSERT_EQ(SendTab(7, Record("alpha", 1, "done")), 0);
    ASSERT_EQ(SendTab(8, Record("gamma", 5)), 0);  // another job's tab

    CSQLClientDll client;
    std::string xml;
    ASSERT_TRUE(client.getSqlJobInfo(7, 2, xml));
    SQLJobInfo info;
    ASSERT_EQ(info.unserialize(xml), kMsgOk);
    EXPECT_EQ(info.getint64(SQLJobInfo::kJobId), 7);
    std::vector<SQLStatusTab> tabs;
    ASSERT_TRUE(info.getlistobject(SQLJobInfo::kStatusTabs, tabs));
    ASSERT_EQ(tabs.size(), 2u);
    EXPECT_EQ(tabs[0].getstring(SQLStatusTab::kDatabaseName), "alpha");
    EXPECT_EQ(tabs[0].getint64(SQLStatusTab::kStatus), 1);
    EXPECT_EQ(tabs[0].getstring(SQLStatusTab::kReason), "done");
    EXPECT_EQ(tabs[1].getstring(SQLStatusTab::kDatabaseName), "beta");

    // A job that stored nothing has no information.
    xml = "stale";
    ASSERT_TRUE(client.getSqlJobInfo(9, 2, xml));
    EXPECT_EQ(xml, "");
}

TEST_F(StatusTabStoreTest, DatabaseInformationKeepsOnlyTheTimesThatWereSent) {
    using Req = SQLPmn::SqlUpdateDatabaseInfoReq;
    Req request;
    request.setint64(Req::kInstanceId, 4);
    request.setint64(Req::kApplicationId, 5);
    request.setstring(Req::kDatabaseName, "alpha");
    request.setint64(Req::kRecoveryModel, 3);
    request.setint64(Req::kLastBackupTime, 0);
    request.setint64(Req::kLastFailureTime, 1700000000);
    request.setint64(Req::kJobId, 7);
    request.setint64(Req::kStatus, 2);
    std::string xml, out;
    ASSERT_EQ(request.serialize(xml), kMsgOk);
    ASSERT_EQ(App_ExecuteSP().executeStoredProcedure(0x22E421FE, xml, out, nullptr), 0);
    SQLPmn::SqlUpdateDatabaseInfoResp response;
    ASSERT_EQ(response.unserialize(out), kMsgOk);
    EXPECT_EQ(response.getint64(SQLPmn::SqlUpdateDatabaseInfoResp::kErrorCode), 0);

    statustab::DatabaseInfo info;
    ASSERT_TRUE(statustab::GetDatabaseInfo(4, 5, "alpha", info));
    EXPECT_EQ(info.recoveryModel, 3);
    EXPECT_TRUE(info.hasLastBackupTime);
    EXPECT_EQ(info.lastFailureTime, 1700000000);
    EXPECT_EQ(info.jobId, 7u);
    EXPECT_EQ(info.status, 2);

    request = Req();
    request.setint64(Req::kInstanceId, 4);
    request.setint64(Req::kApplicationId, 5);
    request.setstring(Req::kDatabaseName, "alpha");
    request.setint64(Req::kStatus, 5);
    ASSERT_EQ(request.serialize(xml), kMsgOk);
    ASSERT_EQ(App_ExecuteSP().executeStoredProcedure(0x22E421FE, xml, out, nullptr), 0);
    ASSERT_TRUE(statustab::GetDatabaseInfo(4, 5, "alpha", info));
    EXPECT_FALSE(info.hasLastBackupTime);
    EXPECT_FALSE(info.hasLastFailureTime);
}

TEST_F(StatusTabStoreTest, UnreadableRequestsChangeNothing) {
    std::string out = "untouched";
    EXPECT_NE(App_ExecuteSP().executeStoredProcedure(0x15CF047D, "<not xml", out, nullptr), 0);
    EXPECT_NE(App_ExecuteSP().executeStoredProcedure(0x22E421FE, "", out, nullptr), 0);
    EXPECT_EQ(out, "untouched");
    EXPECT_TRUE(statustab::Records(7, 2).empty());
}

}  // namespace
