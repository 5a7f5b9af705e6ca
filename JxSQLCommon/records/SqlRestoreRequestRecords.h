// Wire records a restore job fills itself before asking the central server
// or the archive manager. Every member zero until filled.
#pragma once

#include <cstdint>

// The restore chain of one database as a restore job asks for it; the
// file/filegroup request below is this record followed by its file list.
struct SQLDbAFileRestoreInfoReq_t {
    char* databaseName = nullptr;
    uint64_t sourceInstanceId = 0;
    uint64_t toTime = 0;
    uint64_t requestKind = 0;
    uint64_t restoreTaskId = 0;
    uint64_t word6 = 0;
};

// Request kSqlFFGListReq: the restore ids of a file or filegroup restore.
struct SQLAFilesForFFGRstReq_t {
    char* databaseName = nullptr;
    uint64_t sourceInstanceId = 0;
    uint64_t toTime = 0;
    uint64_t requestKind = 0;   // 1
    uint64_t restoreTaskId = 0;
    uint64_t word6 = 0;
    uint32_t fileCount = 0;
    char** files = nullptr;
};

// Request kSqlFFGInfoReq: the backup of one restore id.
struct SQLFFGRestoreInfoReq_t {
    uint64_t restoreId = 0;
    char* fileList = nullptr;   // each name in single quotes, separated by ", "
};

// Request of the archive manager: the archive files of a snapshot job.
struct GetArchFileInfoForSnapJob_ArgsCC_t {
    uint64_t restoreJobId = 0;
    uint64_t destinationClientId = 0;
    uint64_t jxCellId = 0;
    uint64_t snapJobId = 0;
    uint64_t copyPrecedence = 0;
};
