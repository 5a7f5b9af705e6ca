// Restore-task options from the central-server stand-in, the restore list
// built from them and the date text of a point in time.
#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "JxSQLCommon/records/SqlRestoreRecords.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"
#include "tests/JxSQLMessageHandler/service/SimInstanceSetup.h"
#include "tools/jxserve/JxServeRestoreStore.h"

namespace {

const std::string kSep(1, '\x12');

std::string Join(std::initializer_list<std::string> fields) {
    std::string out;
    for (const std::string& f : fields) out += (out.empty() ? "" : kSep) + f;
    return out;
}

JxServeRestoreTask SampleTask() {
    JxServeRestoreTask task;
    task.archiveSelector = 11;
    task.sourceClientId = 2;
    task.destinationClientId = 3;
    task.sourceInstanceId = 7;
    task.destinationInstanceId = 8;
    task.copyPrecedence = 1;
    task.pointInTime = 1614928089;
    task.optionFlags = 0x41;
    task.standbyUndoFile = "/var/opt/mssql/undo.ldf";
    task.dateFormatKind = 2;
    task.databases = {"a", "b" + kSep + "x", "c"};
    task.relocations = {"r1", "r2"};
    return task;
}

class RestoreOptionsRequestsTest : public jxtest::CentralServerTest {};

TEST_F(RestoreOptionsRequestsTest, XdrFormCopiesTheTaskWithEntriesReversed) {
    JxServePutRestoreTask(5, SampleTask());
    CSQLClientDll client;
    SqlRestoreTaskOptions_t options;
    options.snapDestination.instanceId = 99;
    ASSERT_TRUE(client.getRestoreTaskOptions(5, options));
    EXPECT_EQ(options.archiveSelector, 11u);
    EXPECT_EQ(options.sourceClientId, 2u);
    EXPECT_EQ(options.destinationClientId, 3u);
    EXPECT_EQ(options.sourceInstanceId, 7u);
    EXPECT_EQ(options.destinationInstanceId, 8u);
    EXPECT_EQ(options.copyPrecedence, 1u);
    EXPECT_EQ(options.pointInTime, 1614928089u);
    EXPECT_EQ(options.optionFlags, 0x41u);
    EXPECT_EQ(options.standbyUndoFile, "/var/opt/mssql/undo.ldf");
    EXPECT_EQ(options.dateFormatKind, 0u);  // the XDR form does not carry it
    EXPECT_EQ(options.snapDestination.instanceId, 0u);
    EXPECT_EQ(options.databaseEntries, (std::vector<std::string>{"c", "b" + kSep + "x", "a"}));
    EXPECT_EQ(options.relocationEntries, (std::vector<std::string>{"r2", "r1"}));
}

TEST_F(RestoreOptionsRequestsTest, XmlFormCopiesTheTaskWithDateFormatKind) {
    JxServePutRestoreTask(5, SampleTask());
    CSQLClientDll client;
    SqlRestoreTaskOptions_t options;
    ASSERT_TRUE(client.GetRestoreTaskOptions(5, options).IsSuccess());
    EXPECT_EQ(options.sourceClientId, 2u);
    EXPECT_EQ(options.destinationClientId, 3u);
    EXPECT_EQ(options.sourceInstanceId, 7u);
    EXPECT_EQ(options.destinationInstanceId, 8u);
    EXPECT_EQ(options.pointInTime, 1614928089u);
    EXPECT_EQ(options.dateFormatKind, 2u);
    EXPECT_EQ(options.standbyUndoFile, "/var/opt/mssql/undo.ldf");
    EXPECT_EQ(options.databaseEntries, (std::vector<std::string>{"c", "b" + kSep + "x", "a"}));
}

TEST_F(RestoreOptionsRequestsTest, MissingOrEmptyStandbyTextLeavesTheOptionAlone) {
    JxServeRestoreTask task = SampleTask();
    task.standbyUndoFile.reset();
    JxServePutRestoreTask(5, task);
    task.standbyUndoFile = "";
    JxServePutRestoreTask(6, task);
    CSQLClientDll client;
    for (int taskId : {5, 6}) {
        SqlRestoreTaskOptions_t options;
        options.standbyUndoFile = "kept";
        ASSERT_TRUE(client.getRestoreTaskOptions(taskId, options));
        EXPECT_EQ(options.standbyUndoFile, "kept");
        ASSERT_TRUE(client.GetRestoreTaskOptions(taskId, options).IsSuccess());
        EXPECT_EQ(options.standbyUndoFile, "kept");
    }
}

TEST_F(RestoreOptionsRequestsTest, UnknownTaskIsAnErrorOfTheXmlForm) {
    CSQLClientDll client;
    SqlRestoreTaskOptions_t options;
    CWzError e = client.GetRestoreTaskOptions(404, options);
    EXPECT_TRUE(e.IsError());
    EXPECT_TRUE(options.databaseEntries.empty());
}

class PopulateRestoreOptionsTest : public jxtest::CentralServerTest {
protected:
    void SetUp() override {
        CentralServerTest::SetUp();
        jxtest::CreateSimInstance(instance, "node1/INST", {"sales", "db1", "db1_new"});
    }
    std::vector<std::string> Names(const std::list<SqlRestoreDbInfo_t>& list) {
        std::vector<std::string> out;
        for (const auto& r : list) out.push_back(CSQLClientDll::ParseDatabase(r.sDbName));
        return out;
    }

