// Behaviour of the SQLite wrapper: opening, statement building, the busy
// retry and the refusals.
#include "JxSQLCommon/state/CSQLiteBase.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

#include "WzSQLite/CSQLite3DB.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzClock.h"
#include "tests/JxSQLCommon/state/DumpFolderTest.h"
#include "tests/support/TestRoot.h"

namespace {

class CSQLiteBaseTest : public statetest::DumpFolderTest {};

TEST_F(CSQLiteBaseTest, OpenDBNeedsTheFileAndOpenOrCreateDBMakesIt) {
    CSQLiteBase db(Folder(), "state");
    EXPECT_EQ(Folder() + "/state.db", db.GetFullDatabaseName());
    CWzError e = db.OpenDB();
    EXPECT_EQ(2u, FXErrorUtil::GetWin32(e));
    EXPECT_FALSE(db.Exists());
    EXPECT_FALSE(db.Connected());
    ASSERT_FALSE(db.OpenOrCreateDB().IsError());
    EXPECT_TRUE(db.Exists());
    EXPECT_TRUE(db.Connected());
    db.CloseDB();
    EXPECT_FALSE(db.Connected());
    EXPECT_FALSE(db.OpenDB().IsError());

    EXPECT_EQ(4306u, FXErrorUtil::GetWin32(CSQLiteBase(Folder(), "").OpenOrCreateDB()));
    EXPECT_EQ(4306u, FXErrorUtil::GetWin32(CSQLiteBase("", "state").OpenOrCreateDB()));
    // The root folder is a folder like any other.
    EXPECT_EQ(2u, FXErrorUtil::GetWin32(CSQLiteBase("/", "jx-no-such-state-database").OpenDB()));
}

TEST_F(CSQLiteBaseTest, StatementsNeedAConnection) {
    CSQLiteBase db(Folder(), "state");
    int64_t result = 0;
    EXPECT_EQ(WZ_E_POINTER, db.ExecDML("SELECT 1", result, true).GetErrorCode());
    EXPECT_EQ(WZ_E_INVALIDARG, db.ExecDML("", result, true).GetErrorCode());
    EXPECT_EQ(87u, FXErrorUtil::GetWin32(db.Insert("T", "x", std::vector<FX::CSQLite3Sql>{"1"})));
    EXPECT_EQ(nullptr, db.ExecuteQuery("SELECT 1"));
    EXPECT_EQ(0, db.GetTotalRows("T", ""));
}

TEST_F(CSQLiteBaseTest, CreateTableMakesTableAndIndexOnlyWhenNew) {
    CSQLiteBase db(Folder(), "state");
    ASSERT_FALSE(db.OpenOrCreateDB().IsError());
    ASSERT_FALSE(db.CreateTable("T", "x INTEGER, y TEXT", "", "").IsError());
    // The table exists now: its index is not looked at.
    ASSERT_FALSE(db.CreateTable("T", "x INTEGER, y TEXT", "IDX_T", "x ASC").IsError());
    bool exists = true;
    ASSERT_FALSE(db.DoesSQLObjectExists("IDX_T", exists).IsError());
    EXPECT_FALSE(exists);
    ASSERT_FALSE(db.CreateTable("U", "x INTEGER", "IDX_U", "x ASC").IsError());
    ASSERT_FALSE(db.DoesSQLObjectExists("IDX_U", exists).IsError());
    EXPECT_TRUE(exists);
    EXPECT_EQ(2u, FXErrorUtil::GetWin32(db.CreateTable("V", "not a schema (", "", "")));
    EXPECT_EQ("tableSchema is empty", db.CreateTable("V", "", "", "").GetMessage());
}

TEST_F(CSQLiteBaseTest, InsertUpdateDeleteAndCount) {
    CSQLiteBase db(Folder(), "state");
    ASSERT_FALSE(db.OpenOrCreateDB().IsError());
    ASSERT_FALSE(db.CreateTable("T", "x INTEGER UNIQUE, y TEXT", "", "").IsError());
    ASSERT_FALSE(db.Insert("T", "x, y", std::vector<FX::CSQLite3Sql>{"1,'a'", "2,'b'"}).IsError());
    ASSERT_FALSE(db.Insert("T", "x, y", FX::CSQLite3Sql("?,?", {int64_t{3}, std::string("O'Neil")})).IsError());
    ASSERT_FALSE(db.Insert("T", "x, y", "1,'again'").IsError());  // OR IGNORE
    EXPECT_EQ(87u, FXErrorUtil::GetWin32(db.Insert("T", "x, y", std::vector<FX::CSQLite3Sql>{})));
    EXPECT_EQ(87u, FXErrorUtil::GetWin32(db.Insert("T", "x, y", FX::CSQLite3Sql(""))));
    EXPECT_EQ(3, db.GetTotalRows("T", ""));
    EXPECT_EQ(1, db.GetTotalRows("T", FX::CSQLite3Sql("y = ?", {std::string("O'Neil")})));

    int64_t changed = -1;
    ASSERT_FALSE(db.Update("T", FX::CSQLite3Sql("y = ?", {std::string("z")}), changed, "x > 1").IsError());
    EXPECT_EQ(2, changed);
    ASSERT_FALSE(db.Delete("T", changed, "y = 'z'").IsError());
    EXPECT_EQ(2, changed);
    long count = 0;
    ASSERT_FALSE(db.ExecScalarInt64("SELECT COUNT(*) FROM T", count).IsError());
    EXPECT_EQ(1, count);
    EXPECT_EQ(0, db.GetTotalRows("", ""));
}

TEST_F(CSQLiteBaseTest, NamesWithQuotesStayNames) {
    CSQLiteBase db(Folder(), "state");
    ASSERT_FALSE(db.OpenOrCreateDB().IsError());
    ASSERT_FALSE(db.CreateTable("a\"b", "x INTEGER", "i]x", "x").IsError());
    bool exists = false;
    ASSERT_FALSE(db.DoesSQLObjectExists("i]x", exists).IsError());
    EXPECT_TRUE(exists);
    ASSERT_FALSE(db.DropTable("a\"b").IsError());
    ASSERT_FALSE(db.DoesSQLObjectExists("a\"b", exists).IsError());
    EXPECT_FALSE(exists);
    EXPECT_FALSE(db.DropTable("never'made").IsError());
}

TEST_F(CSQLiteBaseTest, FailedStatementKeepsTheSQLiteCodeAndNamesTheQuery) {
    CSQLiteBase db(Folder(), "state");
    ASSERT_FALSE(db.OpenOrCreateDB().IsError());
    int64_t result = 0;
    CWzError e = db.ExecDML("SELECT * FROM missing", result, false);
    EXPECT_EQ(1, FXErrorUtil::GetSQLite(e));
    EXPECT_NE(std::string::npos, e.AsString().find("Failed to execute the query [SELECT * FROM missing]"));
    EXPECT_EQ(nullptr, db.ExecuteQuery("SELECT * FROM missing"));
}

TEST_F(CSQLiteBaseTest, BusyDatabaseIsTried60TimesThenFails) {
    CSQLiteBase db(Folder(), "state");
    ASSERT_FALSE(db.OpenOrCreateDB().IsError());
    ASSERT_FALSE(db.CreateTable("T", "x INTEGER", "", "").IsError());
    FX::CSQLite3DB holder(db.GetFullDatabaseName());
    holder.ExecDML("BEGIN EXCLUSIVE");

    int64_t changed = 0;
    const int64_t start = wz::ClockMs();
    CWzError e = db.ExecDML("INSERT INTO T VALUES (1)", changed, false);
    const int64_t waited = wz::ClockMs() - start;
    EXPECT_EQ(5, FXErrorUtil::GetSQLite(e));
    EXPECT_NE(std::string::npos, e.AsString().find("Failed to execute the query"));
    EXPECT_GE(waited, 120000);  // 60 sleeps of 2 s platform time
    holder.ExecDML("ROLLBACK");
}

TEST_F(CSQLiteBaseTest, BusyDatabaseThatFreesUpIsWaitedFor) {
    CSQLiteBase db(Folder(), "state");
    ASSERT_FALSE(db.OpenOrCreateDB().IsError());
    ASSERT_FALSE(db.CreateTable("T", "x INTEGER", "", "").IsError());
    FX::CSQLite3DB holder(db.GetFullDatabaseName());
    holder.ExecDML("BEGIN EXCLUSIVE");
    std::thread release([&] {
        WZSLEEP_InTeRnAl(10000);  // 10 ms real
        holder.ExecDML("COMMIT");
    });
    int64_t changed = 0;
    CWzError e = db.ExecDML("INSERT INTO T VALUES (1)", changed, false);
    release.join();
    EXPECT_FALSE(e.IsError()) << e.AsString();
    EXPECT_EQ(1, changed);
}

TEST_F(CSQLiteBaseTest, CursorReadsRowsOfAQuery) {
    CSQLiteBase db(Folder(), "state");
    ASSERT_FALSE(db.OpenOrCreateDB().IsError());
    ASSERT_FALSE(db.CreateTable("T", "x INTEGER, y TEXT", "", "").IsError());
    ASSERT_FALSE(db.Insert("T", "x, y", std::vector<FX::CSQLite3Sql>{"2,'b'", "1,'a'"}).IsError());
    std::unique_ptr<SQueryHandle> query = db.ExecuteQuery("SELECT y FROM T ORDER BY x");
    ASSERT_NE(nullptr, query);
    std::string seen;
    while (query->m_query->NextRow()) seen += query->m_query->GetStringField(0);
    EXPECT_EQ("ab", seen);
    EXPECT_EQ(nullptr, db.ExecuteQuery(""));
}

}  // namespace
