// The job base: instance version, cluster test, database ids, system
// databases, VSS writer configuration and the index browse request.
#include "JxSQLCommon/jobbase/CSQLBase.h"

#include <gtest/gtest.h>

#include <memory>

#include "JXAppMgr/AppModel.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/DatabrowseMessages.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "JxsqlDMO/SqlSimServerInfo.h"
#include "tests/support/TestRoot.h"

namespace {

struct TestBase : CSQLBase {
    using CSQLCommon::m_instanceId;
    using CSQLCommon::m_preV8Instance;
    using CSQLCommon::m_sServername;
    using CSQLCommon::m_sqlBuildNumber;
    using CSQLCommon::m_sqlEdition;
    using CSQLCommon::m_sqlMajorVersion;
    using CSQLCommon::m_sqlMinorVersion;
    using CSQLCommon::m_sqlVersion;
};

class JobBase : public jxtest::RootedTest {
protected:
    void SetUp() override {
        SqlSimServerSpec desc;
        desc.name = "HOST/INST1";
        ASSERT_FALSE(instance.Create(desc).IsError());
        SqlSimDatabaseSpec sales;
        sales.name = "Sales";
        ASSERT_FALSE(instance.AddDatabase(sales).IsError());
        job.m_sServername = "HOST/INST1";
    }
    void Version(const std::string& version) { ASSERT_FALSE(SqlSimServerInfo(instance).SetVersion(version).IsError()); }
    void VCluster(const std::string& name) { JXPlatformInfo().setString("VCluster", "szSQLInstanceName", name); }
    std::unique_ptr<SqlSimInstance> Make(const std::string& name, bool clustered) {
        auto other = std::make_unique<SqlSimInstance>();
        SqlSimServerSpec desc;
        desc.name = name;
        desc.clustered = clustered;
        EXPECT_FALSE(other->Create(desc).IsError());
        return other;
    }

