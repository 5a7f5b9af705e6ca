// Wire records of the server list, the login checks and the cloud inventory.
//
// Plain records of the XDR protocol: every member is zeroed by the
// constructor; texts are NUL-terminated and owned by whoever filled the
// record (the decoder, or the sender that allocated them with new[]).
#pragma once

#include <cstdint>

// Server list request (kSqlServerListReq, kSqlServerListReqV2).
struct SQLServerListReq_t {
    uint64_t reserved;   // not read
    char* clientName;    // the client whose instances are wanted; also the host name

    SQLServerListReq_t() : reserved(0), clientName(nullptr) {}
};

// One instance of the server list: its name, version and service state.
struct SQL_ServerInfo_VER1_t {
    char* instanceName;
    char* version;
    char* state;

    SQL_ServerInfo_VER1_t() : instanceName(nullptr), version(nullptr), state(nullptr) {}
};

// Server list reply (kSqlServerListRsp).
struct SQLServerListRsp_VER1_t {
    uint32_t count;
    SQL_ServerInfo_VER1_t* servers;
    uint64_t reserved1;   // always 0
    uint64_t reserved2;   // always 0

    SQLServerListRsp_VER1_t() : count(0), servers(nullptr), reserved1(0), reserved2(0) {}
};

// SQL login check (kSqlVerifyUserReq) and Analysis Services login check
// (kSqlAnalysisVerifyUserReq, password in the settings layer's encrypted form).
struct SQLVerifyUserReq_t {
    char* userName;       // may be null
    char* password;       // may be null
    char* instanceName;   // may be null (then the check fails)

    SQLVerifyUserReq_t() : userName(nullptr), password(nullptr), instanceName(nullptr) {}
};
using SQLAnalysisVerifyUserReq_t = SQLVerifyUserReq_t;

// Login check replies (kSqlVerifyUserRsp, kSqlAnalysisVerifyUserRsp).
struct SQLVerifyUserRsp_t {
    uint64_t failed;   // 0 accepted, 1 not
    char* message;     // why, when failed is 1; else null

    SQLVerifyUserRsp_t() : failed(0), message(nullptr) {}
};
using SQLAnalysisVerifyUserRsp_t = SQLVerifyUserRsp_t;

// Cloud inventory reply (kSqlAzureInventoryRsp): never any inventory on this platform.
struct SQLAzureInventoryInfoRsp_t {
    char* inventory;   // always null

    SQLAzureInventoryInfoRsp_t() : inventory(nullptr) {}
};
