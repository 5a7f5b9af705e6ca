// XDR codecs of the auto-discovery, restore-option and archive-file records,
// one routine per record for encode, decode and free. The standby undo file
// travels with a presence flag, so a null text arrives as null.
#include "JxSQLCommon/records/SqlServerRequestCodecs.h"

#include "JxSQLCommon/records/SqlArchiveFileRecords.h"
#include "JxSQLCommon/records/SqlAutoDiscoveryRecords.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLCommon/records/SqlRestoreOptionsRecords.h"
#include "JxSQLCommon/records/SqlRestoreRequestRecords.h"
#include "JxSQLCommon/records/SqlXmlRequestCodecs.h"
#include "JxSession/jxsCodecRegistry.h"
#include "JxSession/jxsXdr.h"

namespace {

// Bounds of one record; a count or length above them is refused on decode.
constexpr uint32_t kMaxTextLength = 64 * 1024;
constexpr uint32_t kMaxEntries = 1u << 16;

bool Text(XDR* x, char** text) { return jxsXdrString(x, text, kMaxTextLength); }

bool NullableText(XDR* x, char** text) { return jxsXdrNullableString(x, text, kMaxTextLength); }

bool TextArray(XDR* x, char*** texts, uint32_t* count) { return jxsXdrArray(x, texts, count, kMaxEntries, Text); }

// ---- auto-discovery ----
bool xdr_SQL_DatabaseInfo_t(XDR* x, SQL_DatabaseInfo_t* r) {
    return Text(x, &r->name) && jxsXdrU64(x, &r->creationTime) && jxsXdrU64(x, &r->databaseId);
}
bool xdr_SQLAutoDiscoverReq_t(XDR* x, SQLAutoDiscoverReq_t* r) {
    return jxsXdrArray(x, &r->databases, &r->count, kMaxEntries, xdr_SQL_DatabaseInfo_t) &&
           jxsXdrU64(x, &r->applicationId);
}
bool xdr_SQLAutoDiscoverRsp_t(XDR* x, SQLAutoDiscoverRsp_t* r) {
    return jxsXdrU64(x, &r->error) && jxsXdrU64(x, &r->reserved);
}

// ---- archive files ----
bool xdr_SQLAFileEntry_t(XDR* x, SQLAFileEntry_t* r) {
    return jxsXdrI32(x, &r->jxCellId) && jxsXdrI32(x, &r->archiveFileId) && jxsXdrU64(x, &r->offset) &&
           Text(x, &r->path);
}
bool AFiles(XDR* x, SQLAFileEntry_t** items, uint32_t* count) {
    return jxsXdrArray(x, items, count, kMaxEntries, xdr_SQLAFileEntry_t);
}
bool xdr_SQLDbAFileRestoreInfo_VER6_Req_t(XDR* x, SQLDbAFileRestoreInfo_VER6_Req_t* r) {
    return Text(x, &r->databaseName) && jxsXdrU64(x, &r->sourceInstanceId) && jxsXdrU64(x, &r->pointInTime) &&
           jxsXdrI32(x, &r->restoreKind) && jxsXdrU64(x, &r->restoreTaskId) && jxsXdrU64(x, &r->secondTime);
}
bool xdr_SQLDbAFileBackup_VER6_t(XDR* x, SQLDbAFileBackup_VER6_t* r) {
    return jxsXdrU64(x, &r->applicationId) && jxsXdrU64(x, &r->jobId) && jxsXdrU64(x, &r->backupType) &&
           jxsXdrI32(x, &r->vssFlag) && jxsXdrU64(x, &r->unused5) && jxsXdrU64(x, &r->word10) &&
           jxsXdrU64(x, &r->word11) && jxsXdrU64(x, &r->word6) && jxsXdrU64(x, &r->referenceTime) &&
           jxsXdrU64(x, &r->startTime) && jxsXdrU64(x, &r->endTime) && Text(x, &r->firstLsn) &&
           Text(x, &r->lastLsn) && jxsXdrU64(x, &r->backupSize) && AFiles(x, &r->afiles, &r->afileCount);
}
bool xdr_SQLDbAFileRestoreInfo_VER6_Rsp_t(XDR* x, SQLDbAFileRestoreInfo_VER6_Rsp_t* r) {
    return jxsXdrArray(x, &r->backups, &r->count, kMaxEntries, xdr_SQLDbAFileBackup_VER6_t) &&
           jxsXdrU64(x, &r->chainStatus) && jxsXdrU64(x, &r->reserved);
}
bool xdr_SQLAzureDbAFileRestoreInfoReq_t(XDR* x, SQLAzureDbAFileRestoreInfoReq_t* r) {
    return Text(x, &r->databaseName) && jxsXdrU64(x, &r->value2) && jxsXdrU64(x, &r->value3) &&
           jxsXdrU64(x, &r->value1);
}
bool xdr_SQLDbAFileBackup_ver_3_t(XDR* x, SQLDbAFileBackup_ver_3_t* r) {
    return jxsXdrU64(x, &r->applicationId) && jxsXdrU64(x, &r->jobId) && jxsXdrU64(x, &r->backupType) &&
           jxsXdrI32(x, &r->vssFlag) && jxsXdrU64(x, &r->unused5) && jxsXdrU64(x, &r->word10) &&
           jxsXdrU64(x, &r->word11) && jxsXdrU64(x, &r->word6) && jxsXdrU64(x, &r->referenceTime) &&
           AFiles(x, &r->afiles, &r->afileCount);
}
bool xdr_SQLDbAFileRestoreInfo_ver_3_Rsp_t(XDR* x, SQLDbAFileRestoreInfo_ver_3_Rsp_t* r) {
    return jxsXdrArray(x, &r->backups, &r->count, kMaxEntries, xdr_SQLDbAFileBackup_ver_3_t) &&
           jxsXdrU64(x, &r->chainStatus) && jxsXdrU64(x, &r->reserved);
}
bool xdr_SQLAFilesForFFGRstReq_t(XDR* x, SQLAFilesForFFGRstReq_t* r) {
    return Text(x, &r->databaseName) && jxsXdrU64(x, &r->sourceInstanceId) && jxsXdrU64(x, &r->toTime) &&
           jxsXdrU64(x, &r->requestKind) && jxsXdrU64(x, &r->restoreTaskId) && jxsXdrU64(x, &r->word6) &&
           TextArray(x, &r->files, &r->fileCount);
}
bool xdr_SQLAFilesForFFGRstRsp_t(XDR* x, SQLAFilesForFFGRstRsp_t* r) {
    return jxsXdrArray(x, &r->restoreIds, &r->count, kMaxEntries, jxsXdrU64) && jxsXdrU64(x, &r->status) &&
           jxsXdrU64(x, &r->reserved);
}
bool xdr_SQLFFGRestoreInfoReq_t(XDR* x, SQLFFGRestoreInfoReq_t* r) {
    return jxsXdrU64(x, &r->restoreId) && Text(x, &r->fileList);
}
bool xdr_SQLFFGRestoreInfo_ver_3_Rsp_t(XDR* x, SQLFFGRestoreInfo_ver_3_Rsp_t* r) {
    return jxsXdrU64(x, &r->applicationId) && jxsXdrU64(x, &r->jobId) && jxsXdrU64(x, &r->backupType) &&
           jxsXdrI32(x, &r->vssFlag) && jxsXdrU64(x, &r->unused5) && jxsXdrU64(x, &r->backupMethod) &&
           jxsXdrU64(x, &r->word11) && jxsXdrU64(x, &r->word6) && jxsXdrU64(x, &r->referenceTime) &&
           AFiles(x, &r->afiles, &r->afileCount) && TextArray(x, &r->files, &r->fileCount);
}

// ---- restore-task options ----
bool xdr_SQLRestoreTaskReq_t(XDR* x, SQLRestoreTaskReq_t* r) { return jxsXdrU32(x, &r->restoreTaskId); }
bool xdr_SQLRestoreTaskRsp_V1_t(XDR* x, SQLRestoreTaskRsp_V1_t* r) {
    return jxsXdrU64(x, &r->archiveSelector) && jxsXdrU64(x, &r->sourceClientId) &&
           jxsXdrU64(x, &r->destinationClientId) && jxsXdrU64(x, &r->sourceInstanceId) &&
           jxsXdrU64(x, &r->destinationInstanceId) && jxsXdrU64(x, &r->copyPrecedence) &&
           jxsXdrU64(x, &r->pointInTime) && jxsXdrU64(x, &r->optionFlags) &&
           TextArray(x, &r->databases, &r->databaseCount) && TextArray(x, &r->relocations, &r->relocationCount) &&
           NullableText(x, &r->standbyUndoFile) && jxsXdrU64(x, &r->reserved1) && jxsXdrU64(x, &r->reserved2);
}
bool xdr_SQLAnalysisRestoreTaskReq_t(XDR* x, SQLAnalysisRestoreTaskReq_t* r) {
    return jxsXdrU32(x, &r->restoreTaskId);
}
bool xdr_SQLAnalysisDbDetail_t(XDR* x, SQLAnalysisDbDetail_t* r) {
    return Text(x, &r->text2) && Text(x, &r->text3) && Text(x, &r->text4) && jxsXdrU32(x, &r->number1) &&
           Text(x, &r->text5) && Text(x, &r->text6) && Text(x, &r->text7) && Text(x, &r->text8) &&
           jxsXdrU32(x, &r->number2);
}
bool xdr_SQLAnalysisBackup_t(XDR* x, SQLAnalysisBackup_t* r) {
    return jxsXdrU64(x, &r->word2) && jxsXdrU64(x, &r->word1) && jxsXdrU64(x, &r->unused3) &&
           jxsXdrU64(x, &r->backupType) && jxsXdrU64(x, &r->unused5) && jxsXdrU64(x, &r->unused6) &&
           AFiles(x, &r->afiles, &r->afileCount);
}
bool xdr_SQLAnalysisDatabase_t(XDR* x, SQLAnalysisDatabase_t* r) {
    return Text(x, &r->entry) && jxsXdrU64(x, &r->unused2) &&
           jxsXdrArray(x, &r->details, &r->detailCount, kMaxEntries, xdr_SQLAnalysisDbDetail_t) &&
           jxsXdrArray(x, &r->backups, &r->backupCount, kMaxEntries, xdr_SQLAnalysisBackup_t) &&
           jxsXdrU64(x, &r->unused5) && jxsXdrU64(x, &r->unused6);
}
bool xdr_SQLAnalysisRestoreTaskRsp_t(XDR* x, SQLAnalysisRestoreTaskRsp_t* r) {
    for (uint64_t& word : r->words) {
        if (!jxsXdrU64(x, &word)) return false;
    }
    return jxsXdrArray(x, &r->databases, &r->databaseCount, kMaxEntries, xdr_SQLAnalysisDatabase_t) &&
           TextArray(x, &r->relocations, &r->relocationCount) && NullableText(x, &r->standbyUndoFile) &&
           jxsXdrU64(x, &r->status) && jxsXdrU64(x, &r->reserved);
}

}  // namespace

