// Wire records of the backup-set update a backup job sends to the central
// server after each database: the files and archive files of the backup
// and the backup set itself.
//
// XDR wire records: fixed-size members only, every member zero until filled;
// the filler owns what the pointers refer to. Copies are byte-wise.
#pragma once

#include <cstddef>
#include <cstdint>

// One database file of a backup set.
struct JXSQLBackupFileInfo_V1_t {
    char* physicalName = nullptr;
    char* logicalName = nullptr;
    char* filegroupName = nullptr;
    uint32_t fileNumber = 0;
    uint32_t fileType = 0;
    uint64_t fileSize = 0;   // bytes
};

// One data stream, or one snapped volume, of a backup set.
struct JXSQLBackupArchiveInfo_VER1_t {
    uint32_t jxCellId = 0;
    uint32_t archiveFileId = 0;
    uint64_t offset = 0;         // 0 for snapshots
    char* sourcePath = nullptr;  // snapped volume's source path; null for streams
};

// The members both versions of the backup-set request begin with, in order.
struct SQLBackupSetInfoCommon_t {
    uint32_t metadataValue1 = 0;
    uint32_t databaseId = 0;
    uint32_t startDate = 0;
    uint32_t finishDate = 0;
    uint32_t metadataValue5 = 0;
    uint32_t metadataValue2 = 0;
    uint32_t metadataValue3 = 0;
    uint32_t metadataValue4 = 0;
    uint32_t applicationNumber = 0;
    uint32_t archiveGroupId = 0;
    uint32_t instanceId = 0;
    uint32_t applicationType = 0;
    uint64_t metadataValue64 = 0;
    char* firstLsn = nullptr;
    char* lastLsn = nullptr;
    char* checkpointLsn = nullptr;
    char* databaseBackupLsn = nullptr;
    char* databaseName = nullptr;
    char* backupType = nullptr;
    char* unused20 = nullptr;
    char* callerText = nullptr;
    uint32_t copyOnly = 0;
    uint32_t backupMethod = 0;
    uint32_t jobId = 0;
    uint32_t logFromFileSystem = 0;
};

// Request kSqlBackupSetReq.
struct SQLBackupSetInfoReq_VER5_t : SQLBackupSetInfoCommon_t {
    char* extraTexts[9] = {};    // metadata texts 23 to 31
    // The texts of the recovery path (SQLPmn::SQLDBBackupInfo::kRecoveryPath,
    // kForkedFromPath, kForkLsn) in extraTexts.
    static constexpr size_t kRecoveryPathText = 0;
    static constexpr size_t kForkedFromPathText = 1;
    static constexpr size_t kForkLsnText = 2;
    uint8_t flag86 = 0;
    uint8_t flag87 = 0;
    uint32_t sharePoint = 0;
    uint32_t backupPhase = 0;    // 1 full, 2 log, 3 differential
    uint32_t initiatedFrom = 0;
    uint32_t fileCount = 0;
    JXSQLBackupFileInfo_V1_t* files = nullptr;
    uint32_t archiveCount = 0;
    JXSQLBackupArchiveInfo_VER1_t* archives = nullptr;
};

// The older request: the common members, then files and archives.
struct SQLBackupSetInfoReq_VER3_t : SQLBackupSetInfoCommon_t {
    uint32_t fileCount = 0;
    JXSQLBackupFileInfo_V1_t* files = nullptr;
    uint32_t archiveCount = 0;
    JXSQLBackupArchiveInfo_VER1_t* archives = nullptr;
};
