// XDR codecs of the peer records: one routine per record for encode, decode
// and free. Texts are bounded by the longest path or description a peer may
// send, arrays by the number of entries one request may carry.
#include "JxSQLCommon/records/SqlPeerCodecs.h"

#include <climits>
#include <cstdlib>

#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLCommon/records/SqlPeerRecords.h"
#include "JxSQLCommon/records/SqlXmlRequestCodecs.h"
#include "JxSession/jxsCodecRegistry.h"
#include "JxSession/jxsXdr.h"

namespace {

constexpr uint32_t kMaxPathLength = PATH_MAX;
constexpr uint32_t kMaxDescriptionLength = 1u << 20;
constexpr uint32_t kMaxEntries = 1u << 16;
// A FILESTREAM folder may hold many more files than a request has entries.
constexpr uint32_t kMaxFileStreamEntries = kJxsMaxArrayCount;

bool Path(XDR* x, char** text) { return jxsXdrString(x, text, kMaxPathLength); }
bool Description(XDR* x, char** text) { return jxsXdrString(x, text, kMaxDescriptionLength); }

// An array whose length travels as a signed count. In memory it holds
// count + `sentinels` entries, the extra ones zeroed: the requests end their
// arrays with one empty entry, and a decoded request keeps that shape.
template <typename T>
bool SignedCountArray(XDR* x, int32_t* count, T** items, uint32_t sentinels, bool (*element)(XDR*, T*)) {
    if (x->x_op == XDR_FREE) {
        if (*items != nullptr) {
            uint32_t total = static_cast<uint32_t>(*count < 0 ? 0 : *count) + sentinels;
            for (uint32_t i = 0; i < total; ++i) element(x, &(*items)[i]);
            std::free(*items);
        }
        *items = nullptr;
        *count = 0;
        return true;
    }
    uint32_t n = 0;
    if (x->x_op == XDR_ENCODE) {
        if (*count < 0 || (*count > 0 && *items == nullptr)) return false;
        n = static_cast<uint32_t>(*count);
        if (n > kMaxEntries || !jxsXdrU32(x, &n)) return false;
    } else {
        *items = nullptr;
        *count = 0;
        if (!jxsXdrCount(x, &n, kMaxEntries)) return false;
        if (n + sentinels == 0) return true;
        *items = static_cast<T*>(std::calloc(n + sentinels, sizeof(T)));
        if (*items == nullptr) return false;
        *count = static_cast<int32_t>(n);
    }
    for (uint32_t i = 0; i < n; ++i) {
        if (!element(x, &(*items)[i])) return false;
    }
    return true;
}

// ---- network shares ----
bool xdr_SqlCreateUncPath_t(XDR* x, SqlCreateUncPath_t* r) { return Path(x, &r->path); }
bool xdr_SqlCreatedUncPath_t(XDR* x, SqlCreatedUncPath_t* r) { return Path(x, &r->path) && Path(x, &r->uncPath); }
bool xdr_SqlUncPathCreateReq_t(XDR* x, SqlUncPathCreateReq_t* r) {
    return jxsXdrU64(x, &r->instanceId) && SignedCountArray(x, &r->count, &r->paths, 1, xdr_SqlCreateUncPath_t);
}
bool xdr_SqlUncPathCreateRsp_t(XDR* x, SqlUncPathCreateRsp_t* r) {
    return jxsXdrI32(x, &r->error) && SignedCountArray(x, &r->count, &r->pairs, 0, xdr_SqlCreatedUncPath_t);
}
bool xdr_SqlDeleteUNCPathReq_t(XDR* x, SqlDeleteUNCPathReq_t* r) {
    return SignedCountArray(x, &r->count, &r->pairs, 1, xdr_SqlCreatedUncPath_t);
}
bool xdr_SqlDeleteUNCPathRsp_t(XDR* x, SqlDeleteUNCPathRsp_t* r) { return jxsXdrI32(x, &r->error); }

// ---- database attach ----
bool xdr_SqlAttachDatabaseRemoteReq_t(XDR* x, SqlAttachDatabaseRemoteReq_t* r) {
    return jxsXdrU64(x, &r->instanceId) && Path(x, &r->instanceName) && Description(x, &r->attachInfo);
}
bool xdr_SqlAttachDatabaseRemoteRsp_t(XDR* x, SqlAttachDatabaseRemoteRsp_t* r) {
    return jxsXdrU64(x, &r->error) && Description(x, &r->errorText);
}

// ---- directories, file size and copy ----
bool xdr_SQLCreateDeleteDirectoryReq_t(XDR* x, SQLCreateDeleteDirectoryReq_t* r) {
    return Path(x, &r->directory) && Description(x, &r->extraOptions);
}
bool xdr_SQLGetFileSizeReqRsp_t(XDR* x, SQLGetFileSizeReqRsp_t* r) {
    return Path(x, &r->filePath) && jxsXdrI64(x, &r->size);
}
bool xdr_SQLCopySingleRemoteFileReq_t(XDR* x, SQLCopySingleRemoteFileReq_t* r) {
    return Path(x, &r->sourcePath) && Path(x, &r->destinationPath) && jxsXdrU64(x, &r->destinationClientId);
}
bool xdr_SQLCopyMultipleRemoteFilesReq_t(XDR* x, SQLCopyMultipleRemoteFilesReq_t* r) {
    return jxsXdrArray(x, &r->files, &r->count, kMaxEntries, xdr_SQLCopySingleRemoteFileReq_t);
}

// ---- FILESTREAM file lists ----
bool xdr_SQLGetFileStreamInfoReq_t(XDR* x, SQLGetFileStreamInfoReq_t* r) {
    return Path(x, &r->folder) && Path(x, &r->pattern);
}
bool xdr_SQLFileStreamInfo_t(XDR* x, SQLFileStreamInfo_t* r) { return Path(x, &r->path); }
bool xdr_SQLGetFileStreamInfoRsp_t(XDR* x, SQLGetFileStreamInfoRsp_t* r) {
    return jxsXdrArray(x, &r->files, &r->count, kMaxFileStreamEntries, xdr_SQLFileStreamInfo_t) &&
           jxsXdrU32(x, &r->error);
}

}  // namespace

