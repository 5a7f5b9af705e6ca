// Wire records of the requests the agent's jobs send to the central server:
// backup-set and log-mark updates and the jobs' bookkeeping questions. The
// backup-set requests themselves are in SqlBackupSetRecords.h, the
// conversion-rule records in SqlConversionRuleRecords.h.
//
// XDR wire records: fixed-size members only, every member zero until filled;
// the filler owns what the pointers refer to ("text": a zero-terminated
// string, null where the record says it may be absent).
#pragma once

#include <cstdint>

// ---- Backup-set and log-mark updates ----

// Reply kSqlBackupSetRsp to the backup-set updates kSqlBackupSetReq and kSqlAzureBackupSetReq.
struct SQLBackupSetInfoRsp_t {
    uint64_t ulError = 0;   // 0 stored, 6 the backup chain is broken, else failed
    uint64_t reserved = 0;
};

// Reply kSqlAnalysisBackupSetRsp to the Analysis Services backup-set update kSqlAnalysisBackupSetReq.
struct SQLAnalysisBackupSetInfoRsp_t {
    uint64_t ulError = 0;   // 0 stored
    uint64_t reserved = 0;
};

// Request kSqlLastLogMarkReq: the last log mark the central server knows of a database.
struct SQLLastLogMarkInCSReq_t {
    char* databaseName = nullptr;
    uint64_t instanceId = 0;
};

// Reply kSqlLastLogMarkRsp.
struct SQLLastLogMarkInCSRsp_t {
    int64_t markValue = 0;     // stored with the mark; handed back to the mark query
    char* markText = nullptr;  // null: no mark known
    uint64_t reserved3 = 0;
    uint64_t reserved4 = 0;
};

// One log mark of a database, as the SQL layer's mark query reports it; its
// texts are the query's (new[]), or null.
struct SQLLogMarkInfo_t {
    char* markName = nullptr;
    char* description = nullptr;
    char* lsn = nullptr;
    char* markTime = nullptr;
    int64_t value = 0;
};

// Request kSqlLogMarkUpdateReq: the marks newer than the last known one.
struct SQLLogMarkUpdateReq_t {
    uint32_t count = 0;
    SQLLogMarkInfo_t* marks = nullptr;
    uint64_t instanceId = 0;
    uint64_t databaseId = 0;   // SQL Server's id of the database
};

// Reply kSqlLogMarkUpdateRsp (not read).
struct SQLLogMarkUpdateRsp_t {
    uint64_t reserved1 = 0;
    uint64_t reserved2 = 0;
};

// ---- Job bookkeeping ----

// Request kSqlMarkNameReq: the log mark name for a restore to a point in time.
struct SQLLogMarkNameReq_t {
    uint64_t sourceInstanceId = 0;
    uint64_t pointInTime = 0;
    char* databaseName = nullptr;
    uint64_t reserved = 0;
};

// Reply kSqlMarkNameRsp.
struct SQLLogMarkNameRsp_t {
    char* markName = nullptr;  // may be null
    uint64_t status = 0;       // 0 found
};

// Request kSqlCleanupReq: clean the entries of a backup that did not commit.
struct SqlCleanupTablesReq_t {
    uint64_t jobId = 0;
    uint64_t backupType = 0;
    uint64_t reserved = 0;
    char* databaseName = nullptr;
};

// One cleaned database of reply kSqlCleanupRsp.
struct SqlCleanedEntry_t {
    uint64_t reserved1 = 0;
    uint64_t reserved2 = 0;
    uint64_t reserved3 = 0;
    char* databaseName = nullptr;
    uint64_t reserved5 = 0;
};

// Reply kSqlCleanupRsp.
struct SqlCleanupTablesRsp_V1_t {
    uint64_t count = 0;
    uint64_t reserved = 0;
    SqlCleanedEntry_t* entries = nullptr;
    uint64_t status = 0;       // 0 success
};

// Request kSqlAzureCleanupReq and reply kSqlAzureCleanupRsp: the same clean-up for a cloud database.
struct SqlCleanupTablesReq_Azure_t {
    uint64_t jobId = 0;
    char* databaseName = nullptr;
};
struct SqlCleanupTablesRsp_Azure_t {
    uint64_t status = 0;       // 0 success
};

// Request kSqlLastVssFullReq and reply kSqlLastVssFullRsp: time of the last VSS full backup.
struct SqlGetLastVssFullTimeReq_t {
    uint64_t first = 0;
    uint64_t second = 0;
    char* text = nullptr;
};
struct SqlGetLastVssFullTimeRsp_t {
    uint64_t reserved = 0;
    uint64_t status = 0;       // 0 success
    char* time = nullptr;      // may be null
};

// Request kSqlACLInfoReq and reply kSqlACLInfoRsp: access-control information.
struct SQLACLInfoReq_t {
    int32_t instanceId = 0;
    uint64_t jxCellId = 0;
    char* aclInfo = nullptr;
};
struct SQLACLInfoRsp_t {
    uint32_t errorCode = 0;
};

// Request kSqlJobInfoReq and reply kSqlJobInfoRsp: information on another job.
struct SqlGetJobInfoReq_t {
    uint64_t jobId = 0;
    uint64_t jxCellId = 0;
};
struct SqlGetJobInfoRsp_t {
    uint32_t code = 0;         // 0 found, 3 nothing to tell, else failed
    char* jobInfo = nullptr;   // may be null
};

// Request kSqlSpContentReq and reply kSqlSpContentRsp: SharePoint subclients of a SQL client.
struct SpContentDBSkipBackupListReq_t {
    uint64_t reserved = 0;
    uint64_t sqlClientId = 0;
};
struct SpContentDBSkipBackupListRsp_t {
    uint64_t error = 0;        // 0 success
    uint64_t count = 0;
    uint64_t* subclientIds = nullptr;
};

// Request kSqlAuthenticationReq and reply kSqlAuthenticationRsp: SQL credentials of a client and instance.
struct MSSQLAuthentication_Req_t {
    uint64_t clientId = 0;
    uint64_t instanceId = 0;
    uint32_t skipInstance = 0;  // 0 or 1
    uint64_t cloudServer = 0;   // 0 or 1
};
struct MSSQLAuthentication_Rsp_t {
    uint64_t reserved = 0;
    uint64_t authType = 0;
    char* userName = nullptr;
    char* password = nullptr;
    uint64_t level = 0;
};
