// Codec of the test record.
#include "tests/platform/JxSession/EchoRecord.h"

#include "JxSession/jxsCodecRegistry.h"
#include "JxSession/jxsXdr.h"

bool xdr_EchoRecord_t(XDR* xdrs, EchoRecord_t* record) {
    return jxsXdrU32(xdrs, &record->number) && jxsXdrString(xdrs, &record->text, 1024) &&
           jxsXdrArray(xdrs, &record->values, &record->count, kEchoBoundedCount, &jxsXdrU64);
}

void RegisterEchoRecord() {
    jxsRegisterRecord<EchoRecord_t, xdr_EchoRecord_t>(kEchoRequestCode, "EchoRecord_t");
    jxsRegisterRecord<EchoRecord_t, xdr_EchoRecord_t>(kEchoReplyCode, "EchoRecord_t");
}
