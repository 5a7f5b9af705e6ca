// FSRMessages: XDR codecs and names of the indexed restore session's messages.
#include "JxSnapRestoreHandler/FSRMessages.h"

#include <mutex>
#include <utility>

#include "JxSession/jxsCodecRegistry.h"
#include "JxSession/jxsTypes.h"
#include "JxSession/jxsXdr.h"
#include "WzUtils/WzFormat.h"

namespace {

static_assert(sizeof(FSRPercentProgress) <= kFsrMaxRecordBytes);
static_assert(sizeof(MsgJobProgress_5_9) <= kFsrMaxRecordBytes);
static_assert(sizeof(FSRRestoreItem) <= kFsrMaxRecordBytes);

bool xdr_FSRInitMsg(XDR* x, FSRInitMsg* r) { return jxsXdrU64(x, &r->jobId) && jxsXdrI32(x, &r->restoreLevel); }

bool xdr_FSRReplyMsg(XDR* x, FSRReplyMsg* r) {
    return jxsXdrI32(x, &r->status) && jxsXdrU32(x, &r->protocolVersion) &&
           jxsXdrString(x, &r->text, kFsrMaxTextLength);
}

bool xdr_FSRPathMsg(XDR* x, FSRPathMsg* r) {
    return jxsXdrString(x, &r->path, kFsrMaxPathLength) && jxsXdrI32(x, &r->restoreLevel);
}

bool xdr_FSRReasonMsg(XDR* x, FSRReasonMsg* r) { return jxsXdrI64(x, &r->reason); }

bool xdr_FSRRestoreItem(XDR* x, FSRRestoreItem* r) {
    return jxsXdrU32(x, &r->fileType) && jxsXdrString(x, &r->path, kFsrMaxPathLength) &&
           jxsXdrU64(x, &r->modificationTime) && jxsXdrU32(x, &r->sizeLow) && jxsXdrU32(x, &r->sizeHigh) &&
           jxsXdrU32(x, &r->version) && jxsXdrI32(x, &r->error) && jxsXdrU64(x, &r->reference);
}

bool xdr_FSRRestoreItemArray(XDR* x, FSRRestoreItemArray* r) {
    return jxsXdrU32(x, &r->count) &&
           jxsXdrArray(x, &r->items, &r->itemCount, kFsrMaxItemsPerArray, &xdr_FSRRestoreItem);
}

bool xdr_MsgJobProgress(XDR* x, MsgJobProgress* r) {
    return jxsXdrU32(x, &r->totalFiles) && jxsXdrU32(x, &r->succeeded) && jxsXdrU32(x, &r->skipped) &&
           jxsXdrU32(x, &r->failed) && jxsXdrU64(x, &r->compressedBytes) && jxsXdrU64(x, &r->uncompressedBytes) &&
           jxsXdrU32(x, &r->isFinal);
}

bool xdr_MsgJobProgress_5_9(XDR* x, MsgJobProgress_5_9* r) {
    return jxsXdrU64(x, &r->totalFiles) && jxsXdrU64(x, &r->succeeded) && jxsXdrU64(x, &r->skipped) &&
           jxsXdrU64(x, &r->failed) && jxsXdrU64(x, &r->compressedBytes) && jxsXdrU64(x, &r->uncompressedBytes) &&
           jxsXdrU32(x, &r->isFinal);
}

bool xdr_FSRPercentProgress(XDR* x, FSRPercentProgress* r) {
    return jxsXdrU64(x, &r->total) && jxsXdrU64(x, &r->done) && xdr_MsgJobProgress(x, &r->report);
}

}  // namespace

void FSRRegisterRecordCodecs() {
    static std::once_flag once;
    std::call_once(once, [] {
        JXS_REGISTER_RECORD(FSR_MSG_INIT_REQ, FSRInitMsg);
        JXS_REGISTER_RECORD(FSR_MSG_REPLY, FSRReplyMsg);
        JXS_REGISTER_RECORD(FSR_MSG_RESTORE_PATH_REQ, FSRPathMsg);
        JXS_REGISTER_RECORD(FSR_MSG_SRC_PATH, FSRPathMsg);
        JXS_REGISTER_RECORD(FSR_MSG_RESTORE_FAILED, FSRReasonMsg);
        JXS_REGISTER_RECORD(FSR_MSG_RESTORE_JOB_FAILED, FSRReasonMsg);
        JXS_REGISTER_RECORD(FSR_MSG_RESTORE_ITEM, FSRRestoreItem);
        JXS_REGISTER_RECORD(FSR_MSG_RESTORE_ITEM_ARRAY, FSRRestoreItemArray);
        JXS_REGISTER_RECORD(FSR_MSG_JOB_PROGRESS, MsgJobProgress);
        JXS_REGISTER_RECORD(FSR_MSG_JOB_PROGRESS_5_9, MsgJobProgress_5_9);
        JXS_REGISTER_RECORD(FSR_MSG_PERCENT_PROGRESS, FSRPercentProgress);
    });
}

std::string FSRMessageName(unsigned long code) {
    static const std::pair<unsigned long, const char*> kNames[] = {
        {FSR_MSG_RESTORE_END, "FSR_MSG_RESTORE_END"},
        {FSR_MSG_SRC_PATH, "FSR_MSG_SRC_PATH"},
        {FSR_MSG_JOB_PROGRESS, "FSR_MSG_JOB_PROGRESS"},
        {FSR_MSG_RESTORE_ITEM, "FSR_MSG_RESTORE_ITEM"},
        {FSR_MSG_REBOOT_CLIENT, "FSR_MSG_REBOOT_CLIENT"},
        {FSR_MSG_STOP, "FSR_MSG_STOP"},
        {FSR_MSG_RESTORE_FAILED, "FSR_MSG_RESTORE_FAILED"},
        {FSR_MSG_RESTORE_ITEM_ARRAY, "FSR_MSG_RESTORE_ITEM_ARRAY"},
        {FSR_MSG_NO_RESTORE, "FSR_MSG_NO_RESTORE"},
        {FSR_MSG_PERCENT_PROGRESS, "FSR_MSG_PERCENT_PROGRESS"},
        {FSR_MSG_PARTIAL_RESTORE_END, "FSR_MSG_PARTIAL_RESTORE_END"},
        {FSR_MSG_KEEP_ALIVE, "FSR_MSG_KEEP_ALIVE"},
        {FSR_MSG_STATUS_NOTE, "FSR_MSG_STATUS_NOTE"},
        {FSR_MSG_NO_BACKUP, "FSR_MSG_NO_BACKUP"},
        {FSR_MSG_JOB_PROGRESS_5_9, "FSR_MSG_JOB_PROGRESS_5_9"},
        {FSR_MSG_STATUS_NOTE_2, "FSR_MSG_STATUS_NOTE_2"},
        {FSR_MSG_RESTORE_JOB_FAILED, "FSR_MSG_RESTORE_JOB_FAILED"},
        {FSR_MSG_INIT_REQ, "FSR_MSG_INIT_REQ"},
        {FSR_MSG_RESTORE_PATH_REQ, "FSR_MSG_RESTORE_PATH_REQ"},
        {FSR_MSG_RESTORE_FROM_SNAP_REQ, "FSR_MSG_RESTORE_FROM_SNAP_REQ"},
        {FSR_MSG_REPLY, "FSR_MSG_REPLY"},
        {JXS_MSG_DISCONNECT, "JXS_PM_DISCONNECT_REQ"},
    };
    for (const auto& [known, name] : kNames) {
        if (known == code) return name;
    }
    return wz::Format("0x%lx", code);
}
