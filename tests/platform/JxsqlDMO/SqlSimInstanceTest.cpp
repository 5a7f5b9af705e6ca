#include "JxsqlDMO/SqlSimInstance.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <list>
#include <thread>
#include <vector>

#include "JxsqlDMO/CsqlDMO.h"
#include "tests/support/TestRoot.h"

namespace {

class SqlSimInstanceTest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        SqlSimServerSpec desc;
        desc.name = "host1/prod";
        ASSERT_FALSE(instance.Create(desc).IsError());
    }
    std::vector<std::string> DataFiles() {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(root.path() + "/mssql/HOST1/PROD/data")) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    SqlSimInstance instance;
};

uint64_t FileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

TEST_F(SqlSimInstanceTest, NewInstanceHasSystemDatabasesWithRealFiles) {
    EXPECT_EQ(instance.Name(), "host1/prod");
    for (auto [name, id] : {std::pair{"master", 1}, {"tempdb", 2}, {"model", 3}, {"msdb", 4}}) {
        int64_t found = 0;
        ASSERT_FALSE(instance.DatabaseId(name, found).IsError()) << name;
        EXPECT_EQ(found, id) << name;
    }
    int64_t id = 0;
    SqlSimDatabaseSpec db;
    db.name = "sales";
    db.dataSize = 100000;
    ASSERT_FALSE(instance.AddDatabase(db, &id).IsError());
    EXPECT_EQ(id, 5);
    std::string data = root.path() + "/mssql/HOST1/PROD/data/";
    EXPECT_EQ(FileSize(data + "sales.mdf"), 100000u);
    EXPECT_EQ(FileSize(data + "sales_log.ldf"), db.logSize);
    // Files of different databases differ, so a copy can be told apart.
    EXPECT_NE(jxtest::ReadWholeFile(data + "sales.mdf").substr(0, 4096),
              jxtest::ReadWholeFile(data + "master.mdf").substr(0, 4096));
}

TEST_F(SqlSimInstanceTest, InstanceNamesAreCheckedAndCompareWithoutCase) {
    SqlSimInstance again;
    EXPECT_FALSE(again.Open("HOST1/PROD").IsError());
    EXPECT_EQ(again.Name(), "host1/prod");

    SqlSimServerSpec duplicate;
    duplicate.name = "HOST1/Prod";
    EXPECT_TRUE(SqlSimInstance().Create(duplicate).IsError());

    for (const char* bad : {"", "../x", "host/..", "a/b/c", ".hidden", "host/", "h st", "host\\inst"}) {
        SqlSimServerSpec desc;
        desc.name = bad;
        EXPECT_TRUE(SqlSimInstance().Create(desc).IsError()) << bad;
        EXPECT_TRUE(SqlSimInstance().Open(bad).IsError()) << bad;
    }
    EXPECT_FALSE(std::filesystem::exists(root.path() + "/x"));
    EXPECT_TRUE(SqlSimInstance().Open("host1/other").IsError());
}

TEST_F(SqlSimInstanceTest, DefaultInstanceAnswersToItsOtherName) {
    SqlSimServerSpec desc;
    desc.name = "host2";
    SqlSimInstance def;
    ASSERT_FALSE(def.Create(desc).IsError());
    SqlSimInstance byFullName;
    EXPECT_FALSE(byFullName.Open("host2/MSSQLSERVER").IsError());
    EXPECT_EQ(SqlSimInstance::ListInstances(), (std::vector<std::string>{"host1/prod", "host2"}));
}

TEST_F(SqlSimInstanceTest, HostileNamesAreStoredVerbatimAndFileNamesStayInTheDataDirectory) {
    for (const char* name : {"a'b]", "x'); DROP TABLE databases;--", "../../etc/passwd"}) {
        SqlSimDatabaseSpec db;
        db.name = name;
        ASSERT_FALSE(instance.AddDatabase(db).IsError()) << name;
        int64_t id = 0;
        EXPECT_FALSE(instance.DatabaseId(name, id).IsError()) << name;
    }
    for (const std::string& file : DataFiles()) {
        EXPECT_EQ(file.find('/'), std::string::npos);
        EXPECT_NE(file.front(), '.');
    }
    EXPECT_FALSE(std::filesystem::exists(root.path() + "/mssql/HOST1/etc"));
}

