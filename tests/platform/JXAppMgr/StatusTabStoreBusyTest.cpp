// The status-tab store is written by every job and read by the central
// server's stand-in: a job whose write finds another job's transaction open
// waits for it to end instead of losing its status row.
#include <gtest/gtest.h>

#include <string>

#include "JXAppMgr/StatusTabStore.h"
#include "WzSQLite/CSQLite3Exception.h"
#include "WzUtils/PlatformRoot.h"
#include "tests/support/SqliteBusyWatch.h"
#include "tests/support/TestRoot.h"

namespace {

TEST(StatusTabStoreBusy, AJobsStatusRowWaitsForAnotherJobsTransaction) {
    jxtest::TestRoot root;
    statustab::PutRecord(70, 2, "Sales", "<first/>");  // the tables exist before the store is held
    const std::string error =
        jxtest::WriteWhileAnotherWriterHolds(wz::PlatformPath("appmgr/statustab.db"), []() -> std::string {
            try {
                statustab::PutRecord(71, 2, "Sales", "<second/>");
            } catch (const FX::CSQLite3Exception& e) {
                return e.what();
            }
            return "";
        });
    EXPECT_EQ(error, "");
    EXPECT_EQ(statustab::Records(71, 2), (std::vector<std::string>{"<second/>"}));
    EXPECT_EQ(statustab::Records(70, 2), (std::vector<std::string>{"<first/>"}));
}

}  // namespace
