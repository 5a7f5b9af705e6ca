// Whole restore jobs over real backups: chains to a new name with
// relocation, points in time, standby and recovery-only follow-ups, and
// broken chains.
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxsqlDMO/SqlDbState.h"
#include "tests/JxSQLCommon/restore/RestoreEndToEndFixture.h"

namespace {

using vditest::DatabaseState;

TEST_F(RestoreEndToEnd, FullDifferentialAndLogsToANewNameMatchTheSource) {
    const std::vector<std::string> before = Contents("Sales");
    Take('D', 100, 1000, 2);
    Change(5, 1);
    Take('I', 200, 2000);
    Change(3, 2);
    Take('L', 300, 3000);
    Change(4, 3);
    Take('L', 400, 4000);
    const std::vector<std::string> source = Contents("Sales");
    ASSERT_NE(source, before);

    RelocateToCopy();
    int status = 0;
    ASSERT_TRUE(Run(42, &status));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(DatabaseState(sim, "Copy"), SQLDB_STATE_ONLINE);
    EXPECT_EQ(Contents("Copy"), source);
    EXPECT_EQ(Contents("Sales"), source);  // the source is untouched
    EXPECT_EQ(vditest::DataFiles(sim, "Copy")[0], root.File("moved/copy.mdf"));
}

}  // namespace
