// The simulated instance's log state, the shrink conditions, the log-space
// report, the shrink itself and the version and cluster queries.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlLogSpaceReport.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "JxsqlDMO/SqlSimLog.h"
#include "JxsqlDMO/SqlSimServerInfo.h"
#include "tests/support/TestRoot.h"

namespace {

constexpr uint64_t kMB = 1024 * 1024;

class CsqlDMOShrink : public jxtest::RootedTest {
protected:
    void SetUp() override {
        SqlSimServerSpec server;
        server.name = "HOST/INST";
        ASSERT_FALSE(instance.Create(server).IsError());
        SqlSimDatabaseSpec sales;
        sales.name = "Sales";
        sales.logSize = 3 * kMB;
        ASSERT_FALSE(instance.AddDatabase(sales).IsError());
        SqlSimDatabaseSpec simple;
        simple.name = "Scratch";
        simple.recoveryModel = "SIMPLE";
        simple.readOnly = true;
        ASSERT_FALSE(instance.AddDatabase(simple).IsError());
    }

    static off_t FileSize(const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
    }

    std::string LogPath(const std::string& database) {
        SimSqlStatement q = instance.Db().Prepare(
            "SELECT physical_path FROM files f JOIN databases d ON d.id = f.database_id WHERE d.name = ? AND f.type = 1");
        q.Bind(1, database);
        return q.Step() ? q.Text(0) : std::string();
    }

