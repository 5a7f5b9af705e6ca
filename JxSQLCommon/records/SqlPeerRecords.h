// Wire records of the requests one client's agent sends to another's:
// network shares, database attach, directories, file size and copy, and
// FILESTREAM file lists. Plain XDR records: members zeroed by the
// constructor, texts NUL-terminated and owned by whoever filled the record.
//
// On the wire an empty text and a missing one look alike; the serving side
// treats both as missing.
#pragma once

#include <cstdint>

#include "JxSQLCommon/records/SqlAGCatalogueRecords.h"

// ---- network shares ----
struct SqlCreateUncPath_t {
    char* path;
    SqlCreateUncPath_t() : path(nullptr) {}
};

struct SqlCreatedUncPath_t {
    char* path;
    char* uncPath;
    SqlCreatedUncPath_t() : path(nullptr), uncPath(nullptr) {}
};

// kSqlCreateUncPathReq: `paths` holds count + 1 entries, the last one empty.
struct SqlUncPathCreateReq_t {
    uint64_t instanceId;
    int32_t count;
    SqlCreateUncPath_t* paths;
    SqlUncPathCreateReq_t() : instanceId(0), count(0), paths(nullptr) {}
};

// kSqlCreateUncPathRsp: error 0 success, 3 a path failed (all undone), 4 no paths,
// 5 instance unknown or not reachable.
struct SqlUncPathCreateRsp_t {
    int32_t error;
    int32_t count;
    SqlCreatedUncPath_t* pairs;
    SqlUncPathCreateRsp_t() : error(0), count(0), pairs(nullptr) {}
};

// kSqlDeleteUncPathReq: `pairs` holds count + 1 entries, the last one empty.
struct SqlDeleteUNCPathReq_t {
    int32_t count;
    SqlCreatedUncPath_t* pairs;
    SqlDeleteUNCPathReq_t() : count(0), pairs(nullptr) {}
};

// kSqlDeleteUncPathRsp: error 0 success, 1 no pairs in the request.
struct SqlDeleteUNCPathRsp_t {
    int32_t error;
    SqlDeleteUNCPathRsp_t() : error(0) {}
};

// ---- database attach ----
// kSqlAttachDatabaseReq
struct SqlAttachDatabaseRemoteReq_t {
    uint64_t instanceId;
    char* instanceName;
    char* attachInfo;
    SqlAttachDatabaseRemoteReq_t() : instanceId(0), instanceName(nullptr), attachInfo(nullptr) {}
};

// kSqlAttachDatabaseRsp: error 0 success, 4 input missing, 5 attach failed, 6 the
// instance could not be initialised.
struct SqlAttachDatabaseRemoteRsp_t {
    uint64_t error;
    char* errorText;
    SqlAttachDatabaseRemoteRsp_t() : error(0), errorText(nullptr) {}
};

// ---- directories ----
// kSqlCreateDirectoryReq (create), kSqlDeleteDirectoryReq (delete); answered with an XML error reply.
struct SQLCreateDeleteDirectoryReq_t {
    char* directory;
    char* extraOptions;
    SQLCreateDeleteDirectoryReq_t() : directory(nullptr), extraOptions(nullptr) {}
};

// ---- file size and copy ----
// kSqlFileSizeReq (request) and kSqlFileSizeRsp (reply).
struct SQLGetFileSizeReqRsp_t {
    char* filePath;
    int64_t size;
    SQLGetFileSizeReqRsp_t() : filePath(nullptr), size(0) {}
};

// kSqlCopySingleFileReq; also the element of the multiple-file request.
struct SQLCopySingleRemoteFileReq_t {
    char* sourcePath;
    char* destinationPath;  // the folder that receives the file under its own name
    uint64_t destinationClientId;
    SQLCopySingleRemoteFileReq_t() : sourcePath(nullptr), destinationPath(nullptr), destinationClientId(0) {}
};

// kSqlCopyMultipleFilesReq
struct SQLCopyMultipleRemoteFilesReq_t {
    uint32_t count;
    SQLCopySingleRemoteFileReq_t* files;
    SQLCopyMultipleRemoteFilesReq_t() : count(0), files(nullptr) {}
};

// ---- FILESTREAM file lists ----
// kSqlFileStreamInfoReq
struct SQLGetFileStreamInfoReq_t {
    char* folder;
    char* pattern;
    SQLGetFileStreamInfoReq_t() : folder(nullptr), pattern(nullptr) {}
};

struct SQLFileStreamInfo_t {
    char* path;
    SQLFileStreamInfo_t() : path(nullptr) {}
};

// kSqlFileStreamInfoRsp: `files` holds the files found followed by one empty entry;
// error 0 success, 1 folder or pattern missing.
struct SQLGetFileStreamInfoRsp_t {
    uint32_t count;
    SQLFileStreamInfo_t* files;
    uint32_t error;
    SQLGetFileStreamInfoRsp_t() : count(0), files(nullptr), error(0) {}
};

using SQLGetFileStreamInfoV2Req_t = SQLXmlTextRecord_t;  // kSqlFileStreamInfoV2Req
using SQLGetFileStreamInfoV2Rsp_t = SQLXmlTextRecord_t;  // kSqlFileStreamInfoV2Rsp
