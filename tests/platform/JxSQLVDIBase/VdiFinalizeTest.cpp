// Ending an engine whose statement never started.
#include <gtest/gtest.h>

#include "JxSQLVDIBase/CJxSQLVDI.h"

namespace {

TEST(VdiFinalizeTest, WithoutAStatementTheFailureCarriesThePipelinesReasonIfItGaveOne) {
    CJxSQLVDI plain;
    EXPECT_FALSE(plain.Finalize(false));
    EXPECT_TRUE(plain.queryFailed());
    EXPECT_EQ(plain.getJXErrorString(), "No statement was started.");

    CJxSQLVDI aborted;
    aborted.AbortOperation("Archive file 7 is missing from the media.");
    EXPECT_FALSE(aborted.Finalize(false));
    EXPECT_EQ(aborted.getJXErrorString(), "Archive file 7 is missing from the media.");
}

}  // namespace
