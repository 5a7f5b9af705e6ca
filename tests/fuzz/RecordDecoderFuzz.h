// The step every record-decoder fuzzer takes: the first byte picks one of
// the fuzzer's message codes, the rest is that record's payload. It is
// decoded into a zeroed area as large as the request loop's receive buffer,
// encoded again when it decoded, and released twice (the second release must
// do nothing).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "JxSession/jxsFrame.h"

template <size_t N>
int FuzzRecordDecoders(const unsigned long (&codes)[N], const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    unsigned long code = codes[data[0] % N];
    std::string payload(reinterpret_cast<const char*>(data + 1), size - 1);
    alignas(16) static char area[8144];
    std::fill(area, area + sizeof area, 0);
    jxsDatabuf_v2 buffer;
    buffer.setExternalBuffer(area, sizeof area);
    if (jxsDecodeRecord(code, payload, buffer).IsSuccess()) {
        std::string again;
        (void)jxsEncodeRecord(code, buffer, again);
    }
    // Releasing twice must be harmless; the area fits every record, so a
    // failed release is a fault.
    if (jxsFreeRecord(code, buffer).IsError() || jxsFreeRecord(code, buffer).IsError()) std::abort();
    return 0;
}
