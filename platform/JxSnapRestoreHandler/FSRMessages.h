// FSRMessages: the messages of an indexed restore session between a client
// and the index-restore process ("fsindexrestore") of a media agent.
//
// Each message is one XDR record under its code (group 0x18000000); codes
// without a record carry no payload. The client opens the session with the
// three set-up requests, each answered with FSR_MSG_REPLY; the media agent
// then reports until it ends the session. FSR_MSG_STOP goes both ways: the
// client asks the restore to stop, the media agent acknowledges.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "JxSession/jxsDatabuf_v2.h"

// ---- media agent -> client ----
inline constexpr unsigned long FSR_MSG_RESTORE_END = 0x18000005;          // no payload
inline constexpr unsigned long FSR_MSG_SRC_PATH = 0x1800000d;             // FSRPathMsg
inline constexpr unsigned long FSR_MSG_JOB_PROGRESS = 0x18000012;         // MsgJobProgress
inline constexpr unsigned long FSR_MSG_RESTORE_ITEM = 0x18000013;         // FSRRestoreItem
inline constexpr unsigned long FSR_MSG_REBOOT_CLIENT = 0x18000014;        // no payload
inline constexpr unsigned long FSR_MSG_STOP = 0x18000017;                 // no payload; both ways
inline constexpr unsigned long FSR_MSG_RESTORE_FAILED = 0x18000018;       // FSRReasonMsg
inline constexpr unsigned long FSR_MSG_RESTORE_ITEM_ARRAY = 0x18000019;   // FSRRestoreItemArray
inline constexpr unsigned long FSR_MSG_NO_RESTORE = 0x1800001a;           // no payload
inline constexpr unsigned long FSR_MSG_PERCENT_PROGRESS = 0x1800002e;     // FSRPercentProgress
inline constexpr unsigned long FSR_MSG_PARTIAL_RESTORE_END = 0x18000030;  // no payload
inline constexpr unsigned long FSR_MSG_KEEP_ALIVE = 0x18000031;           // client -> media agent
inline constexpr unsigned long FSR_MSG_STATUS_NOTE = 0x18000032;          // accepted, not acted on
inline constexpr unsigned long FSR_MSG_NO_BACKUP = 0x18000035;            // no payload
inline constexpr unsigned long FSR_MSG_JOB_PROGRESS_5_9 = 0x18000046;     // MsgJobProgress_5_9
inline constexpr unsigned long FSR_MSG_STATUS_NOTE_2 = 0x18000048;        // accepted, not acted on
inline constexpr unsigned long FSR_MSG_RESTORE_JOB_FAILED = 0x18000078;   // FSRReasonMsg

// ---- client -> media agent: session set-up, each answered by FSR_MSG_REPLY ----
inline constexpr unsigned long FSR_MSG_INIT_REQ = 0x18000100;               // FSRInitMsg
inline constexpr unsigned long FSR_MSG_RESTORE_PATH_REQ = 0x18000101;       // FSRPathMsg
inline constexpr unsigned long FSR_MSG_RESTORE_FROM_SNAP_REQ = 0x18000102;  // no payload
inline constexpr unsigned long FSR_MSG_REPLY = 0x18000103;                  // FSRReplyMsg

// Bounds a decoder enforces on what the peer sends.
inline constexpr uint32_t kFsrMaxPathLength = 4096;
inline constexpr uint32_t kFsrMaxTextLength = 4096;
inline constexpr uint32_t kFsrMaxItemsPerArray = 4096;

// Opens the session for a job.
struct FSRInitMsg {
    uint64_t jobId = 0;
    int32_t restoreLevel = 0;
};

// The answer to a set-up request: status 0 accepted, else refused with a
// reason in `text`; `protocolVersion` is the version of the media agent's
// side of the protocol (filled in the answer to FSR_MSG_INIT_REQ).
struct FSRReplyMsg {
    int32_t status = 0;
    uint32_t protocolVersion = 0;
    char* text = nullptr;
};

// A path: one to restore (with the restore level) or one the media agent
// restores from.
struct FSRPathMsg {
    char* path = nullptr;
    int32_t restoreLevel = 0;
};

// Why the restore or the job failed.
struct FSRReasonMsg {
    int64_t reason = 0;
};

// One item the media agent restored (or failed to: error not 0).
struct FSRRestoreItem {
    uint32_t fileType = 0;
    char* path = nullptr;
    uint64_t modificationTime = 0;  // seconds since 1970
    uint32_t sizeLow = 0;
    uint32_t sizeHigh = 0;
    uint32_t version = 0;
    int32_t error = 0;
    uint64_t reference = 0;
};

// Many items: the sender's count of them, then the items themselves.
struct FSRRestoreItemArray {
    uint32_t count = 0;
    uint32_t itemCount = 0;
    FSRRestoreItem* items = nullptr;
};

// Progress counts of the restore so far; `isFinal` marks the last report of a
// part. The older form carries 32-bit file counts.
struct MsgJobProgress {
    uint32_t totalFiles = 0;
    uint32_t succeeded = 0;
    uint32_t skipped = 0;
    uint32_t failed = 0;
    uint64_t compressedBytes = 0;
    uint64_t uncompressedBytes = 0;
    uint32_t isFinal = 0;
};
struct MsgJobProgress_5_9 {
    uint64_t totalFiles = 0;
    uint64_t succeeded = 0;
    uint64_t skipped = 0;
    uint64_t failed = 0;
    uint64_t compressedBytes = 0;
    uint64_t uncompressedBytes = 0;
    uint32_t isFinal = 0;
};

// Progress as done out of total (any unit), with the counts so far.
struct FSRPercentProgress {
    uint64_t total = 0;
    uint64_t done = 0;
    MsgJobProgress report;
};

// Memory that any record of the protocol can be received into, whatever
// the code of the next message turns out to be.
inline constexpr size_t kFsrMaxRecordBytes = 128;
struct FSRReceiveBuffer {
    alignas(std::max_align_t) unsigned char bytes[kFsrMaxRecordBytes] = {};

    // The memory lent to a receive.
    jxsDatabuf_v2 lend() {
        jxsDatabuf_v2 buffer;
        buffer.setExternalBuffer(bytes, sizeof bytes);
        return buffer;
    }

    // The received record of type `Record` (the type of the code received).
    template <typename Record>
    const Record& as() const {
        static_assert(sizeof(Record) <= kFsrMaxRecordBytes && alignof(Record) <= alignof(std::max_align_t));
        return *reinterpret_cast<const Record*>(bytes);
    }
};

// Registers the records above with the network layer (idempotent).
void FSRRegisterRecordCodecs();

// The protocol's name of a message code ("FSR_MSG_STOP"), or the code in
// hexadecimal when the protocol has no name for it.
std::string FSRMessageName(unsigned long code);
