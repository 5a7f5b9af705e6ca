// Wire records of the step-restore list and of the pruning of the backup
// history. Plain XDR records: members zeroed by the constructor, texts
// NUL-terminated and owned by whoever filled the record.
#pragma once

#include <cstdint>

// Step-restore list requests (kSqlStepRestoreListReq, and kSqlStepRestoreListReqV2 with the instance id).
struct SQLStepRestoreListReq_t {
    char* instanceName;
    char* databaseName;
    uint64_t pointInTime;   // seconds since 1970; 0 = the latest

    SQLStepRestoreListReq_t() : instanceName(nullptr), databaseName(nullptr), pointInTime(0) {}
};
struct SQLStepRestoreListReq_V2_t {
    char* instanceName;
    char* databaseName;
    uint64_t pointInTime;
    uint64_t instanceId;

    SQLStepRestoreListReq_V2_t() : instanceName(nullptr), databaseName(nullptr), pointInTime(0), instanceId(0) {}
};

// The reply (kSqlStepRestoreListRsp) lists the backups that restore one database step
// by step, oldest first. The management layer fills it; every text and the
// entry array are allocated with new[] and freed by whoever sends the reply.

struct SQLStepRestoreInfo_t {
    uint64_t backupSetId;  // id in the instance's backup history
    uint64_t finishTime;   // seconds since 1970
    char* backupType;      // "D" full, "I" differential, "L" log
    char* firstLSN;
    char* lastLSN;
    char* databaseBackupLSN;
    char* device;

    SQLStepRestoreInfo_t()
        : backupSetId(0), finishTime(0), backupType(nullptr), firstLSN(nullptr), lastLSN(nullptr),
          databaseBackupLSN(nullptr), device(nullptr) {}
};

struct SQLStepRestoreListRsp_t {
    uint32_t count;
    SQLStepRestoreInfo_t* entries;
    uint64_t failed;      // 1 when the list could not be made
    char* errorMessage;   // why, when failed is 1; else null

    SQLStepRestoreListRsp_t() : count(0), entries(nullptr), failed(0), errorMessage(nullptr) {}
};

// One backup set whose history is to go.
struct SqlBackupsetEntry_t {
    uint64_t backupSetId;
    uint64_t reserved;   // not read
    char* instanceName;
    uint64_t instanceId;

    SqlBackupsetEntry_t() : backupSetId(0), reserved(0), instanceName(nullptr), instanceId(0) {}
};

// Pruning request (kSqlPruneHistoryReq, kSqlPruneHistoryReqV2).
struct SqlBackupsetListReq_t {
    uint32_t count;
    SqlBackupsetEntry_t* entries;

    SqlBackupsetListReq_t() : count(0), entries(nullptr) {}
};

// Pruning reply (kSqlPruneHistoryRsp).
struct SqlBackupsetListRsp_t {
    uint64_t failed;   // 1 when the pruning of at least one instance failed

    SqlBackupsetListRsp_t() : failed(0) {}
};
