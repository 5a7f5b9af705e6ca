// Fuzzes the decoders of the auto-discovery, restore-option and archive-file
// records, requests (what the central-server stand-in decodes) and replies
// (what the restore jobs decode): the first byte picks the code, the rest is
// the record's payload.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "JxSQLCommon/records/SqlServerRequestCodecs.h"
#include "JxSession/jxsFrame.h"

namespace {
constexpr unsigned long kCodes[] = {
    0x1e00009b, 0x1e00009c, 0x1e000099, 0x1e0000c7, 0x1e0000d1, 0x1e0000d0, 0x1e000118, 0x1e000119,
    0x1e00011a, 0x1e0000f7, 0x1e0000c6, 0x1e0000b0, 0x1e0000a0, 0x1e0000a5, 0x1e0000ef,
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool registered = (SqlRegisterServerRequestRecords(), true);
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
