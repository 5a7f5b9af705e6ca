// Wire records of the restore-task options a restore job asks the central
// server for: the database restore (request kSqlRestoreTaskReq, reply kSqlRestoreTaskRsp)
// and the Analysis Services restore (request kSqlAnalysisRestoreTaskReq, reply kSqlAnalysisRestoreTaskRsp).
// Plain XDR records: members zero on construction, texts NUL-terminated and
// owned by whoever filled the record. Entry texts separate their fields with
// the control character 0x12.
#pragma once

#include <cstdint>

#include "JxSQLCommon/records/SqlArchiveFileRecords.h"

// Request kSqlRestoreTaskReq.
struct SQLRestoreTaskReq_t {
    uint32_t restoreTaskId = 0;
};

// Reply kSqlRestoreTaskRsp.
struct SQLRestoreTaskRsp_V1_t {
    uint64_t archiveSelector = 0;
    uint64_t sourceClientId = 0;
    uint64_t destinationClientId = 0;
    uint64_t sourceInstanceId = 0;
    uint64_t destinationInstanceId = 0;
    uint64_t copyPrecedence = 0;
    uint64_t pointInTime = 0;           // seconds since 1970 (UTC)
    uint64_t optionFlags = 0;
    uint32_t databaseCount = 0;
    char** databases = nullptr;         // database entries
    uint32_t relocationCount = 0;
    char** relocations = nullptr;       // relocation entries
    char* standbyUndoFile = nullptr;    // may be null
    uint64_t reserved1 = 0;
    uint64_t reserved2 = 0;
};

// Request kSqlAnalysisRestoreTaskReq.
struct SQLAnalysisRestoreTaskReq_t {
    uint32_t restoreTaskId = 0;
};

// One detail entry of an Analysis database (fills SqlAnalysisRestoreDbInfo_t).
struct SQLAnalysisDbDetail_t {
    char* text2 = nullptr;
    char* text3 = nullptr;
    char* text4 = nullptr;
    uint32_t number1 = 0;
    char* text5 = nullptr;
    char* text6 = nullptr;
    char* text7 = nullptr;
    char* text8 = nullptr;
    uint32_t number2 = 0;
};

// One backup of an Analysis database (fills SqlAnalysisAFilesPerBackup_t).
struct SQLAnalysisBackup_t {
    uint64_t word2 = 0;
    uint64_t word1 = 0;
    uint64_t unused3 = 0;
    uint64_t backupType = 0;            // low 32 bits
    uint64_t unused5 = 0;
    uint64_t unused6 = 0;
    uint32_t afileCount = 0;
    SQLAFileEntry_t* afiles = nullptr;
};

// One Analysis database of the reply.
struct SQLAnalysisDatabase_t {
    char* entry = nullptr;              // database name, 0x12, further fields
    uint64_t unused2 = 0;
    uint32_t detailCount = 0;
    SQLAnalysisDbDetail_t* details = nullptr;
    uint32_t backupCount = 0;
    SQLAnalysisBackup_t* backups = nullptr;
    uint64_t unused5 = 0;
    uint64_t unused6 = 0;
};

// Reply kSqlAnalysisRestoreTaskRsp.
struct SQLAnalysisRestoreTaskRsp_t {
    uint64_t words[8] = {};             // the fifth is the Analysis Services instance id
    uint32_t databaseCount = 0;
    SQLAnalysisDatabase_t* databases = nullptr;
    uint32_t relocationCount = 0;
    char** relocations = nullptr;
    char* standbyUndoFile = nullptr;
    uint64_t status = 0;                // not 0: failure
    uint64_t reserved = 0;
};
