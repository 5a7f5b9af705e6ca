// Fuzzes the decoders of the peer records, requests (what the plug-in decodes
// from another client's agent) and replies (what a requester decodes): the
// first byte picks the code, the rest is the record's payload.
#include <cstddef>
#include <cstdint>

#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLCommon/records/SqlPeerCodecs.h"
#include "JxSQLCommon/records/SqlPeerRecords.h"
#include "tests/fuzz/RecordDecoderFuzz.h"

namespace {
constexpr unsigned long kCodes[] = {
    kSqlCreateUncPathReq,  kSqlCreateUncPathRsp,     kSqlDeleteUncPathReq,  kSqlDeleteUncPathRsp,
    kSqlAttachDatabaseReq, kSqlAttachDatabaseRsp,    kSqlCreateDirectoryReq, kSqlDeleteDirectoryReq,
    kSqlFileSizeReq,       kSqlFileSizeRsp,          kSqlCopySingleFileReq, kSqlCopyMultipleFilesReq,
    kSqlFileStreamInfoReq, kSqlFileStreamInfoRsp,    kSqlFileStreamInfoV2Req,
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool registered = (SqlRegisterPeerRecords(), true);
    (void)registered;
    return FuzzRecordDecoders(kCodes, data, size);
}
