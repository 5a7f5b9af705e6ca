// Fuzzes what a session decodes from a peer: the frame header, a record
// payload under a registered code, and the layer's own payloads.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "JxSession/jxsFrame.h"
#include "tests/platform/JxSession/EchoRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool registered = (RegisterEchoRecord(), true);
    (void)registered;
    if (size >= kJxsFrameHeaderBytes) {
        jxsFrameHeader header;
        (void)jxsDecodeFrameHeader(data, header);
    }
    std::string payload(reinterpret_cast<const char*>(data), size);
    EchoRecord_t record;
    jxsDatabuf_v2 buffer;
    buffer.setExternalBuffer(&record, sizeof record);
    if (jxsDecodeRecord(kEchoRequestCode, payload, buffer).IsSuccess()) {
        // A decoded record must encode again and release twice harmlessly.
        std::string again;
        (void)jxsEncodeRecord(kEchoRequestCode, buffer, again);
        if (jxsFreeRecord(kEchoRequestCode, buffer).IsError()) std::abort();
    }
    if (jxsFreeRecord(kEchoRequestCode, buffer).IsError()) std::abort();

    jxsAttachRequest request;
    (void)jxsDecodeAttachRequest(payload, request);
    uint32_t code = 0;
    std::string text;
    (void)jxsDecodeAttachReply(payload, code, text);
    jxsStatus status;
    (void)jxsDecodeStatus(payload, status);
    return 0;
}
