// Records of the file-copy conversation between JxCopyFile (the sender) and
// the file-copy receiver entry on the destination's host.
//
// The sender opens with a begin record and waits for a status; then it sends
// the file's bytes in chunks and an end record, and waits for the final
// status. The receiver writes into a temporary file beside the destination
// and puts it in place only when the byte count and checksum of the end
// record match what it wrote and what the begin record announced.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint64_t JXS_MSG_FILECOPY_BEGIN = 0x0f000001;
constexpr uint64_t JXS_MSG_FILECOPY_CHUNK = 0x0f000002;
constexpr uint64_t JXS_MSG_FILECOPY_END = 0x0f000003;
constexpr uint64_t JXS_MSG_FILECOPY_STATUS = 0x0f000004;

// Largest chunk on the wire.
constexpr uint32_t kJxsFileCopyChunkBytes = 256u * 1024u;

struct jxsFileCopyBegin {
    char* destinationPath = nullptr;  // a file path, or an existing folder that gets `fileName`
    char* fileName = nullptr;
    uint64_t size = 0;                // bytes that follow
    uint32_t option = 0;              // passed through, not read
};

struct jxsFileCopyChunk {
    uint32_t length = 0;
    char* data = nullptr;
};

struct jxsFileCopyEnd {
    uint64_t size = 0;      // bytes sent
    uint64_t checksum = 0;  // jxsFileCopyChecksum over them
};

// code 0 = success, else an errno value and a text saying why.
struct jxsFileCopyStatus {
    int32_t code = 0;
    char* text = nullptr;
};

// Registers the four records (once per process).
void jxsRegisterFileCopyRecords();

// FNV-1a over `length` bytes, continuing from `hash` (start with kJxsChecksumSeed).
constexpr uint64_t kJxsChecksumSeed = 14695981039346656037ull;
uint64_t jxsFileCopyChecksum(uint64_t hash, const char* data, size_t length);
