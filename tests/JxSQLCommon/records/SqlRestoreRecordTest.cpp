// Restore and snapshot value records: zero numbers, deep copies.
#include <gtest/gtest.h>

#include "JxSQLCommon/records/SqlArchiveManagerRecords.h"
#include "JxSQLCommon/records/SqlRestoreRecords.h"
#include "JxSQLCommon/records/SqlSnapshotRecords.h"
#include "RecordOnDirtyMemory.h"

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

TEST(SqlRestoreRecordTest, ArchiveManagerAndSnapshotRecordsStartZeroAndEmpty) {
    OnDirtyMemory<GetArchFileInfoForSnapJob_Ret_t>([](const GetArchFileInfoForSnapJob_Ret_t& r) {
        EXPECT_EQ(0u, r.value1 + r.value2 + r.value3 + r.value4 + r.value5 + r.value6);
        EXPECT_TRUE(r.mediaAgentName.empty());
        EXPECT_TRUE(r.archiveFiles.empty());
    });
    OnDirtyMemory<GetArchFileListForJobRetCC_t>([](const GetArchFileListForJobRetCC_t& r) {
        EXPECT_EQ(0u, r.value1 + r.value2 + r.value3 + r.archiveFileId + r.value5 + r.value6 + r.archiveFileType +
                          r.metadataValue);
    });
    OnDirtyMemory<GetLastAfileOfCycleRet_t>(
        [](const GetLastAfileOfCycleRet_t& r) { EXPECT_EQ(0u, r.archiveFileId + r.value2 + r.timeStamp); });
    OnDirtyMemory<CreateArgs_t>([](const CreateArgs_t& r) {
        EXPECT_STREQ("", r.text);
        EXPECT_EQ(0u, r.backupType + r.flag + r.applicationNumber + r.clientId + r.applicationType + r.instanceId);
    });
    OnDirtyMemory<MountpathInfo_t>([](const MountpathInfo_t& r) { EXPECT_EQ(0u, r.mountPathId + r.value2); });
    OnDirtyMemory<ClientDetails>([](const ClientDetails& r) { EXPECT_EQ(0u, r.clientId + r.value2); });
    OnDirtyMemory<SnapCopyIndexFileInfo>([](const SnapCopyIndexFileInfo& r) {
        EXPECT_EQ(0u, r.value1 + r.value2 + r.value3 + r.value4 + r.value5 + r.value6 + r.value7);
    });
    OnDirtyMemory<FSIndexRestoreInit>([](const FSIndexRestoreInit& r) {
        EXPECT_EQ(0u, r.jobId + r.value2);
        EXPECT_EQ(0, r.restoreLevel);
        EXPECT_TRUE(r.paths.empty());
    });
    OnDirtyMemory<FSRProgressReport_5_9>([](const FSRProgressReport_5_9& r) {
        for (uint64_t counter : r.counters) EXPECT_EQ(0u, counter);
    });
    static_assert(sizeof(FSRProgressReport_5_9) == sizeof(FSRProgressReport) + sizeof(uint64_t));
    OnDirtyMemory<SqlVssFileArch_t>([](const SqlVssFileArch_t& r) { EXPECT_EQ(0u, r.archiveFileId + r.offset); });
}

TEST(SqlRestoreRecordTest, CopiesOfListHoldingRecordsAreDeep) {
    GetArchFileInfoForSnapJob_Ret_t job;
    job.archiveFiles.resize(1);
    job.archiveFiles[0].text = "one";
    GetArchFileInfoForSnapJob_Ret_t copy = job;
    copy.archiveFiles[0].text = "changed";
    EXPECT_EQ("one", job.archiveFiles[0].text);

    SqlVssMapFile_t map;
    map.files.push_back(SqlVssFileArch_t{"/data/a.mdf", 7, 0});
    SqlVssMapFile_t mapCopy = map;
    mapCopy.files.front().archiveFileId = 8;
    EXPECT_EQ(7u, map.files.front().archiveFileId);
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
