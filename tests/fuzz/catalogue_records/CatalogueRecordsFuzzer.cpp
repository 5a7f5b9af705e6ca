// Fuzzes the decoders of the catalogue requests a peer sends: the first byte
// picks the request code, the rest is the record's payload.
#include <cstddef>
#include <cstdint>

#include "JxSQLCommon/records/SqlCatalogueCodecs.h"
#include "tests/fuzz/RecordDecoderFuzz.h"

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
    return FuzzRecordDecoders(kRequestCodes, data, size);
}
