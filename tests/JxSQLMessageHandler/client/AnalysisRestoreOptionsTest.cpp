// Analysis Services restore-task options from the central-server stand-in.
#include <gtest/gtest.h>

#include <string>

#include "JXAppMgr/AppModel.h"
#include "JxSQLCommon/records/SqlAnalysisRestoreRecords.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"
#include "tools/jxserve/JxServeRestoreStore.h"

namespace {

const std::string kSep(1, '\x12');

class AnalysisRestoreOptionsTest : public jxtest::CentralServerTest {
protected:
    void SetUp() override {
        CentralServerTest::SetUp();
        AppModel::Set("instance/12", "name", "node1 Analysis Services");
        task.words[0] = 1;
        task.words[4] = 12;
        task.words[7] = 8;
        task.standbyUndoFile = "/undo";
        JxServeAnalysisDatabase cube;
        cube.entry = "Cube" + kSep + "x";
        JxServeAnalysisDetail detail;
        for (int i = 0; i < 7; ++i) detail.texts[i] = "t" + std::to_string(i + 2);
        detail.numbers[0] = 5;
        detail.numbers[1] = 6;
        cube.details.push_back(detail);
        task.databases.push_back(cube);
        JxServeAnalysisDatabase sales;
        sales.entry = "Sales";
        task.databases.push_back(sales);
        JxServeBackup backup;
        backup.instanceId = 12;
        backup.database = "Cube";
        backup.jobId = 31;
        backup.applicationId = 100;
        backup.backupType = 'D';
        backup.archiveFiles = {{2, 77, 128, ""}};
        JxServePutBackup(backup);
    }

    JxServeAnalysisTask task;
    CSQLClientDll client;
};

TEST_F(AnalysisRestoreOptionsTest, CopiesWordsDatabasesDetailsAndBackupsInReplyOrder) {
    task.relocations = {"cube" + kSep + "CubeNew" + kSep + "more", "Other" + kSep + "X" + kSep + "y"};
    JxServePutAnalysisTask(4, task);
    SqlAnalysisRestoreTaskOptions_t options;
    ASSERT_TRUE(client.getAnalysisRestoreTaskOptions(4, options));
    EXPECT_EQ(options.words[0], 1u);
    EXPECT_EQ(options.words[4], 12u);
    EXPECT_EQ(options.words[7], 8u);
    EXPECT_EQ(options.standbyUndoFile, "/undo");
    ASSERT_EQ(options.databases.size(), 2u);
    const SqlAnalysisDBRestoreOptions_t& cube = options.databases.front();
    EXPECT_EQ(cube.sDbName, "Cube" + kSep + "x");
    EXPECT_EQ(cube.newDbName, "CubeNew");
    ASSERT_EQ(cube.details.size(), 1u);
    EXPECT_EQ(cube.details.front().text1, "");
    EXPECT_EQ(cube.details.front().text2, "t2");
    EXPECT_EQ(cube.details.front().text8, "t8");
    EXPECT_EQ(cube.details.front().number1, 5u);
    EXPECT_EQ(cube.details.front().number2, 6u);
    ASSERT_EQ(cube.backups.size(), 1u);
    EXPECT_EQ(cube.backups.front().word1, 31u);
    EXPECT_EQ(cube.backups.front().word2, 100u);
    EXPECT_EQ(cube.backups.front().backupType, static_cast<uint32_t>('D'));
    EXPECT_EQ(cube.backups.front().archiveFiles.front().archiveFileId, 77u);
    const SqlAnalysisDBRestoreOptions_t& sales = options.databases.back();
    EXPECT_EQ(sales.sDbName, "Sales");
    EXPECT_EQ(sales.newDbName, "");
    EXPECT_TRUE(sales.backups.empty());
}

TEST_F(AnalysisRestoreOptionsTest, FailedStatusLeavesTheOptionsUntouched) {
    task.status = 1;
    JxServePutAnalysisTask(4, task);
    SqlAnalysisRestoreTaskOptions_t options;
    EXPECT_FALSE(client.getAnalysisRestoreTaskOptions(4, options));
    EXPECT_EQ(options.words[4], 0u);
    EXPECT_TRUE(options.databases.empty());
    EXPECT_FALSE(client.getAnalysisRestoreTaskOptions(404, options));
}

TEST_F(AnalysisRestoreOptionsTest, UnknownAnalysisInstanceFails) {
    task.words[4] = 13;
    JxServePutAnalysisTask(4, task);
    SqlAnalysisRestoreTaskOptions_t options;
    EXPECT_FALSE(client.getAnalysisRestoreTaskOptions(4, options));
    EXPECT_TRUE(options.databases.empty());
}

}  // namespace
