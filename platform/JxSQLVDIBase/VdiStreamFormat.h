// The layout of an engine stream: what a backup writes on each of its
// streams and a restore reads back (also what the media tools inspect).
//
// A stream is a header followed by chunks. The header names the backup set
// (a 64-bit id shared by the set's streams), the database, the backup type,
// its LSNs, "stream i of n" and the database's files. Each chunk has a
// 32-byte head (magic, kind, file id, CRC-32C, offset, length) and a payload:
// data of a file at an offset (full and differential), encoded log records
// (log), or, last, the stream's totals. Every header and chunk carries a
// checksum, so damage anywhere is found.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "WzUtils/CWzError.h"

struct VdiStreamFile {
    uint32_t id = 0;
    uint32_t type = 0;  // 0 data, 1 log
    uint64_t size = 0;
    std::string logicalName;
    std::string fileGroup;
    std::string path;
};

struct VdiStreamHeader {
    static constexpr uint32_t kVersion = 1;
    static constexpr size_t kMaxSize = 1024 * 1024;

    uint64_t backupSetId = 0;
    uint32_t stream = 0;   // 0-based
    uint32_t streams = 0;
    char type = 'D';       // 'D', 'I' or 'L'
    bool copyOnly = false;
    std::string database;
    std::string recoveryModel = "FULL";
    uint64_t firstLsn = 0;
    uint64_t lastLsn = 0;
    uint64_t checkpointLsn = 0;
    uint64_t databaseBackupLsn = 0;
    int64_t startTime = 0;  // seconds since 1970
    std::vector<VdiStreamFile> files;
};

enum class VdiChunkKind : uint32_t { FileData = 1, LogRecords = 2, End = 3 };

struct VdiChunkHead {
    static constexpr size_t kSize = 32;
    static constexpr uint64_t kMaxLength = 64ull * 1024 * 1024;

    VdiChunkKind kind = VdiChunkKind::FileData;
    uint32_t fileId = 0;
    uint32_t crc = 0;  // over the head's other fields and the payload
    uint64_t offset = 0;
    uint64_t length = 0;  // of the payload
};

// Totals of a stream, the payload of its End chunk.
struct VdiStreamTotals {
    static constexpr size_t kSize = 16;
    uint64_t chunks = 0;  // data and log chunks before the End chunk
    uint64_t bytes = 0;   // their payload bytes
};

std::string VdiEncodeStreamHeader(const VdiStreamHeader& header);
// The header's encoded length from its first 16 bytes; 0 when they are not
// the start of a stream header.
size_t VdiStreamHeaderLength(const char* first16);
CWzError VdiDecodeStreamHeader(const char* data, size_t size, VdiStreamHeader& header);

// Writes the head of a chunk whose payload lies at `payload`.
void VdiEncodeChunkHead(VdiChunkHead& head, const char* payload, char* out);
// Reads a chunk head; false when it is not one (bad magic, kind or length).
bool VdiDecodeChunkHead(const char* in, VdiChunkHead& head);
// Whether the payload matches the head's checksum.
bool VdiChunkIntact(const char* headBytes, const VdiChunkHead& head, const char* payload);
// The checksum of a chunk head's fields without its payload, to continue
// over a payload read in parts.
uint32_t VdiChunkHeadCrc(const char* headBytes);
