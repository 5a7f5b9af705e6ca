// Wire records of the database list, the file groups of a database and the
// state of a database. Plain XDR records: members zeroed by the constructor,
// texts NUL-terminated and owned by whoever filled the record.
#pragma once

#include <cstdint>

// Database list requests, one layout per request code.
struct SQLDatabaseListReq_t {  // kSqlDatabaseListReq
    char* instanceName;

    SQLDatabaseListReq_t() : instanceName(nullptr) {}
};
struct SQLDatabaseListReq_V2_t {  // kSqlDatabaseListReqV2
    char* instanceName;
    uint64_t instanceId;

    SQLDatabaseListReq_V2_t() : instanceName(nullptr), instanceId(0) {}
};
struct SQLDatabaseListReq_V3_t {  // kSqlDatabaseListReqV3
    char* instanceName;
    char* serverType;   // "DataBase Engine", "Analysis Services", cloud types
    uint64_t instanceId;

    SQLDatabaseListReq_V3_t() : instanceName(nullptr), serverType(nullptr), instanceId(0) {}
};
struct SQLDatabaseListReq_V4_t {  // kSqlDatabaseListReqV4
    char* instanceName;
    char* serverType;
    uint64_t instanceId;
    uint64_t reserved1;   // not used
    uint64_t reserved2;   // not used

    SQLDatabaseListReq_V4_t()
        : instanceName(nullptr), serverType(nullptr), instanceId(0), reserved1(0), reserved2(0) {}
};

// One database: name, database id, creation time, state code.
struct SQLDatabaseInfo_11_t {
    char* name;
    uint64_t value1;
    uint64_t value2;
    uint64_t value3;

    SQLDatabaseInfo_11_t() : name(nullptr), value1(0), value2(0), value3(0) {}
};

// Database list reply (kSqlDatabaseListRsp).
struct SQLDatabaseListRsp_11_t {
    uint32_t count;
    SQLDatabaseInfo_11_t* databases;
    uint64_t result;     // with an empty list: 1 the query succeeded, 0 it failed or was not made
    uint64_t reserved;   // 0

    SQLDatabaseListRsp_11_t() : count(0), databases(nullptr), result(0), reserved(0) {}
};

// File-group requests (kSqlFileGroupReq, and kSqlFileGroupReqV2 with the instance id).
struct SQLDatabaseFileGroupReq_t {
    char* instanceName;
    uint64_t databaseNumber;   // used as a signed 32-bit value
    char* databaseName;

    SQLDatabaseFileGroupReq_t() : instanceName(nullptr), databaseNumber(0), databaseName(nullptr) {}
};
struct SQLDatabaseFileGroupReq_V2_t {
    char* instanceName;
    uint64_t databaseNumber;
    char* databaseName;
    uint64_t instanceId;

    SQLDatabaseFileGroupReq_V2_t() : instanceName(nullptr), databaseNumber(0), databaseName(nullptr), instanceId(0) {}
};

// One file: file id, type, size in bytes, file-group number; logical and
// physical name.
struct SqlFileItem_t {
    uint64_t value1;
    uint64_t value2;
    uint64_t value3;
    uint64_t value4;
    char* logicalName;
    char* physicalName;

    SqlFileItem_t() : value1(0), value2(0), value3(0), value4(0), logicalName(nullptr), physicalName(nullptr) {}
};

struct SqlFileGroupItem_t {
    uint64_t groupNumber;
    char* name;
    uint32_t fileCount;   // at least 1: a group without files has one placeholder
    SqlFileItem_t* files;

    SqlFileGroupItem_t() : groupNumber(0), name(nullptr), fileCount(0), files(nullptr) {}
};

// File-group reply (kSqlFileGroupRsp).
struct SQLDatabaseFileGroupRsp_t {
    uint32_t count;
    SqlFileGroupItem_t* groups;
    uint64_t reserved;   // 0
    char* extra;         // null

    SQLDatabaseFileGroupRsp_t() : count(0), groups(nullptr), reserved(0), extra(nullptr) {}
};

// Database-state requests (kSqlDatabaseStateReq, and kSqlDatabaseStateReqV2 with the instance id).
struct SQLDatabaseStateReq_t {
    char* instanceName;
    char* databaseName;

    SQLDatabaseStateReq_t() : instanceName(nullptr), databaseName(nullptr) {}
};
struct SQLDatabaseStateReq_V2_t {
    char* instanceName;
    char* databaseName;
    uint64_t instanceId;

    SQLDatabaseStateReq_V2_t() : instanceName(nullptr), databaseName(nullptr), instanceId(0) {}
};

// Database-state reply (kSqlDatabaseStateRsp).
struct SQLDatabaseStateRsp_t {
    int32_t state;      // state code of the management layer
    uint64_t failed;    // 1 when the query failed
    char* stateText;    // the state's text; null when the query failed

    SQLDatabaseStateRsp_t() : state(0), failed(0), stateText(nullptr) {}
};
