// Codec of the test record.
#include "tests/platform/JxSession/EchoRecord.h"

#include "JxSession/jxsCodecRegistry.h"
#include "JxSession/jxsXdr.h"

bool xdr_EchoRecord_t(XDR* xdrs, EchoRecord_t* record) {
    return jxsXdrU32(xdrs, &record->number) && jxsXdrString(xdrs, &record->text, 1024) &&
           jxsXdrArray(xdrs, &record->values, &record->count, kEchoBoundedCount, &jxsXdrU64);
}

void RegisterEchoRecord() {
    JXS_REGISTER_RECORD(kEchoRequestCode, EchoRecord_t);
    JXS_REGISTER_RECORD(kEchoReplyCode, EchoRecord_t);
}