    SqlSimInstance instance;
};

TEST_F(CsqlDMOShrink, ConditionsComeFromTheCatalogue) {
    CsqlDMO dmo;
    ASSERT_TRUE(dmo.initialize("host/inst"));
    bool failed = false;
    EXPECT_FALSE(dmo.isRecoveryModelSimple("Sales", &failed));
    EXPECT_TRUE(dmo.isRecoveryModelSimple("scratch", &failed));
    EXPECT_FALSE(dmo.isReadOnly("HOST/INST", "Sales", &failed));
    EXPECT_TRUE(dmo.isReadOnly("HOST/INST", "Scratch", &failed));
    EXPECT_FALSE(dmo.isThereAnyOpenTransaction("HOST/INST", "Sales", &failed));
    EXPECT_FALSE(failed);
    ASSERT_FALSE(SqlSimLog(instance).SetOpenTransactions("Sales", 2).IsError());
    EXPECT_TRUE(dmo.isThereAnyOpenTransaction("HOST/INST", "Sales", &failed));
    EXPECT_FALSE(failed);
}

TEST_F(CsqlDMOShrink, ConditionsThatCannotBeReadSayFailed) {
    CsqlDMO dmo;
    bool failed = false;
    EXPECT_FALSE(dmo.isRecoveryModelSimple("Sales", &failed));
    EXPECT_TRUE(failed) << "no instance connected";
    ASSERT_TRUE(dmo.initialize("HOST/INST"));
    for (auto ask : {+[](CsqlDMO& d, bool* f) { return d.isRecoveryModelSimple("Missing", f); },
                     +[](CsqlDMO& d, bool* f) { return d.isReadOnly("HOST/INST", "Missing", f); },
                     +[](CsqlDMO& d, bool* f) { return d.isThereAnyOpenTransaction("HOST/INST", "Missing", f); },
                     +[](CsqlDMO& d, bool* f) { return d.isReadOnly("HOST/NOPE", "Sales", f); }}) {
        failed = false;
        EXPECT_FALSE(ask(dmo, &failed));
        EXPECT_TRUE(failed);
    }
}

TEST_F(CsqlDMOShrink, LogUsageIsCheckedAndDefaultsToAFullLog) {
    SqlSimLog log(instance);
    SqlSimLogSpace space;
    ASSERT_FALSE(log.Space("Sales", space).IsError());
    EXPECT_EQ(space.sizeBytes, 3 * kMB);
    EXPECT_EQ(space.usedBytes, 3 * kMB);
    EXPECT_TRUE(log.SetUsedBytes("Sales", 3 * kMB + 1).IsError());
    EXPECT_TRUE(log.SetOpenTransactions("Sales", -1).IsError());
    EXPECT_TRUE(log.SetUsedBytes("Missing", 1).IsError());
}

TEST_F(CsqlDMOShrink, ReportGivesSizeInMBAndUsedPercentPerDatabase) {
    ASSERT_FALSE(SqlSimLog(instance).SetUsedBytes("Sales", kMB).IsError());
    CsqlDMO dmo;
    SqlLogSpaceReport report;
    ASSERT_TRUE(dmo.getLogSpaceReport("HOST/INST", report));
    bool seen = false;
    for (const CNMessageBase& e : report.getlistobject(SqlLogSpaceReport::kEntries)) {
        if (e.getstring(SqlLogSpaceEntry::kDatabaseName) != "Sales") continue;
        seen = true;
        EXPECT_EQ(e.getint64(SqlLogSpaceEntry::kLogSizeMB), 3);
        EXPECT_EQ(e.getint64(SqlLogSpaceEntry::kUsedPercent), 34) << "a third, rounded up";
    }
    EXPECT_TRUE(seen);
    EXPECT_EQ(report.getlistobject(SqlLogSpaceReport::kEntries).size(), 6u) << "four system databases and two";
}

TEST_F(CsqlDMOShrink, ShrinkCutsTheLogFileToItsUsedPartAndNeverBelow) {
    const std::string path = LogPath("Sales");
    ASSERT_EQ(FileSize(path), static_cast<off_t>(3 * kMB));
    CsqlDMO dmo;
    EXPECT_TRUE(dmo.RunShrinkDatabaseQuery("HOST/INST", "Sales"));
    EXPECT_EQ(FileSize(path), static_cast<off_t>(3 * kMB)) << "a full log keeps its size";

    ASSERT_FALSE(SqlSimLog(instance).SetUsedBytes("Sales", 100 * 1024).IsError());
    EXPECT_TRUE(dmo.RunShrinkDatabaseQuery("HOST/INST", "Sales"));
    EXPECT_EQ(FileSize(path), 100 * 1024);
    SqlSimLogSpace space;
    ASSERT_FALSE(SqlSimLog(instance).Space("Sales", space).IsError());
    EXPECT_EQ(space.sizeBytes, 100u * 1024) << "the catalogue follows the file";

    ASSERT_FALSE(SqlSimLog(instance).SetUsedBytes("Sales", 0).IsError());
    EXPECT_TRUE(dmo.RunShrinkDatabaseQuery("HOST/INST", "Sales"));
    EXPECT_EQ(FileSize(path), static_cast<off_t>(SqlSimLog::kMinLogFileBytes));
    EXPECT_FALSE(dmo.RunShrinkDatabaseQuery("HOST/INST", "Missing"));
}

TEST_F(CsqlDMOShrink, UsedPartFillsSeveralLogFilesInOrder) {
    SqlSimFileSpec second;
    second.database = "Sales";
    second.logicalName = "Sales_log2";
    second.size = kMB;
    ASSERT_FALSE(instance.AddFile(second).IsError());
    ASSERT_FALSE(SqlSimLog(instance).SetUsedBytes("Sales", 3 * kMB + 512 * 1024).IsError());
    uint64_t size = 0;
    ASSERT_FALSE(SqlSimLog(instance).Shrink("Sales", size).IsError());
    EXPECT_EQ(size, 3 * kMB + 512 * 1024);
}

TEST_F(CsqlDMOShrink, VersionMajorVersionAndDatabaseIds) {
    CsqlDMO dmo;
    std::string version, level, edition;
    ASSERT_TRUE(dmo.getInstanceVersion("HOST/INST", version, level, edition));
    EXPECT_EQ(version, "15.0.4153.1");
    EXPECT_EQ(level, "RTM");
    EXPECT_EQ(edition, SqlSimServerInfo::kDefaultEdition);
    EXPECT_EQ(dmo.getInstanceMajorVersion("HOST/INST"), 15);

    SqlSimServerInfo info(instance);
    ASSERT_FALSE(info.SetVersion("").IsError());
    EXPECT_EQ(dmo.getInstanceMajorVersion("HOST/INST"), 0);
    ASSERT_FALSE(info.SetVersion("99999999999.0.1").IsError());
    EXPECT_EQ(dmo.getInstanceMajorVersion("HOST/INST"), 0) << "no such version";
    EXPECT_EQ(dmo.getInstanceMajorVersion("HOST/NONE"), 0);

    unsigned long id = 0;
    EXPECT_TRUE(dmo.getDatabaseId("HOST/INST", "msdb", id));
    EXPECT_EQ(id, 4u);
    EXPECT_TRUE(dmo.getDatabaseId("HOST/INST", "SALES", id));
    EXPECT_EQ(id, 5u);
    EXPECT_FALSE(dmo.getDatabaseId("HOST/INST", "Missing", id));
}

TEST_F(CsqlDMOShrink, ClusteredInstancesAreFoundByInstancePart) {
    SqlSimInstance clustered;
    SqlSimServerSpec desc;
    desc.name = "VNODE/PROD";
    desc.clustered = true;
    ASSERT_FALSE(clustered.Create(desc).IsError());
    CsqlDMO dmo;
    std::string cluster;
    EXPECT_FALSE(dmo.isSqlInstanceClustered("INST", cluster, 15));
    EXPECT_TRUE(dmo.isSqlInstanceClustered("prod", cluster, 15));
    EXPECT_EQ(cluster, "VNODE");
    ASSERT_FALSE(SqlSimServerInfo(clustered).SetProperty(SqlSimServerInfo::kClusterName, "SQLCLUSTER").IsError());
    EXPECT_TRUE(dmo.isSqlInstanceClustered("PROD", cluster, 15));
    EXPECT_EQ(cluster, "SQLCLUSTER");
    EXPECT_FALSE(dmo.isSqlInstanceClustered("MSSQLSERVER", cluster, 15));
}

}  // namespace
