// XDR codec of the one-text XML records: the document travels as one string.
#include "JxSQLCommon/records/SqlXmlRequestCodecs.h"

#include "JxSQLCommon/records/SqlXmlRequestRecords.h"
#include "JxSession/jxsCodecRegistry.h"
#include "JxSession/jxsXdr.h"

namespace {

bool xdr_SQLXmlTextRecord_t(XDR* x, SQLXmlTextRecord_t* r) { return jxsXdrString(x, &r->xml); }

}  // namespace

void SqlRegisterXmlTextRecords(std::initializer_list<unsigned long> codes) {
    for (unsigned long code : codes) {
        jxsRegisterRecord<SQLXmlTextRecord_t, xdr_SQLXmlTextRecord_t>(code, "SQLXmlTextRecord_t");
    }
}

void SqlRegisterXmlRequestRecords() {
    SqlRegisterXmlTextRecords({0x1e0000fful, 0x1e000114ul, 0x1e000115ul, 0x1e00010bul, 0x1e00010cul, 0x1e000116ul,
                               0x1e000117ul, 0x1e0000f1ul, 0x1e0000f2ul, 0x1e0000f3ul, 0x1e00010dul, 0x1e00010eul});
}
