#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SubClientCache.h"
#include "tests/support/TestRoot.h"

using jxtest::RootedTest;

class SubClientCacheTest : public RootedTest {
protected:
    uint64_t IntervalWithSetting(const std::string& value) {
        JXPlatformInfo().setString("MSSQLAgent", "SLAUpdateInterval", value);
        return SubClientCache().m_slaUpdateInterval;
    }

    static SqlDatabaseBackupInfo_Cache Result(uint64_t n64, uint32_t n32, const std::string& first,
                                              const std::string& result) {
        SqlDatabaseBackupInfo_Cache info;
        info.number64 = n64;
        info.number32 = n32;
        info.firstText = first;
        info.resultText = result;
        return info;
    }
};

TEST_F(SubClientCacheTest, SlaUpdateIntervalComesFromTheSettingUpToADay) {
    EXPECT_EQ(SubClientCache().m_slaUpdateInterval, 15u);  // absent
    EXPECT_EQ(IntervalWithSetting("1440"), 1440u);
    EXPECT_EQ(IntervalWithSetting("1441"), 15u);
    EXPECT_EQ(IntervalWithSetting("0"), 0u);
    EXPECT_EQ(IntervalWithSetting("-5"), 15u);
    EXPECT_EQ(IntervalWithSetting("soon"), 15u);
}

TEST_F(SubClientCacheTest, InitClearsWhatTheStoresAndSettersFilled) {
    SubClientCache cache;
    cache.StoreSubClientDetails(0x1'0000'0005ULL, "sc", 9);
    cache.StoreInstanceDetails(7, "host/INST", "a", "b", 30);
    cache.StoreClientDetails(2, "node1", "node1_m", true, true);
    cache.StoreAGInfo("ag1", "host/INST");
    cache.StoreReplicaClientDetails(3, "node2", "node2_m");
    cache.StoreGenericOptions(4);
    cache.SetValid(true);
    cache.SetUseCache(true);
    cache.SetDumpRunOnSecondary(true);
    cache.SetIsCSOnline(true);
    cache.SetCollectFile("/jr/OSCCollectFile.jxf");
    cache.m_databaseNames.insert("db1");
    cache.m_dbBackupInfo["db1"] = Result(1, 2, "x", "ok");
    EXPECT_EQ(cache.m_subclientId, 0x1'0000'0005ULL);
    EXPECT_EQ(cache.m_instanceNumber, 30u);
    EXPECT_TRUE(cache.m_clientFlag2);
    EXPECT_EQ(cache.m_replicaClientText2, "node2_m");

    cache.Init();
    EXPECT_FALSE(cache.m_valid);
    EXPECT_FALSE(cache.m_useCache);
    EXPECT_FALSE(cache.m_dumpRunsOnSecondary);
    EXPECT_FALSE(cache.m_csOnline);
    EXPECT_EQ(cache.m_subclientId, 0u);
    EXPECT_EQ(cache.m_instanceName, "");
    EXPECT_EQ(cache.m_collectFile, "");
    EXPECT_TRUE(cache.m_databaseNames.empty());
    EXPECT_TRUE(cache.m_dbBackupInfo.empty());
    EXPECT_TRUE(cache.m_flag1);
    EXPECT_EQ(cache.m_setting1, 24u);

    cache.m_databaseNames.insert("db2");
    cache.ClearDBList();
    EXPECT_TRUE(cache.m_databaseNames.empty());
}

TEST_F(SubClientCacheTest, DatabaseNamesDifferingOnlyInCaseShareOneResult) {
    SubClientCache cache;
    cache.m_dbBackupInfo["Sales"] = Result(1, 1, "", "first");
    cache.m_dbBackupInfo["SALES"] = Result(2, 2, "", "second");
    ASSERT_EQ(cache.m_dbBackupInfo.size(), 1u);
    EXPECT_EQ(cache.m_dbBackupInfo.begin()->first, "Sales");
    EXPECT_EQ(cache.m_dbBackupInfo.begin()->second.resultText, "second");
}

TEST_F(SubClientCacheTest, NothingToReportGivesNoMessageButTheCacheStillRendersAsText) {
    SubClientCache cache;
    cache.StoreSubClientDetails(5, "sc", 9);
    EXPECT_EQ(cache.GetReplyMessageToPrimary(), "");
    cache.m_dbBackupInfo["db1"] = Result(1, 2, "x", "ok");
    EXPECT_NE(cache.GetCacheAsString(), "");
}

TEST_F(SubClientCacheTest, ReplyToPrimaryCarriesTheFullSubclientIdAndOneRecordPerDatabaseInNameOrder) {
    SubClientCache cache;
    const uint64_t subclientId = 0x1'8000'0001ULL;  // beyond 32 bits
    cache.StoreSubClientDetails(subclientId, "sc", 9);
    cache.m_dbBackupInfo["beta"] = Result(77, 0xFFFFFFFFu, "lsn-b", "");
    cache.m_dbBackupInfo["Alpha"] = Result(5, 3, "lsn-a", "/dump/alpha.bak");

    const std::string xml = cache.GetReplyMessageToPrimary();
    SQLPmn::SqlUpdateBackupDumpInfoReq request;
    ASSERT_EQ(request.unserialize(xml), kMsgOk) << xml;

    const CNMessageBase* entity = request.getObjectAccessor(SQLPmn::SqlUpdateBackupDumpInfoReq::kEntity);
    ASSERT_NE(entity, nullptr);
    EXPECT_EQ(entity->getModule(), 18);
    EXPECT_EQ(entity->getMessage(), 46);
    EXPECT_EQ(static_cast<uint64_t>(entity->getint64(JxEntities::GenericEntity::kSubclientId)), subclientId);

    std::vector<SQLPmn::SqlUpdateBackupInfo> infos;
    ASSERT_TRUE(request.getlistobject(SQLPmn::SqlUpdateBackupDumpInfoReq::kBackupInfos, infos));
    ASSERT_EQ(infos.size(), 2u);
    using Info = SQLPmn::SqlUpdateBackupInfo;
    EXPECT_EQ(infos[0].getstring(Info::kDatabaseName), "Alpha");
    EXPECT_EQ(infos[0].getint64(Info::kNumber64), 5);
    EXPECT_EQ(infos[0].getint64(Info::kNumber32), 3);
    EXPECT_EQ(infos[0].getstring(Info::kFirstText), "lsn-a");
    EXPECT_EQ(infos[0].getstring(Info::kSecondText), "/dump/alpha.bak");
    EXPECT_EQ(infos[1].getstring(Info::kDatabaseName), "beta");
    EXPECT_EQ(infos[1].getint64(Info::kNumber32), 0xFFFFFFFFLL);  // zero-extended
}
