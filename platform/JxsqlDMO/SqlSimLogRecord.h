// SqlSimLogRecord: one change of a simulated database as its log file keeps
// it: the LSN, the time, the data file and offset written, the bytes, an
// optional mark, and a checksum over all of it. A second kind of record
// says that a data file was added to the database: its file id, its size
// (in the offset field) and, as data, its logical name, file group and path
// separated by NUL characters; the file starts out zero-filled.
//
// Encoded form (little-endian): "JXLR" (a page) or "JXLF" (a file added),
// header length (u32), LSN (u64), time in ms since 1970 (i64), file id
// (u32), mark length (u32), offset (u64), data length (u32), CRC-32C (u32)
// of everything else, then the mark and the data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "WzUtils/CWzError.h"

enum class SqlSimLogRecordKind { Page, FileAdded };

struct SqlSimLogRecord {
    static constexpr size_t kHeaderSize = 48;
    // Largest data and mark a record may carry; larger lengths are damage.
    static constexpr uint64_t kMaxData = 16ull * 1024 * 1024;
    static constexpr uint32_t kMaxMark = 128;

    SqlSimLogRecordKind kind = SqlSimLogRecordKind::Page;
    uint64_t lsn = 0;
    int64_t timeMs = 0;
    uint32_t fileId = 0;
    uint64_t offset = 0;
    std::string mark;
    std::string data;
};

// The data of a file-added record.
std::string SqlSimAddedFileData(const std::string& logicalName, const std::string& fileGroup, const std::string& path);

std::string SqlSimEncodeLogRecord(const SqlSimLogRecord& record);
// Decodes the record at the start of [data, data + size); `used` receives
// its encoded length. Short input, bad lengths or a checksum mismatch are
// errors.
CWzError SqlSimDecodeLogRecord(const char* data, size_t size, SqlSimLogRecord& record, size_t& used);
// The total encoded length announced by a record's header (which must be
// at least kHeaderSize bytes); 0 when the header is not one.
size_t SqlSimLogRecordLength(const char* header);