TEST_F(SqlSimInstanceTest, RefusedAdditionsLeaveNoRowsAndNoFiles) {
    std::vector<std::string> before = DataFiles();
    SqlSimDatabaseSpec caseTwin;
    caseTwin.name = "MASTER";  // database names compare without case
    EXPECT_TRUE(instance.AddDatabase(caseTwin).IsError());
    SqlSimDatabaseSpec huge;
    huge.name = "huge";
    huge.logSize = SqlSimInstance::kMaxFileSize + 1;  // after the data file was written
    EXPECT_TRUE(instance.AddDatabase(huge).IsError());
    int64_t id = 0;
    EXPECT_TRUE(instance.DatabaseId("huge", id).IsError());

    for (const char* path : {"../evil.ndf", "/tmp/evil.ndf", "sub/../../evil.ndf", "./x.ndf"}) {
        SqlSimFileSpec file;
        file.database = "master";
        file.fileGroup = "PRIMARY";
        file.logicalName = "extra";
        file.physicalName = path;
        EXPECT_TRUE(instance.AddFile(file).IsError()) << path;
    }
    SqlSimFileSpec noGroup;
    noGroup.database = "master";
    noGroup.fileGroup = "MISSING";
    noGroup.logicalName = "extra";
    EXPECT_TRUE(instance.AddFile(noGroup).IsError());
    EXPECT_EQ(DataFiles(), before);
}

TEST_F(SqlSimInstanceTest, SettingsOutsideTheirRangeAreRefused) {
    SqlSimDatabaseSpec db;
    db.name = "d";
    db.recoveryModel = "PARTIAL";
    EXPECT_TRUE(instance.AddDatabase(db).IsError());
    db.recoveryModel = "simple";
    db.state = 3;  // two states at once
    EXPECT_TRUE(instance.AddDatabase(db).IsError());
    db.state = SQLDB_STATE_ONLINE;
    ASSERT_FALSE(instance.AddDatabase(db).IsError());
    EXPECT_TRUE(instance.SetDatabaseState("d", 0).IsError());
    EXPECT_TRUE(instance.SetDatabaseState("nope", SQLDB_STATE_OFFLINE).IsError());
    EXPECT_TRUE(instance.JoinAvailabilityGroup("NOAG", "d").IsError());

    SqlSimBackupSpec backup;
    backup.database = "d";
    backup.type = 'X';
    EXPECT_TRUE(instance.AddBackupHistory(backup).IsError());
    backup.type = 'L';
    backup.firstLsn = 10;
    backup.lastLsn = 5;
    EXPECT_TRUE(instance.AddBackupHistory(backup).IsError());
}

// Requests of one thread share a connection to the catalogue; it must still
// show what other connections wrote, and follow a catalogue that was replaced.
TEST_F(SqlSimInstanceTest, SharedCatalogueConnectionFollowsChangesAndReplacement) {
    SqlSimInstance reader;
    ASSERT_FALSE(reader.Open("host1/prod").IsError());
    int64_t id = 0;
    EXPECT_TRUE(reader.DatabaseId("sales", id).IsError());
    SqlSimDatabaseSpec sales;
    sales.name = "sales";
    ASSERT_FALSE(instance.AddDatabase(sales).IsError());  // through the instance's own connection
    EXPECT_FALSE(reader.DatabaseId("sales", id).IsError());

    // Another thread's write is seen too.
    std::thread([] {
        SqlSimInstance other;
        ASSERT_FALSE(other.Open("host1/prod").IsError());
        SqlSimDatabaseSpec hr;
        hr.name = "hr";
        ASSERT_FALSE(other.AddDatabase(hr).IsError());
    }).join();
    EXPECT_FALSE(reader.DatabaseId("hr", id).IsError());

    // The instance is removed and made again under the same name.
    reader.Db().Close();
    instance.Db().Close();
    std::filesystem::remove_all(root.path() + "/mssql/HOST1/PROD");
    SqlSimInstance again;
    EXPECT_TRUE(again.Open("host1/prod").IsError());
    SqlSimServerSpec desc;
    desc.name = "host1/prod";
    desc.version = "16.0.1000.6";
    SqlSimInstance remade;
    ASSERT_FALSE(remade.Create(desc).IsError());
    ASSERT_FALSE(again.Open("host1/prod").IsError());
    EXPECT_TRUE(again.DatabaseId("sales", id).IsError());
    CsqlDMO dmo;
    std::string version, level, edition;
    ASSERT_TRUE(dmo.getInstanceVersion("host1/prod", version, level, edition));
    EXPECT_EQ(version, "16.0.1000.6");
}

