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

// 0x1e0000e8: `paths` holds count + 1 entries, the last one empty.
struct SqlUncPathCreateReq_t {
    uint64_t instanceId;
    int32_t count;
    SqlCreateUncPath_t* paths;
    SqlUncPathCreateReq_t() : instanceId(0), count(0), paths(nullptr) {}
};

// 0x1e0000e9: error 0 success, 3 a path failed (all undone), 4 no paths,
// 5 instance unknown or not reachable.
struct SqlUncPathCreateRsp_t {
    int32_t error;
    int32_t count;
    SqlCreatedUncPath_t* pairs;
    SqlUncPathCreateRsp_t() : error(0), count(0), pairs(nullptr) {}
};

// 0x1e0000ea: `pairs` holds count + 1 entries, the last one empty.
struct SqlDeleteUNCPathReq_t {
    int32_t count;
    SqlCreatedUncPath_t* pairs;
    SqlDeleteUNCPathReq_t() : count(0), pairs(nullptr) {}
};

// 0x1e0000eb: error 0 success, 1 no pairs in the request.
struct SqlDeleteUNCPathRsp_t {
    int32_t error;
    SqlDeleteUNCPathRsp_t() : error(0) {}
};

// ---- database attach ----
// 0x1e0000e6
struct SqlAttachDatabaseRemoteReq_t {
    uint64_t instanceId;
    char* instanceName;
    char* attachInfo;
    SqlAttachDatabaseRemoteReq_t() : instanceId(0), instanceName(nullptr), attachInfo(nullptr) {}
};

// 0x1e0000e7: error 0 success, 4 input missing, 5 attach failed, 6 the
// instance could not be initialised.
struct SqlAttachDatabaseRemoteRsp_t {
    uint64_t error;
    char* errorText;
    SqlAttachDatabaseRemoteRsp_t() : error(0), errorText(nullptr) {}
};

// ---- directories ----
// 0x1e0000f8 (create), 0x1e0000fa (delete); answered with an XML error reply.
struct SQLCreateDeleteDirectoryReq_t {
    char* directory;
    char* extraOptions;
    SQLCreateDeleteDirectoryReq_t() : directory(nullptr), extraOptions(nullptr) {}
};

// ---- file size and copy ----
// 0x1e0000fc (request) and 0x1e0000fd (reply).
struct SQLGetFileSizeReqRsp_t {
    char* filePath;
    int64_t size;
    SQLGetFileSizeReqRsp_t() : filePath(nullptr), size(0) {}
};

// 0x1e0000fe; also the element of the multiple-file request.
struct SQLCopySingleRemoteFileReq_t {
    char* sourcePath;
    char* destinationPath;  // the folder that receives the file under its own name
    uint64_t destinationClientId;
    SQLCopySingleRemoteFileReq_t() : sourcePath(nullptr), destinationPath(nullptr), destinationClientId(0) {}
};

// 0x1e000121
struct SQLCopyMultipleRemoteFilesReq_t {
    uint32_t count;
    SQLCopySingleRemoteFileReq_t* files;
    SQLCopyMultipleRemoteFilesReq_t() : count(0), files(nullptr) {}
};

// ---- FILESTREAM file lists ----
// 0x1e000100
struct SQLGetFileStreamInfoReq_t {
    char* folder;
    char* pattern;
    SQLGetFileStreamInfoReq_t() : folder(nullptr), pattern(nullptr) {}
};

struct SQLFileStreamInfo_t {
    char* path;
    SQLFileStreamInfo_t() : path(nullptr) {}
};

// 0x1e000101: `files` holds the files found followed by one empty entry;
// error 0 success, 1 folder or pattern missing.
struct SQLGetFileStreamInfoRsp_t {
    uint32_t count;
    SQLFileStreamInfo_t* files;
    uint32_t error;
    SQLGetFileStreamInfoRsp_t() : count(0), files(nullptr), error(0) {}
};

using SQLGetFileStreamInfoV2Req_t = SQLXmlTextRecord_t;  // 0x1e00011d
using SQLGetFileStreamInfoV2Rsp_t = SQLXmlTextRecord_t;  // 0x1e00011e

// Message codes of the peer requests and their replies.
enum SqlPeerCode : unsigned long {
    kSqlAttachDatabaseReq = 0x1e0000e6,
    kSqlAttachDatabaseRsp = 0x1e0000e7,
    kSqlCreateUncPathReq = 0x1e0000e8,
    kSqlCreateUncPathRsp = 0x1e0000e9,
    kSqlDeleteUncPathReq = 0x1e0000ea,
    kSqlDeleteUncPathRsp = 0x1e0000eb,
    kSqlCreateDirectoryReq = 0x1e0000f8,
    kSqlCreateDirectoryRsp = 0x1e0000f9,
    kSqlDeleteDirectoryReq = 0x1e0000fa,
    kSqlDeleteDirectoryRsp = 0x1e0000fb,
    kSqlFileSizeReq = 0x1e0000fc,
    kSqlFileSizeRsp = 0x1e0000fd,
    kSqlCopySingleFileReq = 0x1e0000fe,
    kSqlCopySingleFileRsp = 0x1e0000ff,
    kSqlFileStreamInfoReq = 0x1e000100,
    kSqlFileStreamInfoRsp = 0x1e000101,
    kSqlFileStreamInfoV2Req = 0x1e00011d,
    kSqlFileStreamInfoV2Rsp = 0x1e00011e,
    kSqlCopyMultipleFilesReq = 0x1e000121,
    kSqlCopyMultipleFilesRsp = 0x1e000122,
};
