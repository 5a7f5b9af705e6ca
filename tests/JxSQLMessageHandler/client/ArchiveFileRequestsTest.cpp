// Restore chains and file/filegroup lists from the central-server stand-in.
#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlRestoreRecords.h"
#include "JxSQLCommon/records/SqlRestoreRequestRecords.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"
#include "tools/jxserve/JxServeRestoreStore.h"

namespace {

constexpr uint64_t kInstance = 7;

JxServeBackup Backup(char type, uint64_t jobId, uint64_t endTime, const std::string& lastLsn,
                     std::vector<JxServeArchiveFile> files = {}) {
    JxServeBackup b;
    b.instanceId = kInstance;
    b.database = "sales";
    b.jobId = jobId;
    b.applicationId = 100;
    b.backupType = type;
    b.vssFlag = 0;
    b.word6 = 6;
    b.referenceTime = endTime - 1;
    b.startTime = endTime - 10;
    b.endTime = endTime;
    b.word10 = 10;
    b.word11 = 11;
    b.firstLsn = "1000";
    b.lastLsn = lastLsn;
    b.backupSize = 4096;
    b.archiveFiles = std::move(files);
    return b;
}

std::string Types(const std::list<SqlAFilesPerBackup_t>& backups) {
    std::string out;
    for (const auto& b : backups) out += static_cast<char>(b.backupType);
    return out;
}

class ArchiveFileRequestsTest : public jxtest::CentralServerTest {
protected:
    void SetUp() override {
        CentralServerTest::SetUp();
        JxServeBackup full = Backup('D', 1, 100, "2000", {{3, 41, 0, "/lib/a"}, {3, 42, 512, "/lib/b"}});
        full.vssFlag = 1;
        fullId = JxServePutBackup(full);
        JxServePutBackup(Backup('I', 2, 200, "3000"));
        JxServePutBackup(Backup('L', 3, 300, "4000", {{0x7fffffffu + 2u, 43, 1u << 31, ""}}));
    }
    uint64_t fullId = 0;
    CSQLClientDll client;
};

// The stand-in sends the chain newest first; each backup goes in front of the
// list, so the job gets it oldest first.
TEST_F(ArchiveFileRequestsTest, ChainComesOldestFirstInFrontOfWhatTheListHeld) {
    std::list<SqlAFilesPerBackup_t> backups(1);
    backups.front().backupType = 'X';
    ASSERT_TRUE(client.getAFilesForDb(5, kInstance, 0, 0, 1, "sales", backups));
    EXPECT_EQ(Types(backups), "DILX");
    const SqlAFilesPerBackup_t& full = backups.front();
    EXPECT_EQ(full.jobId, 1u);
    EXPECT_EQ(full.applicationId, 100u);
    EXPECT_TRUE(full.vssFlag);
    EXPECT_EQ(full.word6, 6u);
    EXPECT_EQ(full.referenceTime, 99u);
    EXPECT_EQ(full.startTime, 90u);
    EXPECT_EQ(full.endTime, 100u);
    EXPECT_EQ(full.word10, 10u);
    EXPECT_EQ(full.word11, 11u);
    EXPECT_EQ(full.sFirstLsn, "1000");
    EXPECT_EQ(full.sLastLsn, "2000");
    EXPECT_EQ(full.backupSize, 4096u);
    ASSERT_EQ(full.archiveFiles.size(), 2u);
    EXPECT_EQ(full.archiveFiles.front().jxCellId, 3u);
    EXPECT_EQ(full.archiveFiles.front().archiveFileId, 41u);
    EXPECT_EQ(full.archiveFiles.back().offset, 512u);
    EXPECT_EQ(full.archiveFiles.back().path, "/lib/b");
    EXPECT_FALSE(std::next(backups.begin())->vssFlag);
    EXPECT_TRUE(std::next(backups.begin())->archiveFiles.empty());
}

TEST_F(ArchiveFileRequestsTest, ArchiveFileIdsAboveTheSigned32BitRangeKeepTheirValue) {
    std::list<SqlAFilesPerBackup_t> backups;
    ASSERT_TRUE(client.getAFilesForDb(5, kInstance, 0, 0, 1, "sales", backups));
    const AFileInfo_t& afile = backups.back().archiveFiles.front();
    EXPECT_EQ(afile.jxCellId, 0x80000001u);
    EXPECT_EQ(afile.offset, 1ull << 31);
}

TEST_F(ArchiveFileRequestsTest, PointInTimeAndUnknownDatabaseLimitTheChain) {
    std::list<SqlAFilesPerBackup_t> backups;
    ASSERT_TRUE(client.getAFilesForDb(5, kInstance, 50, 0, 2, "sales", backups));
    EXPECT_EQ(Types(backups), "");
    backups.clear();
    ASSERT_TRUE(client.getAFilesForDb(5, kInstance, 0, 0, 1, "nosuch", backups));
    EXPECT_TRUE(backups.empty());
}

TEST_F(ArchiveFileRequestsTest, LiveSyncChainStartsAfterTheLastRestoreWhateverItsStatus) {
    JxServeSetLiveSyncStatus(kInstance, "sales", 3);
    SQLPmn::DBLastRestoreInfo last;
    last.setstring(SQLPmn::DBLastRestoreInfo::kLastLsn, "2000");
    std::list<SqlAFilesPerBackup_t> backups;
    ASSERT_TRUE(client.getAfilesForDBForLiveSync(5, kInstance, "sales", last, backups));
    EXPECT_EQ(Types(backups), "L") << "the log carries the standby on from the full";
}

TEST_F(ArchiveFileRequestsTest, AzureChainCarriesNoTimesOrLsns) {
    std::list<SqlAFilesPerBackup_t> backups;
    ASSERT_TRUE(client.getAFilesForAzureDb(kInstance, 0, 0, "sales", backups));
    ASSERT_EQ(Types(backups), "DIL");
    EXPECT_EQ(backups.front().archiveFiles.size(), 2u);
    EXPECT_EQ(backups.front().endTime, 0u);
    EXPECT_EQ(backups.front().sLastLsn, "");
    EXPECT_EQ(backups.front().referenceTime, 99u);
}

// The list is the chain at the to-time, oldest first, on a full the job can
// read: the VSS-style full is none.
TEST_F(ArchiveFileRequestsTest, FileGroupRestoreListAndBackupOfARestoreId) {
    const uint64_t streamedFull = JxServePutBackup(Backup('D', 4, 400, "5000"));
    const uint64_t diff = JxServePutBackup(Backup('I', 5, 500, "6000"));
    const uint64_t log = JxServePutBackup(Backup('L', 6, 600, "7000"));
    std::string database = "sales";
    SQLAFilesForFFGRstReq_t listRequest;
    listRequest.databaseName = database.data();
    listRequest.sourceInstanceId = kInstance;
    listRequest.toTime = 550;
    client.getDataBuffer()->setExternalBuffer(&listRequest, sizeof listRequest);
    std::list<unsigned long> ids{99};
    EXPECT_EQ(client.getFFGRestoreList(ids), 0u);
    EXPECT_EQ(ids, (std::list<unsigned long>{99, streamedFull, diff, log}));  // the log reaches the to-time
    listRequest.toTime = 250;
    client.getDataBuffer()->setExternalBuffer(&listRequest, sizeof listRequest);
    ids.clear();
    EXPECT_EQ(client.getFFGRestoreList(ids), 0u);
    EXPECT_TRUE(ids.empty());

    std::string files = "'primary', 'fg2'";
    SQLFFGRestoreInfoReq_t infoRequest;
    infoRequest.restoreId = fullId;
    infoRequest.fileList = files.data();
    client.getDataBuffer()->setExternalBuffer(&infoRequest, sizeof infoRequest);
    SqlFFGRestoreInfo_t info;
    ASSERT_TRUE(client.getFFGAFileRestoreInfo(info));
    EXPECT_EQ(info.jobId, 1u);
    EXPECT_EQ(info.backupType, static_cast<uint32_t>('D'));
    EXPECT_TRUE(info.vssFlag);
    EXPECT_EQ(info.backupMethod, 10u);
    EXPECT_EQ(info.word10, 10u);
    EXPECT_EQ(info.referenceTime, 99u);
    EXPECT_EQ(info.backupSize, 0u);
    EXPECT_EQ(info.archiveFiles.size(), 2u);
    EXPECT_EQ(info.fileGroups, (std::list<std::string>{"primary", "fg2"}));

    // Without the central server the list is not "go on" (0): the restore must stop.
    host.Stop();
    client.getDataBuffer()->setExternalBuffer(&listRequest, sizeof listRequest);
    ids = {99};
    EXPECT_EQ(client.getFFGRestoreList(ids), CSQLClientDll::kFFGListExchangeFailed);
    EXPECT_EQ(ids, (std::list<unsigned long>{99}));
}

TEST(DatabaseStateTest, StandbyAndLoadingStates) {
    EXPECT_TRUE(CSQLClientDll::isDatabaseInStandBy(64));
    EXPECT_FALSE(CSQLClientDll::isDatabaseInStandBy(2));
    EXPECT_TRUE(CSQLClientDll::isDatabaseInLoading(2));
    EXPECT_FALSE(CSQLClientDll::isDatabaseInLoading(64));
}

}  // namespace
