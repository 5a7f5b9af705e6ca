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
    // The payload cut after 4 bytes, in half and 4 bytes short, and with its
    // first count made far larger than the bytes could hold, is refused each
    // time, and `empty(record)` holds for what the refused decode left.
    template <typename Record, typename Empty>
    void ExpectMalformedRefused(unsigned long code, const std::string& payload, Empty empty) {
        for (size_t cut : {size_t{4}, payload.size() / 2, payload.size() - 4}) {
            Record got;
            EXPECT_FALSE(Decode(code, payload.substr(0, cut), got)) << cut;
            empty(got);
        }
        std::string huge = payload;
        huge[0] = '\x7f';
        Record got;
        EXPECT_FALSE(Decode(code, huge, got));
        empty(got);
    }
    template <typename Record>
    void Free(unsigned long code, Record& record) {
        jxsDatabuf_v2 buffer;
        buffer.setExternalBuffer(&record, sizeof(record));
        EXPECT_TRUE(jxsFreeRecord(code, buffer).IsSuccess());
    }
};

}  // namespace jxtest
