// Fuzzes the decoders of the auto-discovery, restore-option and archive-file
// records, requests (what the central-server stand-in decodes) and replies
// (what the restore jobs decode): the first byte picks the code, the rest is
// the record's payload.
#include <cstddef>
#include <cstdint>

#include "JxSQLCommon/records/SqlServerRequestCodecs.h"
#include "tests/fuzz/RecordDecoderFuzz.h"

namespace {
constexpr unsigned long kCodes[] = {
    0x1e00009b, 0x1e00009c, 0x1e000099, 0x1e0000c7, 0x1e0000d1, 0x1e0000d0, 0x1e000118, 0x1e000119,
    0x1e00011a, 0x1e0000f7, 0x1e0000c6, 0x1e0000b0, 0x1e0000a0, 0x1e0000a5, 0x1e0000ef,
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool registered = (SqlRegisterServerRequestRecords(), true);
    (void)registered;
    return FuzzRecordDecoders(kCodes, data, size);
}