    SqlSimInstance instance;
    TestBase job;
};

TEST_F(JobBase, FullVersionIsTakenApartOnceItChanges) {
    Version("15.0.4123.1");
    EXPECT_TRUE(job.initializeInstanceVersion());
    EXPECT_FALSE(job.m_preV8Instance);
    EXPECT_TRUE(job.isUpdateInstanceVersionNeeded());
    EXPECT_EQ(job.m_sqlVersion, "15.0.4123.1");
    EXPECT_EQ(job.m_sqlMajorVersion, 15u);
    EXPECT_EQ(job.m_sqlMinorVersion, 0);
    EXPECT_EQ(job.m_sqlBuildNumber, 4123);
    EXPECT_EQ(job.m_sqlEdition, SqlSimServerInfo::kDefaultEdition);
    EXPECT_FALSE(job.isUpdateInstanceVersionNeeded()) << "same version again";
    Version("16.0.1000.6");
    EXPECT_TRUE(job.isUpdateInstanceVersionNeeded());
    EXPECT_EQ(job.m_sqlMajorVersion, 16u);
    EXPECT_EQ(job.m_sqlBuildNumber, 1000);
}

TEST_F(JobBase, VersionSevenIsPreEight) {
    Version("7.0.1");
    EXPECT_TRUE(job.initializeInstanceVersion());
    EXPECT_TRUE(job.m_preV8Instance);
    EXPECT_TRUE(job.isUpdateInstanceVersionNeeded());
    EXPECT_EQ(job.m_sqlMajorVersion, 7u);
    EXPECT_EQ(job.m_sqlMinorVersion, 0);
    EXPECT_EQ(job.m_sqlBuildNumber, 1);
    Version("8.0.2039");
    EXPECT_TRUE(job.initializeInstanceVersion());
    EXPECT_FALSE(job.m_preV8Instance);
}

TEST_F(JobBase, MalformedVersionsAreRefusedAndChangeNothing) {
    Version("15.0.4123.1");
    ASSERT_TRUE(job.isUpdateInstanceVersionNeeded());
    for (const char* bad : {"16", "", "16.0", "16.x.1", "16.0.1.2.3", "16..1", "99999999999.0.1"}) {
        Version(bad);
        EXPECT_FALSE(job.isUpdateInstanceVersionNeeded()) << bad;
        EXPECT_EQ(job.m_sqlVersion, "15.0.4123.1") << bad;
        EXPECT_EQ(job.m_sqlMajorVersion, 15u) << bad;
        EXPECT_EQ(job.m_sqlBuildNumber, 4123) << bad;
    }
    Version("16");
    EXPECT_TRUE(job.initializeInstanceVersion()) << "the major version alone is readable";
    EXPECT_EQ(job.m_sqlMajorVersion, 16u);
    Version("");
    EXPECT_FALSE(job.initializeInstanceVersion());
    EXPECT_TRUE(job.m_preV8Instance);
    EXPECT_EQ(job.m_sqlMajorVersion, 0u);
}

TEST_F(JobBase, UnreachableInstanceGivesNoVersion) {
    job.m_sServername = "HOST/NONE";
    EXPECT_FALSE(job.initializeInstanceVersion());
    EXPECT_TRUE(job.m_preV8Instance);
    EXPECT_FALSE(job.isUpdateInstanceVersionNeeded());
    ASSERT_FALSE(instance.SetServiceRunning(false).IsError());
    job.m_sServername = "HOST/INST1";
    EXPECT_FALSE(job.initializeInstanceVersion());
}

TEST_F(JobBase, ClusteredWhenSqlServerSaysSo) {
    auto clustered = Make("VNODE/PROD", true);
    ASSERT_FALSE(SqlSimServerInfo(*clustered).SetProperty(SqlSimServerInfo::kClusterName, "SQLCLUS").IsError());
    job.setIsInstanceClustered("VNODE/PROD");
    EXPECT_TRUE(job.isInstanceClustered());
    EXPECT_EQ(job.getClusterName(), "SQLCLUS");
    TestBase other;
    other.setIsInstanceClustered("HOST/INST1");
    EXPECT_FALSE(other.isInstanceClustered());
}

TEST_F(JobBase, VClusterSettingMatchesTheWholeInstanceName) {
    VCluster("inst1");
    job.setIsInstanceClustered("HOST/INST1");
    EXPECT_TRUE(job.isInstanceClustered());

    Make("HOST/INSTANCE_NAME_L", false);
    Make("HOST/INSTANCE_NAME_LX", false);
    VCluster("INSTANCE_NAME_LONGER_THAN_15");
    TestBase exact, longer;
    exact.setIsInstanceClustered("HOST/INSTANCE_NAME_L");
    EXPECT_TRUE(exact.isInstanceClustered()) << "equal to the first 15 characters";
    longer.setIsInstanceClustered("HOST/INSTANCE_NAME_LX");
    EXPECT_FALSE(longer.isInstanceClustered()) << "another instance that only shares them";
}

TEST_F(JobBase, DefaultInstanceComparesItsWholeName) {
    Make("NODE7", false);
    VCluster("node7");
    job.setIsInstanceClustered("NODE7");
    EXPECT_TRUE(job.isInstanceClustered());
    VCluster("");
    TestBase other;
    other.setIsInstanceClustered("NODE7");
    EXPECT_FALSE(other.isInstanceClustered());
}

TEST_F(JobBase, WithoutVersionTheClusterFlagStays) {
    VCluster("NONE");
    job.setIsInstanceClustered("HOST/NONE");
    EXPECT_FALSE(job.isInstanceClustered());
}

TEST_F(JobBase, DatabaseIdsAndSystemDatabases) {
    uint64_t id = 0;
    EXPECT_TRUE(job.getDatabaseId(std::string("Sales\x12x"), id));
    EXPECT_EQ(id, 5u);
    id = 77;
    EXPECT_FALSE(job.getDatabaseId("Missing", id));
    EXPECT_EQ(id, 77u);
    EXPECT_FALSE(CSQLBase::isSystemDb(uint64_t{2}));
    EXPECT_TRUE(CSQLBase::isSystemDb(uint64_t{4}));
    EXPECT_TRUE(job.isSystemDb(std::string("master")));
    EXPECT_TRUE(job.isSystemDb(std::string("MSDB")));
    EXPECT_FALSE(job.isSystemDb(std::string("tempdb")));
    EXPECT_FALSE(job.isSystemDb(std::string("Sales")));
    EXPECT_FALSE(job.isSystemDb(std::string("Missing")));
}

TEST_F(JobBase, WriterKindFollowsTheSetting) {
    EXPECT_EQ(job.checkForWriterConfiguration(), VSS_WRITER_DEFAULT) << "no key";
    JXPlatformInfo().setString("ORVANE_REGISTRY_BASE", "Other", "1");
    EXPECT_EQ(job.checkForWriterConfiguration(), VSS_WRITER_DEFAULT) << "no value";
    JXPlatformInfo().setString("ORVANE_REGISTRY_BASE", "MSDEVersionChecking", "");
    EXPECT_EQ(job.checkForWriterConfiguration(), VSS_WRITER_DEFAULT) << "empty value";
    JXPlatformInfo().setString("ORVANE_REGISTRY_BASE", "MSDEVersionChecking", "1");
    EXPECT_EQ(job.checkForWriterConfiguration(), VSS_WRITER_MSDE);
}

class BrowseClientOfJob : public JobBase {
protected:
    void SetUp() override {
        JobBase::SetUp();
        AppModel::Set("subclient/10", "clientId", "2");
        AppModel::Set("subclient/10", "instanceId", "7");
        AppModel::Set("subclient/10", "backupSetId", "9");
        AppModel::Set("client/2", "name", "node1");
        AppModel::Set("instance/7", "name", "HOST/INST1");
    }
};

TEST_F(BrowseClientOfJob, RequestCarriesTheApplication) {
    uint64_t from = 100, to = 200;
    ASSERT_TRUE(job.initializeBrowseClient(4, 10, 6, from, to));
    databrowse::BrowseRequest request;
    ASSERT_EQ(request.unserialize(root.ReadFile("index/browse/request-1.xml")), kMsgOk);
    using E = JxEntities::GenericEntity;
    const CNMessageBase* entity = request.getObjectAccessor(databrowse::BrowseRequest::kEntity);
    ASSERT_NE(entity, nullptr);
    EXPECT_EQ(entity->getint64(1, 1), 4);
    EXPECT_EQ(entity->getint64(E::kClientId), 2);
    EXPECT_EQ(entity->getstring(E::kClientName), "node1");
    EXPECT_EQ(entity->getint64(E::kInstanceId), 7);
    EXPECT_EQ(entity->getint64(E::kApplicationType), 81);
    EXPECT_EQ(entity->getint64(E::kBackupSetId), 9);
    EXPECT_EQ(entity->getint64(E::kSubclientId), 10);
    const CNMessageBase* range = request.getObjectAccessor(databrowse::BrowseRequest::kTimeRange);
    ASSERT_NE(range, nullptr);
    EXPECT_EQ(range->getint64(2, 2), 100);
    EXPECT_EQ(range->getint64(1, 1), 200);
    EXPECT_EQ(request.getObjectAccessor(databrowse::BrowseRequest::kAdvanced)->getint64(1, 1), 6);
    EXPECT_EQ(request.getObjectAccessor(databrowse::BrowseRequest::kRequestKind)->getint64(1, 1), 3);
    ASSERT_EQ(request.getlistobject(databrowse::BrowseRequest::kPaths).size(), 1u);
    EXPECT_EQ(request.getlistobject(databrowse::BrowseRequest::kPaths)[0].getstring(1, 1), "/");
    EXPECT_EQ(request.getlistobject(databrowse::BrowseRequest::kQueries).size(), 1u);
}

TEST_F(BrowseClientOfJob, MissingApplicationPartsOrARefusalFail) {
    uint64_t from = 0, to = 0;
    EXPECT_FALSE(job.initializeBrowseClient(4, 11, 0, from, to)) << "no such subclient";
    AppModel::Set("subclient/12", "clientId", "3");
    AppModel::Set("subclient/12", "instanceId", "7");
    AppModel::Set("client/3", "hostName", "nameless");
    EXPECT_FALSE(job.initializeBrowseClient(4, 12, 0, from, to)) << "client without a name";
    AppModel::Set("subclient/13", "clientId", "0");
    AppModel::Set("subclient/13", "instanceId", "7");
    EXPECT_FALSE(job.initializeBrowseClient(4, 13, 0, from, to)) << "client id 0";
    root.WriteFile("index/browse", "blocks the directory");
    EXPECT_FALSE(job.initializeBrowseClient(4, 10, 0, from, to)) << "browse client refuses";
}

}  // namespace
