// SqlSimLogRecord: one change of a simulated database as its log file keeps
// it: the LSN, the time, the data file and offset written, the bytes, an
// optional mark, and a checksum over all of it.
//
// Encoded form (little-endian): "JXLR", header length (u32), LSN (u64),
// time in ms since 1970 (i64), file id (u32), mark length (u32), offset
// (u64), data length (u32), CRC-32C (u32) of everything else, then the mark
// and the data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "WzUtils/CWzError.h"

struct SqlSimLogRecord {
    static constexpr size_t kHeaderSize = 48;
    // Largest data and mark a record may carry; larger lengths are damage.
    static constexpr uint64_t kMaxData = 16ull * 1024 * 1024;
    static constexpr uint32_t kMaxMark = 128;

    uint64_t lsn = 0;
    int64_t timeMs = 0;
    uint32_t fileId = 0;
    uint64_t offset = 0;
    std::string mark;
    std::string data;
};

std::string SqlSimEncodeLogRecord(const SqlSimLogRecord& record);
// Decodes the record at the start of [data, data + size); `used` receives
// its encoded length. Short input, bad lengths or a checksum mismatch are
// errors.
CWzError SqlSimDecodeLogRecord(const char* data, size_t size, SqlSimLogRecord& record, size_t& used);
// The total encoded length announced by a record's header (which must be
// at least kHeaderSize bytes); 0 when the header is not one.
size_t SqlSimLogRecordLength(const char* header);
