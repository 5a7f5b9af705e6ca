// Statements answered from kept rows inside read scopes: they must read what
// running them would, whoever wrote last.
#include "JxsqlDMO/SimSqlDb.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "JxsqlDMO/SqlSimInstance.h"
#include "tests/support/TestRoot.h"

namespace {

class SimSqlReadCacheTest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        SqlSimServerSpec desc;
        desc.name = "host1/prod";
        ASSERT_FALSE(writer.Create(desc).IsError());  // a connection of its own
        ASSERT_FALSE(reader.Open("host1/prod").IsError());  // this thread's shared connection
    }

    // The names of the databases in id order, read in a scope of its own.
    std::vector<std::string> Names() {
        SimSqlReadScope scope;
        return Column(reader.Db(), "SELECT name FROM databases ORDER BY id");
    }
    int64_t State(SimSqlDb& db, const std::string& database) {
        SimSqlStatement q = db.Prepare("SELECT state FROM databases WHERE name = ?");
        q.Bind(1, database);
        return q.Step() ? q.Int(0) : -1;
    }
    static std::vector<std::string> Column(SimSqlDb& db, const std::string& sql) {
        std::vector<std::string> values;
        SimSqlStatement q = db.Prepare(sql);
        while (q.Step()) values.push_back(q.Text(0));
        EXPECT_FALSE(q.Error().IsError()) << q.Error().GetMessage();
        return values;
    }
    void SetState(SimSqlDb& db, const std::string& database, int64_t state) {
        ASSERT_FALSE(
            db.Prepare("UPDATE databases SET state = ? WHERE name = ?").Bind(1, state).Bind(2, database).Run().IsError());
    }

    SqlSimInstance writer;
    SqlSimInstance reader;
};

// Every commit of another connection shows in the next scope, also one that
// changes a value and leaves the file's size and row count as they were.
TEST_F(SimSqlReadCacheTest, EachScopeSeesWhatOthersCommittedBefore) {
    const std::vector<std::string> start = Names();
    EXPECT_EQ(Names(), start);  // answered again, unchanged
    SqlSimDatabaseSpec sales;
    sales.name = "sales";
    ASSERT_FALSE(writer.AddDatabase(sales).IsError());
    std::vector<std::string> withSales = start;
    withSales.push_back("sales");
    EXPECT_EQ(Names(), withSales);

    for (int64_t state : {6, 1, 7}) {
        {
            SimSqlReadScope scope;
            EXPECT_NE(State(reader.Db(), "sales"), state);  // kept from here
        }
        SetState(writer.Db(), "sales", state);
        SimSqlReadScope scope;
        EXPECT_EQ(State(reader.Db(), "sales"), state);
    }
}

// A scope whose statements are all kept takes no lock: it answers with the
// last committed state while a writer holds the file (a read that had to run
// would wait for the writer and fail).
TEST_F(SimSqlReadCacheTest, KeptReadsAnswerWhileAWriterHoldsTheFile) {
    const std::vector<std::string> committed = Names();
    ASSERT_FALSE(writer.Db().Exec("BEGIN EXCLUSIVE").IsError());
    EXPECT_EQ(Names(), committed);
    ASSERT_FALSE(writer.Db().Exec("ROLLBACK").IsError());
}

// A write inside a scope runs each time it is asked for, and the reads after
// it, in the scope and later, show it.
TEST_F(SimSqlReadCacheTest, WritesInsideAScopeRunEachTimeAndShowAfterwards) {
    SetState(writer.Db(), "master", 10);
    for (int64_t expected : {11, 12}) {
        SimSqlReadScope scope;
        EXPECT_EQ(State(reader.Db(), "master"), expected - 1);
        ASSERT_FALSE(reader.Db().Prepare("UPDATE databases SET state = state + 1 WHERE name = 'master'").Run().IsError());
        EXPECT_EQ(State(reader.Db(), "master"), expected);
    }
    EXPECT_EQ(State(writer.Db(), "master"), 12);
    // SQL run past the statements counts as a write as well.
    {
        SimSqlReadScope scope;
        EXPECT_EQ(State(reader.Db(), "master"), 12);
        ASSERT_FALSE(reader.Db().Exec("UPDATE databases SET state = 20 WHERE name = 'master'").IsError());
        EXPECT_EQ(State(reader.Db(), "master"), 20);
    }
    SimSqlReadScope scope;
    EXPECT_EQ(State(reader.Db(), "master"), 20);
}