void SqlRegisterServerRequestRecords() {
    JXS_REGISTER_RECORD(kSqlAutoDiscoverReq, SQLAutoDiscoverReq_t);
    JXS_REGISTER_RECORD(kSqlAutoDiscoverRsp, SQLAutoDiscoverRsp_t);

    JXS_REGISTER_RECORD(kSqlRestoreTaskReq, SQLRestoreTaskReq_t);
    JXS_REGISTER_RECORD(kSqlRestoreTaskRsp, SQLRestoreTaskRsp_V1_t);
    JXS_REGISTER_RECORD(kSqlAnalysisRestoreTaskReq, SQLAnalysisRestoreTaskReq_t);
    JXS_REGISTER_RECORD(kSqlAnalysisRestoreTaskRsp, SQLAnalysisRestoreTaskRsp_t);

    JXS_REGISTER_RECORD(kSqlAFilesReq, SQLDbAFileRestoreInfo_VER6_Req_t);
    JXS_REGISTER_RECORD(kSqlAFilesRsp, SQLDbAFileRestoreInfo_VER6_Rsp_t);
    SqlRegisterXmlTextRecords({kSqlLiveSyncAFilesReq});  // SQLLiveSyncDBAFRestoreInfoReq_V3_t
    JXS_REGISTER_RECORD(kSqlAzureAFilesReq, SQLAzureDbAFileRestoreInfoReq_t);
    JXS_REGISTER_RECORD(kSqlAzureAFilesRsp, SQLDbAFileRestoreInfo_ver_3_Rsp_t);
    JXS_REGISTER_RECORD(kSqlFFGListReq, SQLAFilesForFFGRstReq_t);
    JXS_REGISTER_RECORD(kSqlFFGListRsp, SQLAFilesForFFGRstRsp_t);
    JXS_REGISTER_RECORD(kSqlFFGInfoReq, SQLFFGRestoreInfoReq_t);
    JXS_REGISTER_RECORD(kSqlFFGInfoRsp, SQLFFGRestoreInfo_ver_3_Rsp_t);
}