    SqlSimInstance instance;
    CSQLClientDll client;
    SqlRestoreTaskOptions_t options;
    std::list<SqlRestoreDbInfo_t> databases;
};

TEST_F(PopulateRestoreOptionsTest, SystemDatabasesComeFirstInTheirOrder) {
    options.databaseEntries = {"msdb", "sales" + kSep + "x", "model", "master", "unknown"};
    databases.push_back(SqlRestoreDbInfo_t());  // replaced
    ASSERT_TRUE(client.populateRestoreTaskOptions("node1/INST", options, databases, false));
    EXPECT_EQ(Names(databases), (std::vector<std::string>{"master", "msdb", "model", "sales", "unknown"}));
    EXPECT_EQ(databases.front().databaseId, 1u);
    EXPECT_EQ(databases.back().databaseId, 0u);
    EXPECT_EQ(std::next(databases.begin(), 3)->sDbName, "sales" + kSep + "x");
}

TEST_F(PopulateRestoreOptionsTest, ALaterEntryOfTheSameSystemDatabaseWins) {
    options.databaseEntries = {"master" + kSep + "first", "sales", "master" + kSep + "second"};
    ASSERT_TRUE(client.populateRestoreTaskOptions("node1/INST", options, databases, false));
    ASSERT_EQ(databases.size(), 2u);
    EXPECT_EQ(databases.front().sDbName, "master" + kSep + "second");
}

TEST_F(PopulateRestoreOptionsTest, RelocationsApplyIgnoringCaseAndFixDoubleSlashes) {
    options.databaseEntries = {"db1", "sales"};
    options.relocationEntries = {Join({"DB1", "db1_new", "f1", "/data//a.mdf", "/new//a.mdf"}),
                                 Join({"db1", "db1_new", "f2", "/data/b.ldf"}), Join({"sales", "sales2", "f3"}),
                                 Join({"nosuch", "x", "f", "/a", "/b"})};
    ASSERT_TRUE(client.populateRestoreTaskOptions("node1/INST", options, databases, false));
    ASSERT_EQ(databases.size(), 2u);
    const SqlRestoreDbInfo_t& db1 = databases.front();
    EXPECT_EQ(db1.newDbName, "db1_new");
    EXPECT_EQ(db1.relocationList, (std::list<std::string>{"f1", "f2"}));
    EXPECT_EQ(db1.oldFiles, (std::list<std::string>{"/data/a.mdf", "/data/b.ldf"}));
    EXPECT_EQ(db1.newFiles, (std::list<std::string>{"/new/a.mdf"}));
    int64_t newId = 0;
    ASSERT_TRUE(instance.DatabaseId("db1_new", newId).IsSuccess());
    EXPECT_EQ(db1.databaseId, static_cast<uint64_t>(newId));  // looked up under the new name
    const SqlRestoreDbInfo_t& sales = databases.back();
    EXPECT_EQ(sales.newDbName, "sales2");
    EXPECT_TRUE(sales.relocationList.empty());
    EXPECT_TRUE(sales.oldFiles.empty());
}

TEST_F(PopulateRestoreOptionsTest, WithoutAnInstanceNoIdIsLookedUpAndOrderIsKept) {
    options.databaseEntries = {"sales", "master", "msdb"};
    ASSERT_TRUE(client.populateRestoreTaskOptions("node1/INST", options, databases, true));
    EXPECT_EQ(Names(databases), (std::vector<std::string>{"sales", "master", "msdb"}));
    for (const auto& r : databases) EXPECT_EQ(r.databaseId, 0u);
}

class ConvertTzSpecTimeToStringTest : public jxtest::RootedTest {};

TEST_F(ConvertTzSpecTimeToStringTest, FormatsTheUtcTimeByKind) {
    CSQLClientDll client;
    const unsigned long time = 1614928089;  // 2021-03-05 07:08:09 UTC
    std::string out;
    const std::pair<unsigned long, const char*> cases[] = {
        {1, "03-05-2021 07:08:09"}, {2, "05-03-2021 07:08:09"}, {0, "2021-03-05 07:08:09"}, {9, "2021-03-05 07:08:09"}};
    for (const auto& [kind, expected] : cases) {
        client.ConvertTzSpecTimeToString(time, kind, false, out);
        EXPECT_EQ(out, expected) << kind;
    }
    client.ConvertTzSpecTimeToString(time, 1, true, out);
    EXPECT_EQ(out, "'03-05-2021 07:08:09'");
}

TEST(ParseDatabaseTest, NameIsTheTextBeforeTheFirstSeparator) {
    EXPECT_EQ(CSQLClientDll::ParseDatabase("sales" + kSep + "more" + kSep + "x"), "sales");
    EXPECT_EQ(CSQLClientDll::ParseDatabase("sales"), "sales");
    EXPECT_EQ(CSQLClientDll::ParseDatabase(kSep + "more"), "");
}

}  // namespace
