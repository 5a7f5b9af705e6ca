// Whole backup jobs: the phases of a job as the job manager runs them, what
// they leave with the job manager, the central server and the media.
#include <gtest/gtest.h>

#include "tests/JxSQLCommon/backup/BackupJobRun.h"

namespace {

class BackupJobTest : public jxtest::BackupJobRun {};

TEST_F(BackupJobTest, FullJobOfThreeDatabasesCompletes) {
    MakeDatabases({"Sales", "HR", "Stock"});
    ASSERT_TRUE(RunPhase(42, "-D"));
    for (const auto& e : Journal(42)) {
        std::printf("%s", e.op.c_str());
        for (const auto& [k, v] : e.values) std::printf(" %s=%s", k.c_str(), v.c_str());
        std::printf("\n");
    }
    auto complete = Journal(42, "complete");
    ASSERT_EQ(complete.size(), 1u);
    EXPECT_EQ(complete[0].Get("status"), "1");
}

}  // namespace
