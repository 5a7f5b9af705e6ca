// Wire records of the backup-conversion exchange with the central server
// (request kSqlConversionRulesReq, reply kSqlConversionRulesRsp). Every member zero until filled.
#pragma once

#include <cstdint>

// One database of the exchange, the same record in request and reply; in a
// request every member but the name is zero.
struct SqlDatabaseBackupInfo_V2 {
    uint32_t systemDatabaseRestored = 0;   // since the last backup
    uint32_t pointInTimeRestored = 0;      // since the last backup
    uint32_t word3 = 0;
    uint64_t word4 = 0;
    uint64_t previousBackup = 0;           // 0: the subclient holds no backup of the database
    uint64_t word6 = 0;
    uint64_t lastBackupTime = 0;           // seconds since 1970
    uint64_t logBackupsSinceFull = 0;
    uint64_t word9 = 0;
    uint64_t backupHistoryValue = 0;       // handed to the backup-history test
    uint64_t word11 = 0;
    char* databaseName = nullptr;
};

struct SqlBackupConversionRulesReq_V4_t {
    uint32_t databaseCount = 0;
    SqlDatabaseBackupInfo_V2* databases = nullptr;
    int64_t instanceId = 0;
    char* instanceName = nullptr;
    uint64_t applicationId = 0;
    uint32_t jobId = 0;   // low 32 bits of the job id
};

struct SqlBackupConversionRulesRsp_V2_t {
    uint32_t databaseCount = 0;
    SqlDatabaseBackupInfo_V2* databases = nullptr;
    uint64_t word3 = 0;
};
