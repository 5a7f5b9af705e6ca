// The jobs' bookkeeping requests against the central-server stand-in.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/SqlConversionRuleRecords.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"
#include "tests/support/TestRoot.h"
#include "tools/jxserve/JxServeBackupSets.h"
#include "tools/jxserve/JxServeJobBookkeeping.h"

namespace {

using JobBookkeepingTest = jxtest::CentralServerTest;

TEST_F(JobBookkeepingTest, MarkNameFoundOrNotFound) {
    JxServeAddMarkName(3, "sales", 1000, "before-upgrade");
    CSQLClientDll client;
    std::string mark = "unchanged";
    ASSERT_TRUE(client.getMarkName("ignored", 3, "sales", 900, mark));
    EXPECT_EQ(mark, "before-upgrade");

    mark = "unchanged";
    EXPECT_FALSE(client.getMarkName("ignored", 3, "sales", 2000, mark));  // status 1
    EXPECT_EQ(mark, "unchanged");
    EXPECT_FALSE(client.getMarkName("ignored", 4, "sales", 900, mark));
    EXPECT_EQ(mark, "unchanged");
}

// Without a set-up answer the marks the log backup jobs sent answer: the
// database's first mark at or after the time.
TEST_F(JobBookkeepingTest, MarkNameFromTheMarksTheLogJobsSent) {
    JxServeLogMark mark;
    mark.instanceId = 3;
    mark.databaseName = "Stock";
    for (const auto& [name, time, value] : {std::tuple{"late", "2021-03-05 08:00:00", 20},
                                            std::tuple{"early", "2021-03-05 07:08:09", 10},
                                            std::tuple{"garbled", "soon", 5}}) {
        mark.markName = name;
        mark.markTime = time;
        mark.value = value;
        JxServeAddLogMark(mark);
    }
    CSQLClientDll client;
    std::string found;
    ASSERT_TRUE(client.getMarkName("ignored", 3, "Stock", 1614928000, found));
    EXPECT_EQ(found, "early");
    ASSERT_TRUE(client.getMarkName("ignored", 3, "stock", 1614928089, found));
    EXPECT_EQ(found, "early") << "a mark at the very second, database named in another case";
    ASSERT_TRUE(client.getMarkName("ignored", 3, "Stock", 1614928090, found));
    EXPECT_EQ(found, "late");

    found = "unchanged";
    EXPECT_FALSE(client.getMarkName("ignored", 3, "Stock", 1614931201, found));
    EXPECT_FALSE(client.getMarkName("ignored", 3, "Stock", ~0ul, found));
    EXPECT_FALSE(client.getMarkName("ignored", 4, "Stock", 0, found));
    EXPECT_EQ(found, "unchanged");
}

// The restore job asks with its whole entry: the database, then the 0x12
// separator and the file group or file chosen. The mark is the database's.
TEST_F(JobBookkeepingTest, MarkNameOfARestoreEntryIsItsDatabases) {
    JxServeAddMarkName(3, "sales", 1000, "before-upgrade");
    JxServeLogMark mark;
    mark.instanceId = 3;
    mark.databaseName = "Stock";
    mark.markName = "early";
    mark.markTime = "2021-03-05 07:08:09";
    mark.value = 10;
    JxServeAddLogMark(mark);

    CSQLClientDll client;
    std::string found;
    ASSERT_TRUE(client.getMarkName("ignored", 3, std::string("sales\x12") + "grp1", 900, found));
    EXPECT_EQ(found, "before-upgrade");
    found.clear();
    ASSERT_TRUE(
        client.getMarkName("ignored", 3, std::string("Stock\x12") + "PRIMARY\x12" + "stock_data", 1614928000, found));
    EXPECT_EQ(found, "early");

    // Only the part before the separator names the database.
    found = "unchanged";
    EXPECT_FALSE(client.getMarkName("ignored", 3, std::string("\x12") + "sales", 900, found));
    EXPECT_EQ(found, "unchanged");
}

TEST_F(JobBookkeepingTest, ConversionRulesExchangeTheCallersRecords) {
    JxServeConversionRule rule;
    rule.instanceId = 9;
    rule.databaseName = "sales";
    rule.pointInTimeRestored = 1;
    rule.previousBackup = 77;
    rule.logBackupsSinceFull = 4;
    JxServeAddConversionRule(rule);

    CSQLClientDll client;
    char sales[] = "sales", fresh[] = "fresh";
    SqlDatabaseBackupInfo_V2 databases[2];
    databases[0].databaseName = sales;
    databases[1].databaseName = fresh;
    SqlBackupConversionRulesReq_V4_t request;
    request.databaseCount = 2;
    request.databases = databases;
    request.instanceId = 9;
    client.getDataBuffer()->setExternalBuffer(&request, sizeof request);
    SqlBackupConversionRulesRsp_V2_t reply;
    client.getReceiveDataBuffer()->setExternalBuffer(&reply, sizeof reply);
    ASSERT_TRUE(client.checkBackupConversionRules());
    ASSERT_EQ(reply.databaseCount, 2u);
    EXPECT_STREQ(reply.databases[0].databaseName, "sales");
    EXPECT_EQ(reply.databases[0].pointInTimeRestored, 1u);
    EXPECT_EQ(reply.databases[0].previousBackup, 77u);
    EXPECT_EQ(reply.databases[0].logBackupsSinceFull, 4u);
    EXPECT_EQ(reply.databases[1].previousBackup, 0u);
    EXPECT_TRUE(client.FreeReceivedMessage(0x1e0000cb).IsSuccess());
    EXPECT_EQ(reply.databases, nullptr);
}

TEST_F(JobBookkeepingTest, CleanupAppendsCleanedNamesAndReportsStatus) {
    JxServeAddUncommittedEntry(11, "a");
    JxServeAddUncommittedEntry(11, "b");
    JxServeAddUncommittedEntry(12, "c");
    CSQLClientDll client;
    std::vector<std::string> cleaned{"earlier"};
    ASSERT_TRUE(client.cleanUncommitedEntries(11, 1, "", cleaned));
    EXPECT_EQ(cleaned, (std::vector<std::string>{"earlier", "a", "b"}));
    EXPECT_TRUE(JxServeUncommittedEntries(11).empty());

    // A failure status still hands over the names that were cleaned.
    JxServeSetCleanupStatus(12, 2);
    cleaned.clear();
    EXPECT_FALSE(client.cleanUncommitedEntries(12, 1, "c", cleaned));
    EXPECT_EQ(cleaned, (std::vector<std::string>{"c"}));
}

TEST_F(JobBookkeepingTest, AzureCleanupReportsStatus) {
    JxServeAddUncommittedEntry(13, "x");
    CSQLClientDll client;
    EXPECT_TRUE(client.cleanUncommitedEntriesForAzure(13, "x"));
    EXPECT_TRUE(JxServeUncommittedEntries(13).empty());
    JxServeSetCleanupStatus(14, 1);
    EXPECT_FALSE(client.cleanUncommitedEntriesForAzure(14, "y"));
}

TEST_F(JobBookkeepingTest, LastVssFullBackupTime) {
    JxServeSetLastVssFullTime(1, 2, "2021-03-05 14:07:09");
    CSQLClientDll client;
    std::string time;
    ASSERT_TRUE(client.getLastVssFullBackupTime(1, "text", 2, time));
    EXPECT_EQ(time, "2021-03-05 14:07:09");
    EXPECT_FALSE(client.getLastVssFullBackupTime(1, "text", 3, time));
}

TEST_F(JobBookkeepingTest, ACLUpdateFailsWhenTheCentralServerAnswersWithAnErrorCode) {
    CSQLClientDll client;
    EXPECT_TRUE(client.updateACLInfo(-3, 8, "acl text"));
    EXPECT_EQ(JxServeACLInfo(-3, 8), "acl text");

    JxServeSetACLReplyError(5);
    EXPECT_FALSE(client.updateACLInfo(-3, 8, "other text"));
    EXPECT_NE(jxtest::ReadWholeFile(EvDebug::LogFilePath())
                  .find("The central server refused the ACL info with error code [5]."),
              std::string::npos);
}

TEST_F(JobBookkeepingTest, JobInfoCodesZeroAndThreeSucceed) {
    JxServeSetJobInfo(21, 1, 0, "job twenty-one");
    JxServeSetJobInfo(22, 1, 3, "present but not used");
    JxServeSetJobInfo(23, 1, 9, "broken");
    CSQLClientDll client;
    std::string info = "stale";
    ASSERT_TRUE(client.getSqlJobInfo(21, 1, info));
    EXPECT_EQ(info, "job twenty-one");
    ASSERT_TRUE(client.getSqlJobInfo(22, 1, info));
    EXPECT_EQ(info, "");
    EXPECT_FALSE(client.getSqlJobInfo(23, 1, info));
    EXPECT_EQ(info, "");
}

TEST_F(JobBookkeepingTest, SharePointContentDatabasesOfThisInstanceOnly) {
    AppModel::Set("client/31", "name", "sqlclient");
    AppModel::Set("client/31", "hostName", "sqlhost");
    AppModel::Set("subclient/41", "spContentDBServerName", "clientA/inst1");
    AppModel::Set("subclient/41", "spContentDBName_1", "WSS_1");
    AppModel::Set("subclient/41", "spContentDBName_2", "WSS_2");
    AppModel::Set("subclient/42", "spContentDBServerName", "clientA/inst2");
    AppModel::Set("subclient/42", "spContentDBName_1", "WSS_9");
    JxServeAddSharePointSubclient(31, 41);
    JxServeAddSharePointSubclient(31, 42);
    JxServeAddSharePointSubclient(31, 43);  // not in the model: skipped
    CSQLClientDll client;
    std::set<std::string> skip{"kept"};
    ASSERT_TRUE(client.lookupSpContentDBbyClientId(2, "SQLHOST\\INST1", 31, skip));
    EXPECT_EQ(skip, (std::set<std::string>{"kept", "WSS_1", "WSS_2"}));

    skip.clear();
    EXPECT_TRUE(client.lookupSpContentDBbyClientId(2, "SQLHOST\\INST1", 32, skip));  // no subclients
    EXPECT_TRUE(skip.empty());
}

TEST_F(JobBookkeepingTest, CredentialsOfClientAndInstance) {
    JxServeSetCredentials({51, 61, 2, "sa", "secret", 4});
    JxServeSetCredentials({51, 0, 1, "clientwide", "pw", 1});
    CSQLClientDll client;
    unsigned long type = 0, level = 0;
    std::string user, password;
    ASSERT_TRUE(client.getMSSQLAuthentication(51, 61, false, false, type, user, password, level));
    EXPECT_EQ(type, 2u);
    EXPECT_EQ(user, "sa");
    EXPECT_EQ(password, "secret");
    EXPECT_EQ(level, 4u);
    ASSERT_TRUE(client.getMSSQLAuthentication(51, 61, true, false, type, user, password, level));
    EXPECT_EQ(user, "clientwide");
}

TEST_F(JobBookkeepingTest, EveryOperationFailsWhenTheCentralServerIsUnreachable) {
    host.Stop();
    CSQLClientDll client;
    std::string text;
    std::vector<std::string> names;
    std::set<std::string> skip;
    unsigned long a = 0, b = 0;
    EXPECT_FALSE(client.getMarkName("", 1, "d", 1, text));
    EXPECT_FALSE(client.cleanUncommitedEntries(1, 1, "d", names));
    EXPECT_FALSE(client.updateACLInfo(1, 1, "x"));
    EXPECT_FALSE(client.getSqlJobInfo(1, 1, text));
    EXPECT_FALSE(client.lookupSpContentDBbyClientId(1, "i", 1, skip));
    EXPECT_FALSE(client.getMSSQLAuthentication(1, 1, false, false, a, text, text, b));
}

TEST(EscapedDbNameTest, DoublesQuotesAndBrackets) {
    EXPECT_EQ(CSQLClientDll::getEscapedDbName("plain"), "plain");
    EXPECT_EQ(CSQLClientDll::getEscapedDbName("a'b[c]d"), "a''b[[c]]d");
    EXPECT_EQ(CSQLClientDll::getEscapedDbName("]"), "]]");
    EXPECT_EQ(CSQLClientDll::getEscapedDbName("''"), "''''");
    EXPECT_EQ(CSQLClientDll::getEscapedDbName(nullptr), "");
}

}  // namespace
