// Fuzzes the decoders of the central-server records, requests (what the
// stand-in decodes) and replies (what the agent's jobs decode): the first
// byte picks the code, the rest is the record's payload.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "JxSQLCommon/records/SqlCentralServerCodecs.h"
#include "JxSession/jxsFrame.h"

namespace {
constexpr unsigned long kCodes[] = {
    0x1e00011b, 0x1e000096, 0x1e0000cf, 0x1e0000a1, 0x1e0000a2, 0x1e0000a3, 0x1e0000a4, 0x1e0000d7,
    0x1e0000cb, 0x1e0000a9, 0x1e0000aa, 0x1e0000bd, 0x1e0000d6, 0x1e000104, 0x1e000105, 0x1e0000c3,
    0x1e0000c4, 0x1e0000ed, 0x1e0000ee, 0x1e0000f4, 0x1e0000f5, 0x1e000102, 0x1e000103, 0x1e00010f,
    0x1e000110,
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool registered = (SqlRegisterCentralServerRecords(), true);
    (void)registered;
    if (size == 0) return 0;
    unsigned long code = kCodes[data[0] % (sizeof kCodes / sizeof kCodes[0])];
    std::string payload(reinterpret_cast<const char*>(data + 1), size - 1);
    alignas(16) static char area[4096];
    std::fill(area, area + sizeof area, 0);
    jxsDatabuf_v2 buffer;
    buffer.setExternalBuffer(area, sizeof area);
    if (jxsDecodeRecord(code, payload, buffer).IsSuccess()) {
        std::string again;
        (void)jxsEncodeRecord(code, buffer, again);
    }
    jxsFreeRecord(code, buffer);
    jxsFreeRecord(code, buffer);
    return 0;
}
