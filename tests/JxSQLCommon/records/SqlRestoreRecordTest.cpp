// Restore and snapshot value records: zero numbers, deep copies.
#include <gtest/gtest.h>


#include "RecordOnDirtyMemory.h"
#include "JxSQLCommon/records/SqlRestoreRecords.h"
#include "JxSQLCommon/records/SqlSnapshotRecords.h"

namespace {

using jxtest::OnDirtyMemory;

TEST(SqlRestoreRecordTest, NumbersStartAtZero) {
    OnDirtyMemory<AFileInfo_t>([](const AFileInfo_t& r) {
        EXPECT_EQ(0u, r.jxCellId + r.archiveFileId + r.offset);
        EXPECT_TRUE(r.path.empty());
    });
    OnDirtyMemory<SqlFFGRestoreInfo_t>([](const SqlFFGRestoreInfo_t& r) {
        EXPECT_EQ(0u, r.jobId + r.applicationId + r.backupType + r.backupMethod + r.word6 + r.referenceTime +
                          r.startTime + r.endTime + r.word10 + r.word11 + r.afileType + r.backupSize);
        EXPECT_FALSE(r.vssFlag);
        EXPECT_TRUE(r.archiveFiles.empty() && r.fileGroups.empty() && r.sFirstLsn.empty());
    });
    OnDirtyMemory<SqlRestoreDbInfo_t>([](const SqlRestoreDbInfo_t& r) {
        EXPECT_EQ(0, r.sortKey);
        EXPECT_EQ(0u, r.databaseId);
        EXPECT_TRUE(r.restoreChain.empty());
    });
    OnDirtyMemory<SqlRestoreTaskOptions_t>([](const SqlRestoreTaskOptions_t& r) {
        EXPECT_EQ(0u, r.archiveSelector + r.sourceClientId + r.destinationClientId + r.sourceInstanceId +
                          r.destinationInstanceId + r.requestedDestinationInstanceId + r.copyPrecedence +
                          r.pointInTime + r.optionFlags + r.snapDestination.instanceId +
                          r.snapDestination.clientId + r.stagingInstanceId + r.dateFormatKind);
    });
    OnDirtyMemory<SqlSMVolInfo>([](const SqlSMVolInfo& r) { EXPECT_EQ(0u, r.volumeId); });
    OnDirtyMemory<SqlDatabaseFiles_t>([](const SqlDatabaseFiles_t& r) { EXPECT_EQ(0u, r.isDirectory); });
}

SqlRestoreDbInfo_t SampleDatabase() {
    SqlAFilesPerBackup_t full;
    full.backupType = kBackupTypeFull;
    full.sFirstLsn = "100";
    full.archiveFiles.push_back(AFileInfo_t{2, 501, 0, "/lib/a1"});
    full.archiveFiles.push_back(AFileInfo_t{2, 502, 4096, "/lib/a2"});
    SqlAFilesPerBackup_t log = full;
    log.backupType = kBackupTypeLog;
    SqlRestoreDbInfo_t db;
    db.sDbName = "sales\x12" "extra";
    db.newFiles = {"/new/sales.mdf"};
    db.restoreChain = {full, log};
    db.databaseId = 5;
    return db;
}

TEST(SqlRestoreRecordTest, CopiesOfADatabaseAreDeep) {
    SqlRestoreDbInfo_t source = SampleDatabase();
    SqlRestoreDbInfo_t copy(source);
    copy.restoreChain.front().archiveFiles.front().archiveFileId = 999;
    copy.restoreChain.front().archiveFiles.front().path = "/elsewhere";
    copy.newFiles.front() = "/changed.mdf";
    EXPECT_EQ(501u, source.restoreChain.front().archiveFiles.front().archiveFileId);
    EXPECT_EQ("/lib/a1", source.restoreChain.front().archiveFiles.front().path);
    EXPECT_EQ("/new/sales.mdf", source.newFiles.front());

    SqlRestoreDbInfo_t assigned;
    assigned = source;
    assigned.restoreChain.back().archiveFiles.clear();
    EXPECT_EQ(2u, source.restoreChain.back().archiveFiles.size());

    SqlRestoreDbInfo_t moved(std::move(assigned));
    EXPECT_EQ(2u, moved.restoreChain.size());
    EXPECT_EQ(5u, moved.databaseId);
}

TEST(SqlRestoreRecordTest, AFileGroupRestoreServesAsItsBackup) {
    SqlFFGRestoreInfo_t ffg;
    ffg.backupType = kBackupTypeDifferential;
    ffg.archiveFiles.push_back(AFileInfo_t{1, 7, 0, ""});
    ffg.fileGroups = {"PRIMARY", "FG2"};
    SqlAFilesPerBackup_t& asBackup = ffg;
    EXPECT_EQ(kBackupTypeDifferential, asBackup.backupType);
    SqlFFGRestoreInfo_t copy = ffg;
    copy.fileGroups.pop_back();
    copy.archiveFiles.front().offset = 1;
    EXPECT_EQ(2u, ffg.fileGroups.size());
    EXPECT_EQ(0u, ffg.archiveFiles.front().offset);
}

TEST(SqlRestoreRecordTest, SnapshotFileMapsIgnoreCase) {
    SqlSnapFileMapInfo_t maps;
    maps.mappedPaths["/Data/Sales.MDF"] = "/mnt/snap1/Sales.MDF";
    EXPECT_EQ(1u, maps.mappedPaths.count("/data/sales.mdf"));
    maps.mappedPaths["/DATA/SALES.mdf"] = "/mnt/snap2/Sales.MDF";
    EXPECT_EQ(1u, maps.mappedPaths.size());
    EXPECT_EQ("/mnt/snap2/Sales.MDF", maps.mappedPaths.begin()->second);
}

}  // namespace
