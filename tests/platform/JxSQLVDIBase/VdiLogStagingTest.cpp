// The log stager against an engine that is slow, stalled, or that fails its
// statement: it waits as the data pipeline does, and says what ended a log
// dump it could not stage.
#include <gtest/gtest.h>

#include <string>

#include "JxSQLVDIBase/VdiLogStaging.h"
#include "JxSQLVDIBase/VdiTestHold.h"
#include "WzUtils/WzClock.h"
#include "tests/platform/JxSQLVDIBase/LogBackupFixture.h"

namespace {

using vdilogtest::kServer;

class VdiLogStagingTest : public vdilogtest::LogBackupTest {
protected:
    std::string folder = root.path() + "/stage";
};

TEST_F(VdiLogStagingTest, AnEngineHeldLongerThanTwoVdiTimeOutsStillStagesItsDump) {
    // One VDI time-out is 3 s of real time here. The statement is held 2.5
    // of them: past a stager that waits two, and 7.5 s short of one that
    // waits as the pipeline does (five, with the engine's three retries).
    wz::SetTimeScale(0.01);
    CWzError result;
    std::string dump;
    ASSERT_TRUE(RunWhileHeld(2.5, [&] { result = VdiStageLogBackup(kServer, "Sales", folder, dump); }));
    ASSERT_TRUE(result.IsSuccess()) << result.AsString();
    EXPECT_EQ(dump, folder + "/Sales_Log_Backup_1.bak");
    EXPECT_FALSE(root.ReadFile("stage/Sales_Log_Backup_1.bak").empty());
    EXPECT_NE(root.ReadFile("stage/Sales_Log_Backup_1.xml").find("Sales"), std::string::npos);
}

TEST_F(VdiLogStagingTest, AStalledEngineIsSaidToHaveTimedOutAndAFailedOneGivesItsOwnError) {
    {
        // Held until the stager's own time-out stops the statement.
        VdiTestHold hold(VdiTestPoint::kBlockPut, 1);
        std::string dump;
        CWzError result = VdiStageLogBackup(kServer, "Sales", folder, dump);
        ASSERT_TRUE(result.IsError());
        EXPECT_NE(result.GetMessage().find("timed out"), std::string::npos) << result.AsString();
        EXPECT_TRUE(Names(folder).empty());
    }
    {
        root.WriteFile("vdi/fail/Sales", "3203");
        std::string dump;
        CWzError result = VdiStageLogBackup(kServer, "Sales", folder, dump);
        ASSERT_TRUE(result.IsError());
        EXPECT_NE(result.GetMessage().find("failed with error 3203"), std::string::npos) << result.AsString();
        EXPECT_EQ(result.GetMessage().find("timed out"), std::string::npos) << result.AsString();
        EXPECT_EQ(result.GetMessage().find("gave no data"), std::string::npos) << result.AsString();
        EXPECT_TRUE(Names(folder).empty());
    }
    // Once the engine is well again, the log is staged.
    std::string dump;
    CWzError result = VdiStageLogBackup(kServer, "Sales", folder, dump);
    ASSERT_TRUE(result.IsSuccess()) << result.AsString();
    EXPECT_EQ(dump, folder + "/Sales_Log_Backup_1.bak");
}

}  // namespace
