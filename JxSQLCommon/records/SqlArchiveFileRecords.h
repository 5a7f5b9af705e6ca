// Wire records of the archive-file requests a restore job sends to the
// central server: the backups of a database's restore chain with the archive
// files that hold them, the live-sync and Azure forms, and the file/filegroup
// restore lists. Plain XDR records: members zero on construction, texts
// NUL-terminated and owned by whoever filled the record.
#pragma once

#include <cstdint>

#include "JxSQLCommon/records/SqlAGCatalogueRecords.h"

// One archive file of a backup, as every reply below carries it.
struct SQLAFileEntry_t {
    int32_t jxCellId = 0;
    int32_t archiveFileId = 0;
    uint64_t offset = 0;
    char* path = nullptr;
};

// Request kSqlAFilesReq: the restore chain of one database.
struct SQLDbAFileRestoreInfo_VER6_Req_t {
    char* databaseName = nullptr;
    uint64_t sourceInstanceId = 0;
    uint64_t pointInTime = 0;
    int32_t restoreKind = 0;     // 1 to 4, derived by the restore job from its option flags
    uint64_t restoreTaskId = 0;
    uint64_t secondTime = 0;
};

// One backup of a version-6 reply. Members named after the value-record
// member (SqlAFilesPerBackup_t) they fill.
struct SQLDbAFileBackup_VER6_t {
    uint64_t applicationId = 0;
    uint64_t jobId = 0;
    uint64_t backupType = 0;     // a type letter in the low 32 bits
    int32_t vssFlag = 0;         // positive: set
    uint64_t unused5 = 0;
    uint64_t word10 = 0;
    uint64_t word11 = 0;
    uint64_t word6 = 0;
    uint64_t referenceTime = 0;
    uint64_t startTime = 0;
    uint64_t endTime = 0;
    char* firstLsn = nullptr;
    char* lastLsn = nullptr;
    uint64_t backupSize = 0;
    uint32_t afileCount = 0;
    SQLAFileEntry_t* afiles = nullptr;
};

// Reply kSqlAFilesRsp (to kSqlAFilesReq and to the live-sync request kSqlLiveSyncAFilesReq).
struct SQLDbAFileRestoreInfo_VER6_Rsp_t {
    uint32_t count = 0;
    SQLDbAFileBackup_VER6_t* backups = nullptr;
    uint64_t chainStatus = 0;    // live sync: 1 to 4, see getAfilesForDBForLiveSync
    uint64_t reserved = 0;
};

// Request kSqlLiveSyncAFilesReq: one SQLPmn::DBAFRestoreInfoReq document.
using SQLLiveSyncDBAFRestoreInfoReq_V3_t = SQLXmlTextRecord_t;

// Request kSqlAzureAFilesReq: the restore chain of an Azure database.
struct SQLAzureDbAFileRestoreInfoReq_t {
    char* databaseName = nullptr;
    uint64_t value2 = 0;
    uint64_t value3 = 0;
    uint64_t value1 = 0;
};

// One backup of a version-3 reply (no times, no LSNs).
struct SQLDbAFileBackup_ver_3_t {
    uint64_t applicationId = 0;
    uint64_t jobId = 0;
    uint64_t backupType = 0;
    int32_t vssFlag = 0;
    uint64_t unused5 = 0;
    uint64_t word10 = 0;
    uint64_t word11 = 0;
    uint64_t word6 = 0;
    uint64_t referenceTime = 0;
    uint32_t afileCount = 0;
    SQLAFileEntry_t* afiles = nullptr;
};

// Reply kSqlAzureAFilesRsp.
struct SQLDbAFileRestoreInfo_ver_3_Rsp_t {
    uint32_t count = 0;
    SQLDbAFileBackup_ver_3_t* backups = nullptr;
    uint64_t chainStatus = 0;
    uint64_t reserved = 0;
};

// Reply kSqlFFGListRsp: the restore ids of a file/filegroup restore.
struct SQLAFilesForFFGRstRsp_t {
    uint32_t count = 0;
    uint64_t* restoreIds = nullptr;
    uint64_t status = 0;         // 0 success; 3 a log backup is needed first
    uint64_t reserved = 0;
};

// Reply kSqlFFGInfoRsp: the backup of one restore id.
struct SQLFFGRestoreInfo_ver_3_Rsp_t {
    uint64_t applicationId = 0;
    uint64_t jobId = 0;
    uint64_t backupType = 0;
    int32_t vssFlag = 0;
    uint64_t unused5 = 0;
    uint64_t backupMethod = 0;   // also word10 (low 32 bits)
    uint64_t word11 = 0;
    uint64_t word6 = 0;
    uint64_t referenceTime = 0;
    uint32_t afileCount = 0;
    SQLAFileEntry_t* afiles = nullptr;
    uint32_t fileCount = 0;
    char** files = nullptr;
};
