// XDR codecs of the integrity-check records. The text is an XML message and
// may be missing (null travels as absent, so a receiver sees it as such).
#include "JxSQLCommon/records/SqlIntegrityCheckCodecs.h"

#include "JxSQLCommon/records/SqlIntegrityCheckRecords.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSession/jxsCodecRegistry.h"
#include "JxSession/jxsXdr.h"

namespace {

constexpr uint32_t kMaxMessageText = 16u << 20;

bool xdr_SQLIntegrityCheckReq_t(XDR* x, SQLIntegrityCheckReq_t* r) {
    return jxsXdrU32(x, &r->kind) && jxsXdrNullableString(x, &r->text, kMaxMessageText);
}

bool xdr_SQLIntegrityCheckResponse_t(XDR* x, SQLIntegrityCheckResponse_t* r) {
    return jxsXdrNullableString(x, &r->text, kMaxMessageText);
}

}  // namespace

void SqlRegisterIntegrityCheckRecords() {
    JXS_REGISTER_RECORD(kSqlIntegrityCheckReq, SQLIntegrityCheckReq_t);
    JXS_REGISTER_RECORD(kSqlIntegrityCheckRsp, SQLIntegrityCheckResponse_t);
}
