// Wire records of database auto-discovery: the databases a client reports
// to the central server for its instance's default subclient (request
// kSqlAutoDiscoverReq, reply kSqlAutoDiscoverRsp). Plain XDR records: members zero on
// construction, texts NUL-terminated and owned by whoever filled the record.
#pragma once

#include <cstdint>

// One database of the instance.
struct SQL_DatabaseInfo_t {
    char* name = nullptr;
    uint64_t creationTime = 0;   // as the management layer gives it
    uint64_t databaseId = 0;     // SQL Server database id
};

// Request kSqlAutoDiscoverReq: the databases to add.
struct SQLAutoDiscoverReq_t {
    uint32_t count = 0;
    SQL_DatabaseInfo_t* databases = nullptr;
    uint64_t applicationId = 0;  // the instance's application in the backup domain
};

// Reply kSqlAutoDiscoverRsp.
struct SQLAutoDiscoverRsp_t {
    uint64_t error = 0;          // 0: the central server stored the additions
    uint64_t reserved = 0;
};
