// Fuzzes the decoders of the catalogue requests a peer sends: the first byte
// picks the request code, the rest is the record's payload.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "JxSQLCommon/records/SqlCatalogueCodecs.h"
#include "JxSession/jxsFrame.h"

namespace {
constexpr unsigned long kRequestCodes[] = {
    0x1e00008d, 0x1e0000b4, 0x1e00008f, 0x1e0000d2, 0x1e000091, 0x1e0000b5, 0x1e0000cd, 0x1e000108,
    0x1e000093, 0x1e0000b6, 0x1e000097, 0x1e0000b7, 0x1e0000a7, 0x1e0000b8, 0x1e0000ab, 0x1e0000b9,
    0x1e0000dc, 0x1e0000e4, 0x1e0000de, 0x1e0000e0, 0x1e0000c8, 0x1e0000d4,
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool registered = (SqlRegisterCatalogueRecords(), true);
    (void)registered;
    if (size == 0) return 0;
    unsigned long code = kRequestCodes[data[0] % (sizeof kRequestCodes / sizeof kRequestCodes[0])];
    std::string payload(reinterpret_cast<const char*>(data + 1), size - 1);
    // The request loop's receive area.
    alignas(16) static char area[8144];
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
