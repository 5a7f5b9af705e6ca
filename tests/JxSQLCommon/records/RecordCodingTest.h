// Test fixture base for record codecs: encode, decode and free one record
// through the codec registry.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "JxSession/jxsFrame.h"

namespace jxtest {

class RecordCodingTest : public ::testing::Test {
protected:
    template <typename Record>
    std::string Encode(unsigned long code, Record& record) {
        jxsDatabuf_v2 buffer;
        buffer.setExternalBuffer(&record, sizeof(record));
        std::string payload;
        EXPECT_TRUE(jxsEncodeRecord(code, buffer, payload).IsSuccess());
        return payload;
    }
    // Decodes into `record` (zero-filled first); the caller frees it.
    template <typename Record>
    bool Decode(unsigned long code, const std::string& payload, Record& record) {
        record = Record();
        jxsDatabuf_v2 buffer;
        buffer.setExternalBuffer(&record, sizeof(record));
        return jxsDecodeRecord(code, payload, buffer).IsSuccess();
    }
    template <typename Record>
    void Free(unsigned long code, Record& record) {
        jxsDatabuf_v2 buffer;
        buffer.setExternalBuffer(&record, sizeof(record));
        EXPECT_TRUE(jxsFreeRecord(code, buffer).IsSuccess());
    }
};

}  // namespace jxtest
