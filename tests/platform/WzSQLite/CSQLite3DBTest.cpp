// Behaviour of the SQLite layer: bound values, one statement per call,
// result codes in exceptions, cursors.
#include "WzSQLite/CSQLite3DB.h"

#include <gtest/gtest.h>

#include "tests/support/TestRoot.h"

namespace {

class CSQLite3DBTest : public jxtest::RootedTest {
protected:
    std::string Path() const { return root.File("db/test.db"); }
};

TEST_F(CSQLite3DBTest, BoundValuesNeedNoQuoting) {
    FX::CSQLite3DB db(Path());
    db.ExecDML("CREATE TABLE t (id INTEGER, name TEXT)");
    EXPECT_EQ(1, db.ExecDML(FX::CSQLite3Sql("INSERT INTO t VALUES (?, ?)", {int64_t{1}, std::string("O'Neil")})));
    EXPECT_EQ(1, db.ExecDML(FX::CSQLite3Sql("INSERT INTO t VALUES (?, ?)", {int64_t{1} << 40, std::string("x")})));
    EXPECT_EQ(1, db.ExecScalarInt64(FX::CSQLite3Sql("SELECT id FROM t WHERE name = ?", {std::string("O'Neil")}), -1));
    EXPECT_EQ(int64_t{1} << 40, db.ExecScalarInt64("SELECT MAX(id) FROM t", -1));
    EXPECT_EQ(2, db.ExecDML("UPDATE t SET name = 'y'"));
}

TEST_F(CSQLite3DBTest, ScalarGivesDefaultForNoRowOrNull) {
    FX::CSQLite3DB db(Path());
    db.ExecDML("CREATE TABLE t (id INTEGER)");
    EXPECT_EQ(7, db.ExecScalarInt64("SELECT id FROM t", 7));
    db.ExecDML(FX::CSQLite3Sql("INSERT INTO t VALUES (?)", {std::monostate{}}));
    EXPECT_EQ(7, db.ExecScalarInt64("SELECT id FROM t", 7));
}

TEST_F(CSQLite3DBTest, RefusesSecondStatementAndWrongValueCount) {
    FX::CSQLite3DB db(Path());
    db.ExecDML("CREATE TABLE t (id INTEGER);");
    EXPECT_THROW(db.ExecDML("INSERT INTO t VALUES (1); DROP TABLE t"), FX::CSQLite3Exception);
    EXPECT_THROW(db.ExecDML(FX::CSQLite3Sql("INSERT INTO t VALUES (?)", {})), FX::CSQLite3Exception);
    EXPECT_THROW(db.ExecDML(""), FX::CSQLite3Exception);
    EXPECT_EQ(0, db.ExecScalarInt64("SELECT COUNT(*) FROM t", -1));
}

TEST_F(CSQLite3DBTest, ErrorsCarryTheSQLiteCode) {
    FX::CSQLite3DB db(Path());
    try {
        db.ExecDML("SELECT * FROM missing");
        FAIL();
    } catch (const FX::CSQLite3Exception& e) {
        EXPECT_EQ(1, e.errorCode());
        ASSERT_NE(nullptr, e.errorMessage());
        EXPECT_NE(std::string::npos, std::string(e.errorMessage()).find("missing"));
    }
}

TEST_F(CSQLite3DBTest, BusyDatabaseFailsAtOnceWithCode5) {
    FX::CSQLite3DB holder(Path());
    holder.ExecDML("CREATE TABLE t (id INTEGER)");
    holder.ExecDML("BEGIN EXCLUSIVE");
    FX::CSQLite3DB other(Path());
    try {
        other.ExecDML("INSERT INTO t VALUES (1)");
        FAIL();
    } catch (const FX::CSQLite3Exception& e) {
        EXPECT_EQ(5, e.errorCode());
    }
    holder.ExecDML("COMMIT");
    EXPECT_EQ(1, other.ExecDML("INSERT INTO t VALUES (1)"));
}

TEST_F(CSQLite3DBTest, CursorReadsRowsAndOutlivesTheDatabaseObject) {
    std::shared_ptr<FX::CSQLite3Query> query;
    {
        FX::CSQLite3DB db(Path());
        db.ExecDML("CREATE TABLE t (id INTEGER, name TEXT)");
        db.ExecDML("INSERT INTO t VALUES (1, 'a'), (NULL, NULL)");
        query = db.ExecQuerySetup("SELECT id, name FROM t ORDER BY id DESC");
    }
    ASSERT_TRUE(query->NextRow());
    EXPECT_EQ(1, query->GetIntField(0, -1));
    EXPECT_EQ("a", query->GetStringField(1, "none"));
    EXPECT_EQ("none", query->GetStringField(5, "none"));
    ASSERT_TRUE(query->NextRow());
    EXPECT_EQ(-1, query->GetInt64Field(0, -1));
    EXPECT_EQ("none", query->GetStringField(1, "none"));
    EXPECT_FALSE(query->NextRow());
}

TEST_F(CSQLite3DBTest, OpeningAFolderFails) {
    EXPECT_THROW(FX::CSQLite3DB db(root.path()), FX::CSQLite3Exception);
}

}  // namespace
