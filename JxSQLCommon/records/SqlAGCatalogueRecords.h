// Wire records of the availability-group, SharePoint and Analysis Services
// catalogue requests. Plain XDR records: members zeroed by the constructor,
// texts NUL-terminated and owned by whoever filled the record.
#pragma once

#include <cstdint>

// The availability-group requests and replies carry one XML document each.
struct SQLXmlTextRecord_t {
    char* xml;

    SQLXmlTextRecord_t() : xml(nullptr) {}
};
using GetAvailabilityGroupsReq_t = SQLXmlTextRecord_t;         // kSqlAvailabilityGroupsReq
using GetAvailabilityGroupsRsp_t = SQLXmlTextRecord_t;         // kSqlAvailabilityGroupsRsp
using GetAGReq_t = SQLXmlTextRecord_t;                         // kSqlAvailabilityGroupReq
using GetAGRsp_t = SQLXmlTextRecord_t;                         // kSqlAvailabilityGroupRsp
using GetAvailabilityDatabasesReq_t = SQLXmlTextRecord_t;      // kSqlAvailabilityDatabasesReq
using GetAvailabilityDatabasesRsp_t = SQLXmlTextRecord_t;      // kSqlAvailabilityDatabasesRsp
using GetAvailabilityGroupReplicasReq_t = SQLXmlTextRecord_t;  // kSqlAvailabilityReplicasReq
using GetAvailabilityGroupReplicasRsp_t = SQLXmlTextRecord_t;  // kSqlAvailabilityReplicasRsp

// SharePoint database list request (kSqlSharePointDatabasesReq).
struct SQLGetSPDatabaseListReq_t {
    char* instanceName;
    char* userName;
    char* password;

    SQLGetSPDatabaseListReq_t() : instanceName(nullptr), userName(nullptr), password(nullptr) {}
};

struct SPDataBaseInfo_t {
    char* name;
    int64_t databaseId;
    uint64_t creationTime;

    SPDataBaseInfo_t() : name(nullptr), databaseId(0), creationTime(0) {}
};

// SharePoint database list reply (kSqlSharePointDatabasesRsp).
struct SQLGetSPDatabaseListRSP_t {
    uint32_t count;
    SPDataBaseInfo_t* databases;
    uint64_t reserved1;   // 0
    uint64_t reserved2;   // 0

    SQLGetSPDatabaseListRSP_t() : count(0), databases(nullptr), reserved1(0), reserved2(0) {}
};

// One database whose remote partitions are wanted, and the Analysis
// Services instance that holds it.
struct AnalysisRemotePartitionReqEntry_t {
    char* serverName;
    char* databaseName;

    AnalysisRemotePartitionReqEntry_t() : serverName(nullptr), databaseName(nullptr) {}
};

// Remote-partition request (kSqlRemotePartitionReq).
struct SQLAnalysisGetRemotePartitionInfoReq_t {
    uint32_t count;
    AnalysisRemotePartitionReqEntry_t* entries;

    SQLAnalysisGetRemotePartitionInfoReq_t() : count(0), entries(nullptr) {}
};

struct AnalysisRemotePartitionInfoPerDb_t {
    char* cube;
    char* measureGroup;
    char* partition;
    char* remoteServer;

    AnalysisRemotePartitionInfoPerDb_t() : cube(nullptr), measureGroup(nullptr), partition(nullptr), remoteServer(nullptr) {}
};

struct AnalysisRemotePartitionInfo_t {
    char* databaseName;
    uint32_t count;
    AnalysisRemotePartitionInfoPerDb_t* partitions;

    AnalysisRemotePartitionInfo_t() : databaseName(nullptr), count(0), partitions(nullptr) {}
};

// Remote-partition reply (kSqlRemotePartitionRsp).
struct SQLAnalysisGetRemotePartitionInfoRsp_t {
    uint32_t count;
    AnalysisRemotePartitionInfo_t* databases;
    uint64_t failed;     // 1 when a query failed
    uint64_t reserved;   // 0

    SQLAnalysisGetRemotePartitionInfoRsp_t() : count(0), databases(nullptr), failed(0), reserved(0) {}
};