int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

// Threads that each keep a connection to the catalogue (a host's session
// threads) share one handle for noticing its replacement: one descriptor per
// thread for its connection, not two.
TEST_F(SqlSimInstanceTest, ThreadsKeepingTheCatalogueAddOneDescriptorEach) {
    constexpr int kThreads = 8;
    const int before = OpenDescriptors();
    std::atomic<int> opened{0};
    std::atomic<bool> done{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&] {
            CsqlDMO dmo;
            DatabaseInfo_11_t info;
            if (dmo.getDatabases_11("host1/prod", info)) ++opened;
            while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
    }
    while (opened < kThreads) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_LE(OpenDescriptors() - before, kThreads + 1);
    done = true;
    for (std::thread& t : threads) t.join();
}

// A database list reads the catalogue in one read transaction per request:
// each request sees what was written since the last, and none leaves its lock
// behind (a writer would wait for it and fail).
TEST_F(SqlSimInstanceTest, ListRequestsSeeOtherWritesAndHoldNoLockAfterwards) {
    auto listed = [] {
        CsqlDMO dmo;
        DatabaseInfo_11_t info;
        EXPECT_TRUE(dmo.getDatabases_11("host1/prod", info));
        return info.names;
    };
    auto addFromElsewhere = [](const char* name) {
        std::thread([name] {
            SqlSimInstance other;
            ASSERT_FALSE(other.Open("host1/prod").IsError());
            SqlSimDatabaseSpec db;
            db.name = name;
            EXPECT_FALSE(other.AddDatabase(db).IsError());
        }).join();
    };
    EXPECT_EQ(listed().size(), 3u);  // tempdb is not listed
    addFromElsewhere("sales");
    EXPECT_EQ(listed(), (std::vector<std::string>{"master", "model", "msdb", "sales"}));
    {
        SimSqlReadScope outer;  // nested scopes commit once, at the outermost end
        EXPECT_EQ(listed().size(), 4u);
        EXPECT_EQ(listed().size(), 4u);
    }
    addFromElsewhere("hr");
    EXPECT_EQ(listed().back(), "hr");
    ASSERT_FALSE(instance.SetServiceRunning(false).IsError());  // this thread's own write
    CsqlDMO dmo;
    DatabaseInfo_11_t info;
    EXPECT_FALSE(dmo.getDatabases_11("host1/prod", info));
}

// Statements are kept for reuse once finished: a statement in use is never
// handed out twice, and a reused one starts from its first row without the
// previous bindings.
TEST_F(SqlSimInstanceTest, ReusedStatementsStartAfreshAndAreNeverShared) {
    const std::string byId = "SELECT name FROM databases WHERE id >= ? ORDER BY id";
    SimSqlStatement first = instance.Db().Prepare(byId);
    first.Bind(1, int64_t{1});
    ASSERT_TRUE(first.Step());
    EXPECT_EQ(first.Text(0), "master");
    {
        SimSqlStatement second = instance.Db().Prepare(byId);  // the same text while the first is in use
        second.Bind(1, int64_t{3});
        ASSERT_TRUE(second.Step());
        EXPECT_EQ(second.Text(0), "model");
    }
    ASSERT_TRUE(first.Step());
    EXPECT_EQ(first.Text(0), "tempdb");  // undisturbed by the second
    first = SimSqlStatement();            // finished: kept for reuse

    SimSqlStatement again = instance.Db().Prepare(byId);
    // Unbound, the parameter is NULL and no row matches; the old binding would match.
    EXPECT_FALSE(again.Step());
    EXPECT_FALSE(again.Error().IsError());
    SimSqlStatement bound = instance.Db().Prepare(byId);
    bound.Bind(1, int64_t{4});
    ASSERT_TRUE(bound.Step());
    EXPECT_EQ(bound.Text(0), "msdb");
}

}  // namespace