// Kept rows belong to the SQL with its bindings: other values, or the same
// digits bound as text, read their own rows; a lookup that stopped at its
// first row is kept whole.
TEST_F(SimSqlReadCacheTest, BindingsAndPartlyReadStatementsKeepTheirOwnRows) {
    const std::string all = "SELECT name FROM databases ORDER BY id";
    const std::vector<std::string> names = Column(writer.Db(), all);
    for (int round = 0; round < 2; ++round) {
        SimSqlReadScope scope;
        for (auto [name, id] : {std::pair{"master", 1}, {"model", 3}, {"msdb", 4}}) {
            SimSqlStatement q = reader.Db().Prepare("SELECT id FROM databases WHERE name = ?");
            q.Bind(1, std::string(name));
            ASSERT_TRUE(q.Step());
            EXPECT_EQ(q.Int(0), id) << name;
        }
        for (auto [text, type] : {std::pair{true, "text"}, {false, "integer"}}) {
            SimSqlStatement q = reader.Db().Prepare("SELECT typeof(?)");
            if (text) {
                q.Bind(1, std::string("1"));
            } else {
                q.Bind(1, int64_t{1});
            }
            ASSERT_TRUE(q.Step());
            EXPECT_EQ(q.Text(0), type);
        }
        SimSqlStatement first = reader.Db().Prepare(all);
        ASSERT_TRUE(first.Step());  // only the first row, in the first round
        EXPECT_EQ(first.Text(0), names.front());
        if (round == 1) {
            std::vector<std::string> read{first.Text(0)};
            while (first.Step()) read.push_back(first.Text(0));
            EXPECT_EQ(read, names);
        }
    }
}

// Kept values read through each accessor as SQLite gives them: integers as
// text, text as integers, NULL as empty and zero, columns past the end as NULL.
TEST_F(SimSqlReadCacheTest, KeptValuesReadAsTheStatementGivesThem) {
    const std::string sql = "SELECT 42, '17 apples', NULL, -5, 'x' UNION ALL SELECT 7, '', 'y', NULL, 3";
    auto read = [&](SimSqlDb& db) {
        std::vector<std::string> values;
        SimSqlStatement q = db.Prepare(sql);
        while (q.Step()) {
            for (int c = 0; c < 6; ++c) {
                values.push_back(q.Text(c) + "|" + std::to_string(q.Int(c)) + "|" + (q.IsNull(c) ? "null" : "value"));
            }
        }
        return values;
    };
    const std::vector<std::string> direct = read(writer.Db());
    ASSERT_EQ(direct.size(), 12u);
    EXPECT_EQ(direct[1], "17 apples|17|value");
    EXPECT_EQ(direct[5], "|0|null");
    for (int round = 0; round < 2; ++round) {
        SimSqlReadScope scope;
        EXPECT_EQ(read(reader.Db()), direct) << "round " << round;
    }
}

// Readers on their own threads, each with its own connection, while another
// connection commits one change after another: no reader ever reads a state
// older than one it has read, and all read the last.
TEST_F(SimSqlReadCacheTest, ReadersNeverGoBackAndAllSeeTheLastCommit) {
    constexpr int64_t kCommits = 150;
    SetState(writer.Db(), "msdb", 0);
    std::atomic<bool> done{false};
    std::atomic<int> backwards{0}, failures{0}, reading{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r) {
        readers.emplace_back([&] {
            SqlSimInstance own;
            if (own.Open("host1/prod").IsError()) {
                ++failures;
                return;
            }
            int64_t seen = 0;
            bool counted = false;
            for (bool last = false; !last;) {
                last = done.load();
                SimSqlReadScope scope;
                const int64_t state = State(own.Db(), "msdb");
                if (state < 0) ++failures;
                if (state < seen) ++backwards;
                seen = std::max(seen, state);
                if (!counted) ++reading;  // each reads once before the first commit
                counted = true;
            }
            if (seen != kCommits) ++failures;
        });
    }
    while (reading < 3 && failures == 0) std::this_thread::yield();
    for (int64_t state = 1; state <= kCommits; ++state) SetState(writer.Db(), "msdb", state);
    done = true;
    for (std::thread& t : readers) t.join();
    EXPECT_EQ(backwards.load(), 0);
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace
