// A wire record used by the network tests, with a codec for the codes below.
#pragma once

#include <cstdint>

typedef struct __rpc_xdr XDR;

struct EchoRecord_t {
    uint32_t number;
    char* text;
    uint32_t count;
    uint64_t* values;
};

// Request and reply codes that carry an EchoRecord_t: in the request range
// but served by no handler of the library, so the library's own records never
// take their codecs in a process that runs both plug-ins.
constexpr unsigned long kEchoRequestCode = 0x1e000109;
constexpr unsigned long kEchoReplyCode = 0x1e00010a;
// The echo plug-in's handler of this code throws std::bad_alloc.
constexpr unsigned long kEchoThrowingRequestCode = 0x1e000106;
constexpr unsigned long kEchoBoundedCount = 16;  // arrays above this are refused

bool xdr_EchoRecord_t(XDR* xdrs, EchoRecord_t* record);
// Registers the codec under the request and reply codes.
void RegisterEchoRecord();
