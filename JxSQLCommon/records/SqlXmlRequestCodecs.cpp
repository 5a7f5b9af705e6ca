// XDR codec of the one-text XML records: the document travels as one string.
#include "JxSQLCommon/records/SqlXmlRequestCodecs.h"

#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLCommon/records/SqlXmlRequestRecords.h"
#include "JxSession/jxsCodecRegistry.h"
#include "JxSession/jxsXdr.h"

namespace {

bool xdr_SQLXmlTextRecord_t(XDR* x, SQLXmlTextRecord_t* r) { return jxsXdrString(x, &r->xml); }

}  // namespace

void SqlRegisterXmlTextRecords(std::initializer_list<unsigned long> codes) {
    for (unsigned long code : codes) {
        JXS_REGISTER_RECORD(code, SQLXmlTextRecord_t);
    }
}

void SqlRegisterXmlRequestRecords() {
    SqlRegisterXmlTextRecords({kSqlXmlReq, kSqlXmlReqV2, kSqlXmlRsp, kSqlAGTLBackupReq, kSqlAGTLBackupRsp,
                               kSqlTLDumpCacheReq, kSqlTLDumpCacheRsp, kSqlArchiveInfoReq, kSqlCheckSourceReq,
                               kSqlCheckSourceRsp, kSqlUpdateDbStatusReq, kSqlUpdateDbStatusRsp});
}
