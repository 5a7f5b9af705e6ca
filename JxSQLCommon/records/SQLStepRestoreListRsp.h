// Reply record of the step-restore list: the backups that restore one
// database step by step, oldest first. The management layer fills it; every
// text and the entry array are allocated with new[] and freed by whoever
// sends the reply.
#pragma once

#include <cstdint>

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