void SqlRegisterPeerRecords() {
    JXS_REGISTER_RECORD(kSqlCreateUncPathReq, SqlUncPathCreateReq_t);
    JXS_REGISTER_RECORD(kSqlCreateUncPathRsp, SqlUncPathCreateRsp_t);
    JXS_REGISTER_RECORD(kSqlDeleteUncPathReq, SqlDeleteUNCPathReq_t);
    JXS_REGISTER_RECORD(kSqlDeleteUncPathRsp, SqlDeleteUNCPathRsp_t);
    JXS_REGISTER_RECORD(kSqlAttachDatabaseReq, SqlAttachDatabaseRemoteReq_t);
    JXS_REGISTER_RECORD(kSqlAttachDatabaseRsp, SqlAttachDatabaseRemoteRsp_t);
    for (unsigned long code : {kSqlCreateDirectoryReq, kSqlDeleteDirectoryReq}) {
        JXS_REGISTER_RECORD(code, SQLCreateDeleteDirectoryReq_t);
    }
    for (unsigned long code : {kSqlFileSizeReq, kSqlFileSizeRsp}) {
        JXS_REGISTER_RECORD(code, SQLGetFileSizeReqRsp_t);
    }
    JXS_REGISTER_RECORD(kSqlCopySingleFileReq, SQLCopySingleRemoteFileReq_t);
    JXS_REGISTER_RECORD(kSqlCopyMultipleFilesReq, SQLCopyMultipleRemoteFilesReq_t);
    JXS_REGISTER_RECORD(kSqlFileStreamInfoReq, SQLGetFileStreamInfoReq_t);
    JXS_REGISTER_RECORD(kSqlFileStreamInfoRsp, SQLGetFileStreamInfoRsp_t);
    // The XML error replies and the second FILESTREAM form carry one text.
    SqlRegisterXmlTextRecords({kSqlCreateDirectoryRsp, kSqlDeleteDirectoryRsp, kSqlCopySingleFileRsp,
                               kSqlCopyMultipleFilesRsp, kSqlFileStreamInfoV2Req, kSqlFileStreamInfoV2Rsp});
}
