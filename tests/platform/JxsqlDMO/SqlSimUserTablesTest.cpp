// User tables and active-source views of the simulated instance, and the
// CsqlDMO operations of archiving and database status over them.
#include <gtest/gtest.h>

#include <string>

#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "JxsqlDMO/SqlSimUserTables.h"
#include "tests/support/TestRoot.h"

namespace {

class SqlSimUserTablesTest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        SqlSimServerSpec server;
        server.name = "HOST";
        ASSERT_TRUE(instance.Create(server).IsSuccess());
        SqlSimDatabaseSpec database;
        database.name = "it's [db]";
        ASSERT_TRUE(instance.AddDatabase(database).IsSuccess());
    }
    SqlSimInstance instance;
};

TEST_F(SqlSimUserTablesTest, NamesHaveOneOptionalSchema) {
    SqlSimObjectName name;
    ASSERT_TRUE(SqlSimUserTables::ParseName("Orders", name).IsSuccess());
    EXPECT_EQ(name.schema, "dbo");
    ASSERT_TRUE(SqlSimUserTables::ParseName("arch.Orders", name).IsSuccess());
    EXPECT_EQ(name.schema, "arch");
    EXPECT_EQ(name.name, "Orders");
    for (const char* bad : {"", ".Orders", "arch.", "a.b.c"}) {
        EXPECT_TRUE(SqlSimUserTables::ParseName(bad, name).IsError()) << bad;
    }
}

TEST_F(SqlSimUserTablesTest, QuotedNamesAreStoredAsTheyAre) {
    SqlSimUserTables tables(instance.Db());
    SqlSimObjectName table{"dbo", "o'rders]; DROP TABLE databases; --"};
    ASSERT_TRUE(tables.AddTable("it's [db]", table, 2).IsSuccess());
    CsqlDMO dmo;
    ASSERT_TRUE(dmo.initialize("HOST"));
    std::string rows;
    EXPECT_TRUE(dmo.CheckIfRowsToArchive("IT'S [DB]", "o'rders]; DROP TABLE databases; --", rows));
    EXPECT_EQ(rows, "2");
    EXPECT_TRUE(dmo.CreateSourceView("it's [db]", "d", "1", "", "o'rders]; DROP TABLE databases; --"));
    std::string source, definition;
    EXPECT_TRUE(tables.ViewOf("it's [db]", {"dbo", "JX_SV_o'rders]; DROP TABLE databases; --"}, source, definition)
                    .IsSuccess());
    EXPECT_TRUE(dmo.isDatabaseOnline("HOST", "it's [db]"));
}

TEST_F(SqlSimUserTablesTest, StatusOperationsSetTheStateAndRefuseUnknownNumbers) {
    CsqlDMO dmo;
    EXPECT_TRUE(dmo.updateDatabaseStatus(L"HOST", "it's [db]", SQLDB_STATE_OFFLINE));
    EXPECT_FALSE(dmo.isDatabaseOnline("HOST", "it's [db]"));
    EXPECT_FALSE(dmo.updateDatabaseStatus(L"HOST", "it's [db]", 3));  // two states at once
    EXPECT_FALSE(dmo.updateDatabaseStatus(L"HOST", "nosuchdb", SQLDB_STATE_ONLINE));
    EXPECT_TRUE(dmo.updateDatabaseStatus(L"HOST", "it's [db]", SQLDB_STATE_ONLINE));
    EXPECT_TRUE(dmo.isDatabaseOnline("HOST", "it's [db]"));
}

TEST_F(SqlSimUserTablesTest, ViewsNeedAnOnlineDatabaseAndAnExistingTable) {
    SqlSimUserTables tables(instance.Db());
    ASSERT_TRUE(tables.AddTable("it's [db]", {"dbo", "T"}, 1).IsSuccess());
    CsqlDMO dmo;
    EXPECT_FALSE(dmo.CreateSourceView("it's [db]", "d", "1", "", "T"));  // not connected
    ASSERT_TRUE(dmo.initialize("HOST"));
    EXPECT_FALSE(dmo.CreateSourceView("it's [db]", "d", "1", "", "Missing"));
    ASSERT_TRUE(instance.SetDatabaseState("it's [db]", SQLDB_STATE_RESTORING).IsSuccess());
    EXPECT_FALSE(dmo.CreateSourceView("it's [db]", "d", "1", "", "T"));
}

}  // namespace
