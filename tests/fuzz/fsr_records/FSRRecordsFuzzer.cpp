// Fuzzes the decoders of the indexed restore session's records, what the
// client decodes from the media agent and the index-restore stand-in from
// the client: the first byte picks the code, the rest is the payload.
#include <cstddef>
#include <cstdint>

#include "JxSnapRestoreHandler/FSRMessages.h"
#include "tests/fuzz/RecordDecoderFuzz.h"

namespace {
constexpr unsigned long kCodes[] = {
    FSR_MSG_SRC_PATH,
    FSR_MSG_JOB_PROGRESS,
    FSR_MSG_RESTORE_ITEM,
    FSR_MSG_RESTORE_FAILED,
    FSR_MSG_RESTORE_ITEM_ARRAY,
    FSR_MSG_PERCENT_PROGRESS,
    FSR_MSG_JOB_PROGRESS_5_9,
    FSR_MSG_RESTORE_JOB_FAILED,
    FSR_MSG_INIT_REQ,
    FSR_MSG_RESTORE_PATH_REQ,
    FSR_MSG_REPLY,
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool registered = (FSRRegisterRecordCodecs(), true);
    (void)registered;
    return FuzzRecordDecoders(kCodes, data, size);
}
