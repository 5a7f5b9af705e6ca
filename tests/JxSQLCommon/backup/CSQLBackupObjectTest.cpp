// The backup job object: construction, destruction and its free helpers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "JXMMSnapAPI/JXMMSnapAPI.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "tests/support/TestRoot.h"

namespace {

struct ObjectJob : CSQLBackup {
    using CSQLCommon::m_bkpPhase;
    using CSQLBackup::m_bPromoteToFull;
};

TEST(CSQLBackupObject, AJobThatNeverStartedIsDestroyedWithoutEffect) {
    jxtest::TestRoot root;
    auto* job = new ObjectJob();
    EXPECT_FALSE(job->isPromoteToFullSet());
    delete job;
}

TEST(CSQLBackupObject, CompareNoCaseIsAStrictOrderIgnoringCase) {
    EXPECT_FALSE(CSQLBackup::compareNoCase("abc", "ABC"));
    EXPECT_FALSE(CSQLBackup::compareNoCase("ABC", "abc"));
    EXPECT_TRUE(CSQLBackup::compareNoCase("abc", "ABD"));
    EXPECT_TRUE(CSQLBackup::compareNoCase("ab", "ABC"));
    std::vector<std::string> names = {"b", "B", "a", "A", "c", "C", "a", "b"};
    std::sort(names.begin(), names.end(), CSQLBackup::compareNoCase);
    for (size_t i = 1; i < names.size(); ++i) EXPECT_FALSE(CSQLBackup::compareNoCase(names[i], names[i - 1]));
}

TEST(CSQLBackupObject, SetEnvironmentVariableSetsAndAllowsAnEmptyValue) {
    ASSERT_TRUE(CSQLBackup::SetEnvironmentVariable("JX_BK_TEST_VAR", "value1"));
    EXPECT_STREQ(std::getenv("JX_BK_TEST_VAR"), "value1");
    ASSERT_TRUE(CSQLBackup::SetEnvironmentVariable("JX_BK_TEST_VAR", ""));
    EXPECT_STREQ(std::getenv("JX_BK_TEST_VAR"), "");
    EXPECT_FALSE(CSQLBackup::SetEnvironmentVariable("", "x"));
    EXPECT_FALSE(CSQLBackup::SetEnvironmentVariable("A=B", "x"));
}

TEST(CSQLBackupObject, PromoteToFullHoldsOnlyInALogPhase) {
    ObjectJob job;
    job.m_bPromoteToFull = true;
    for (unsigned phase : {1u, 3u}) {
        job.m_bkpPhase = phase;
        EXPECT_FALSE(job.isPromoteToFullSet()) << phase;
    }
    job.m_bkpPhase = 2;
    EXPECT_TRUE(job.isPromoteToFullSet());
    job.m_bPromoteToFull = false;
    EXPECT_FALSE(job.isPromoteToFullSet());
}

// The platform type picks the snapshot-engine kind asked (bit 1: kind 1,
// else bit 2: kind 2, else 4); only an enabled replication of kind 1 counts,
// and no record or an unreadable one means "not enabled".
TEST(CSQLBackupObject, ReplicationIsAskedOfTheEngineKindThePlatformTypeNames) {
    jxtest::TestRoot root;
    EXPECT_FALSE(CSQLBackup::isReplicationEnabledAtSPLevel(2, 1234)) << "nothing recorded";
    ASSERT_TRUE(JXMMSnapAPI::SetReplication(4, 1234, true, 1));
    EXPECT_TRUE(CSQLBackup::isReplicationEnabledAtSPLevel(2, 1234));
    EXPECT_FALSE(CSQLBackup::isReplicationEnabledAtSPLevel(2, 1235)) << "another application";

    ASSERT_NE(JXPlatformInfo().setNumber("Base", "nPlatformType", 0x4 | 0x1), 0);
    EXPECT_FALSE(CSQLBackup::isReplicationEnabledAtSPLevel(2, 1234)) << "kind 2 has no record";
    ASSERT_TRUE(JXMMSnapAPI::SetReplication(2, 1234, true, 1));
    EXPECT_TRUE(CSQLBackup::isReplicationEnabledAtSPLevel(2, 1234));

    ASSERT_NE(JXPlatformInfo().setNumber("Base", "nPlatformType", 0x2 | 0x4), 0);
    ASSERT_TRUE(JXMMSnapAPI::SetReplication(1, 1234, true, 2));
    EXPECT_FALSE(CSQLBackup::isReplicationEnabledAtSPLevel(2, 1234)) << "replication of another kind";
    ASSERT_TRUE(JXMMSnapAPI::SetReplication(1, 1234, false, 1));
    EXPECT_FALSE(CSQLBackup::isReplicationEnabledAtSPLevel(2, 1234)) << "not enabled";
    ASSERT_TRUE(JXMMSnapAPI::SetReplication(1, 1234, true, 1));
    EXPECT_TRUE(CSQLBackup::isReplicationEnabledAtSPLevel(2, 1234));
    root.WriteFile("replication/1/1234", "1 x\n");
    EXPECT_FALSE(CSQLBackup::isReplicationEnabledAtSPLevel(2, 1234)) << "a malformed record";
}

}  // namespace
