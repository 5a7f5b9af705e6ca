// Wire records: zero until filled, copied byte-wise, sizes peers rely on.
#include <gtest/gtest.h>

#include <cstddef>
#include <type_traits>

#include "JxSQLCommon/records/SqlBackupSetRecords.h"
#include "JxSQLCommon/records/SqlConversionRuleRecords.h"
#include "JxSQLCommon/records/SqlIntegrityCheckRecords.h"
#include "JxSQLCommon/records/SqlRestoreRequestRecords.h"
#include "RecordOnDirtyMemory.h"

namespace {

using jxtest::OnDirtyMemory;

static_assert(std::is_trivially_copyable_v<SQLBackupSetInfoReq_VER5_t>);
static_assert(std::is_trivially_copyable_v<SQLBackupSetInfoReq_VER3_t>);
static_assert(std::is_trivially_copyable_v<SqlBackupConversionRulesReq_V4_t>);
static_assert(std::is_trivially_copyable_v<SQLIntegrityCheckReq_t>);
static_assert(sizeof(SQLAFilesForFFGRstReq_t) == 64);
// The file/filegroup request is the restore-chain request followed by its file list.
static_assert(sizeof(SQLDbAFileRestoreInfoReq_t) == 48);
static_assert(offsetof(SQLAFilesForFFGRstReq_t, fileCount) == sizeof(SQLDbAFileRestoreInfoReq_t));
static_assert(sizeof(SQLFFGRestoreInfoReq_t) == 16);

TEST(WireRecordTest, FreshRecordsHaveZeroCountsAndNullPointers) {
    OnDirtyMemory<SQLBackupSetInfoReq_VER5_t>([](const SQLBackupSetInfoReq_VER5_t& r) {
        EXPECT_EQ(0u, r.fileCount + r.archiveCount + r.metadataValue1 + r.logFromFileSystem + r.initiatedFrom);
        EXPECT_EQ(0u, r.metadataValue64);
        EXPECT_EQ(nullptr, r.files);
        EXPECT_EQ(nullptr, r.archives);
        EXPECT_EQ(nullptr, r.firstLsn);
        EXPECT_EQ(nullptr, r.callerText);
        for (char* text : r.extraTexts) EXPECT_EQ(nullptr, text);
        EXPECT_EQ(0, r.flag86 + r.flag87);
    });
    OnDirtyMemory<SQLBackupSetInfoReq_VER3_t>([](const SQLBackupSetInfoReq_VER3_t& r) {
        EXPECT_EQ(0u, r.fileCount + r.archiveCount + r.jobId);
        EXPECT_EQ(nullptr, r.files);
        EXPECT_EQ(nullptr, r.databaseName);
    });
    OnDirtyMemory<SqlBackupConversionRulesReq_V4_t>([](const SqlBackupConversionRulesReq_V4_t& r) {
        EXPECT_EQ(0u, r.databaseCount);
        EXPECT_EQ(nullptr, r.databases);
        EXPECT_EQ(nullptr, r.instanceName);
        EXPECT_EQ(0, r.instanceId);
    });
    OnDirtyMemory<SqlDatabaseBackupInfo_V2>([](const SqlDatabaseBackupInfo_V2& r) {
        EXPECT_EQ(0u, r.systemDatabaseRestored + r.pointInTimeRestored + r.previousBackup + r.lastBackupTime +
                          r.logBackupsSinceFull + r.backupHistoryValue);
        EXPECT_EQ(nullptr, r.databaseName);
    });
    OnDirtyMemory<SQLAFilesForFFGRstReq_t>([](const SQLAFilesForFFGRstReq_t& r) {
        EXPECT_EQ(0u, r.fileCount);
        EXPECT_EQ(nullptr, r.files);
        EXPECT_EQ(nullptr, r.databaseName);
    });
    OnDirtyMemory<SQLDbAFileRestoreInfoReq_t>([](const SQLDbAFileRestoreInfoReq_t& r) {
        EXPECT_EQ(nullptr, r.databaseName);
        EXPECT_EQ(0u, r.sourceInstanceId + r.toTime + r.requestKind + r.restoreTaskId + r.word6);
    });
    OnDirtyMemory<SQLIntegrityCheckReq_t>([](const SQLIntegrityCheckReq_t& r) {
        EXPECT_EQ(0u, r.kind);
        EXPECT_EQ(nullptr, r.text);
    });
    OnDirtyMemory<GetArchFileInfoForSnapJob_ArgsCC_t>([](const GetArchFileInfoForSnapJob_ArgsCC_t& r) {
        EXPECT_EQ(0u, r.restoreJobId + r.destinationClientId + r.jxCellId + r.snapJobId + r.copyPrecedence);
    });
}

}  // namespace
