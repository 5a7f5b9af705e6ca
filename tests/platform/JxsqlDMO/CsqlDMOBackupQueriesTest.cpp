// What the backup job asks of each database: existence, state, access,
// log shipping, SharePoint, recovery model and the pseudo-simple state.
#include <gtest/gtest.h>

#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimDatabaseOptions.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "tests/support/TestRoot.h"

namespace {

class CsqlDMOBackupQueries : public jxtest::RootedTest {
protected:
    void SetUp() override {
        SqlSimServerSpec server;
        server.name = "HOST/INST";
        ASSERT_FALSE(instance.Create(server).IsError());
        const char* names[] = {"Sales", "Shipped", "Portal"};
        for (int i = 0; i < 3; ++i) {
            SqlSimDatabaseSpec db;
            db.name = names[i];
            ASSERT_FALSE(instance.AddDatabase(db, &ids[i]).IsError());
        }
        SqlSimDatabaseSpec single;
        single.name = "Lonely";
        single.userAccess = "SINGLE_USER";
        single.recoveryModel = "SIMPLE";
        ASSERT_FALSE(instance.AddDatabase(single).IsError());
        ASSERT_FALSE(SqlSimSetDatabaseOption(instance, "Shipped", kSqlSimOptionLogShipping, "1").IsError());
        ASSERT_FALSE(SqlSimSetDatabaseOption(instance, "Portal", kSqlSimOptionSharePointVersion, "16").IsError());
        ASSERT_TRUE(dmo.initialize("HOST/INST"));
    }

    SqlSimInstance instance;
    int64_t ids[3] = {};
    CsqlDMO dmo;
};

TEST_F(CsqlDMOBackupQueries, AnswersFromTheCatalogueAndItsOptions) {
    bool failed = false;
    EXPECT_TRUE(dmo.isDatabaseExists("sales", &failed));
    EXPECT_FALSE(dmo.isDatabaseExists("gone", &failed));
    EXPECT_FALSE(failed);  // a definite "no"
    EXPECT_TRUE(dmo.isDatabaseInSingleUserMode("Lonely"));
    EXPECT_FALSE(dmo.isDatabaseInSingleUserMode("Sales"));
    EXPECT_TRUE(dmo.isDatabaseConfiguredForLogShipping("HOST/INST", "Shipped"));
    EXPECT_FALSE(dmo.isDatabaseConfiguredForLogShipping("HOST/INST", "Sales"));
    int version = 0;
    EXPECT_TRUE(dmo.isSharepointContentDB("Portal", version));
    EXPECT_EQ(version, 16);
    EXPECT_FALSE(dmo.isSharepointContentDB("Sales", version));
    EXPECT_TRUE(dmo.isDBInFullRecoveryModel("Sales"));
    EXPECT_FALSE(dmo.isDBInFullRecoveryModel("Lonely"));

    EXPECT_FALSE(dmo.isDatabaseOffline("HOST/INST", "Sales"));
    ASSERT_FALSE(instance.SetDatabaseState("Sales", SQLDB_STATE_OFFLINE).IsError());
    EXPECT_TRUE(dmo.isDatabaseOffline("HOST/INST", "Sales"));
}

TEST_F(CsqlDMOBackupQueries, PseudoSimpleUntilTheFirstFullBackup) {
    EXPECT_TRUE(dmo.isPseudoSimpleDB(static_cast<uint64_t>(ids[0])));
    SqlSimBackupSpec log;
    log.database = "Sales";
    log.type = 'L';
    ASSERT_FALSE(instance.AddBackupHistory(log).IsError());
    EXPECT_TRUE(dmo.isPseudoSimpleDB(static_cast<uint64_t>(ids[0])));
    SqlSimBackupSpec full;
    full.database = "Sales";
    full.type = 'D';
    ASSERT_FALSE(instance.AddBackupHistory(full).IsError());
    EXPECT_FALSE(dmo.isPseudoSimpleDB(static_cast<uint64_t>(ids[0])));
}

TEST_F(CsqlDMOBackupQueries, UnanswerableQuestionsSayTheyFailed) {
    bool failed = false;
    EXPECT_FALSE(dmo.isDBInFullRecoveryModel("gone", &failed));
    EXPECT_TRUE(failed);
    failed = false;
    EXPECT_FALSE(dmo.isPseudoSimpleDB(999, &failed));
    EXPECT_TRUE(failed);
    dmo.releaseSqlConnection();
    failed = false;
    EXPECT_FALSE(dmo.isDatabaseExists("Sales", &failed));
    EXPECT_TRUE(failed);
}

}  // namespace
