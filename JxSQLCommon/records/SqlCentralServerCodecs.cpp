// XDR codecs of the central-server request records, one routine per record
// for encode, decode and free. Texts that a record may leave null travel
// with a presence flag, so a null text arrives as null and an empty one as
// empty.
#include "JxSQLCommon/records/SqlCentralServerCodecs.h"

#include <initializer_list>

#include "JxSQLCommon/records/SqlBackupSetRecords.h"
#include "JxSQLCommon/records/SqlCentralServerRecords.h"
#include "JxSQLCommon/records/SqlConversionRuleRecords.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSession/jxsCodecRegistry.h"
#include "JxSession/jxsXdr.h"

namespace {

// Bounds of one record; a count or length above them is refused on decode.
constexpr uint32_t kMaxTextLength = 1u << 20;   // access-control lists and job texts can be long
constexpr uint32_t kMaxEntries = 1u << 16;

// The central server's texts may be missing: null stays null.
bool Text(XDR* x, char** text) { return jxsXdrNullableString(x, text, kMaxTextLength); }

bool Byte(XDR* x, uint8_t* value) {
    uint32_t wide = *value;
    if (!jxsXdrU32(x, &wide)) return false;
    if (x->x_op == XDR_DECODE) {
        if (wide > 0xff) return false;
        *value = static_cast<uint8_t>(wide);
    }
    return true;
}

// A counted array whose count the record keeps in 64 bits.
template <typename T>
bool Array64(XDR* x, T** items, uint64_t* count, bool (*element)(XDR*, T*)) {
    if (x->x_op == XDR_ENCODE && *count > kMaxEntries) return false;
    uint32_t narrow = static_cast<uint32_t>(*count);
    bool ok = jxsXdrArray(x, items, &narrow, kMaxEntries, element);
    *count = narrow;
    return ok;
}

// ---- backup sets ----
bool xdr_JXSQLBackupFileInfo_V1_t(XDR* x, JXSQLBackupFileInfo_V1_t* r) {
    return Text(x, &r->physicalName) && Text(x, &r->logicalName) && Text(x, &r->filegroupName) &&
           jxsXdrU32(x, &r->fileNumber) && jxsXdrU32(x, &r->fileType) && jxsXdrU64(x, &r->fileSize);
}
bool xdr_JXSQLBackupArchiveInfo_VER1_t(XDR* x, JXSQLBackupArchiveInfo_VER1_t* r) {
    return jxsXdrU32(x, &r->jxCellId) && jxsXdrU32(x, &r->archiveFileId) && jxsXdrU64(x, &r->offset) &&
           Text(x, &r->sourcePath);
}
bool xdr_SQLBackupSetInfoCommon_t(XDR* x, SQLBackupSetInfoCommon_t* r) {
    for (uint32_t* v : {&r->metadataValue1, &r->databaseId, &r->startDate, &r->finishDate, &r->metadataValue5,
                        &r->metadataValue2, &r->metadataValue3, &r->metadataValue4, &r->applicationNumber,
                        &r->archiveGroupId, &r->instanceId, &r->applicationType}) {
        if (!jxsXdrU32(x, v)) return false;
    }
    if (!jxsXdrU64(x, &r->metadataValue64)) return false;
    for (char** t : {&r->firstLsn, &r->lastLsn, &r->checkpointLsn, &r->databaseBackupLsn, &r->databaseName,
                     &r->backupType, &r->unused20, &r->callerText}) {
        if (!Text(x, t)) return false;
    }
    return jxsXdrU32(x, &r->copyOnly) && jxsXdrU32(x, &r->backupMethod) && jxsXdrU32(x, &r->jobId) &&
           jxsXdrU32(x, &r->logFromFileSystem);
}
bool xdr_SQLBackupSetInfoReq_VER5_t(XDR* x, SQLBackupSetInfoReq_VER5_t* r) {
    if (!xdr_SQLBackupSetInfoCommon_t(x, r)) return false;
    for (char*& t : r->extraTexts) {
        if (!Text(x, &t)) return false;
    }
    return Byte(x, &r->flag86) && Byte(x, &r->flag87) && jxsXdrU32(x, &r->sharePoint) &&
           jxsXdrU32(x, &r->backupPhase) && jxsXdrU32(x, &r->initiatedFrom) &&
           jxsXdrArray(x, &r->files, &r->fileCount, kMaxEntries, xdr_JXSQLBackupFileInfo_V1_t) &&
           jxsXdrArray(x, &r->archives, &r->archiveCount, kMaxEntries, xdr_JXSQLBackupArchiveInfo_VER1_t);
}
bool xdr_SQLBackupSetInfoRsp_t(XDR* x, SQLBackupSetInfoRsp_t* r) {
    return jxsXdrU64(x, &r->ulError) && jxsXdrU64(x, &r->reserved);
}
bool xdr_SQLAnalysisBackupSetInfoRsp_t(XDR* x, SQLAnalysisBackupSetInfoRsp_t* r) {
    return jxsXdrU64(x, &r->ulError) && jxsXdrU64(x, &r->reserved);
}

// ---- log marks ----
bool xdr_SQLLastLogMarkInCSReq_t(XDR* x, SQLLastLogMarkInCSReq_t* r) {
    return Text(x, &r->databaseName) && jxsXdrU64(x, &r->instanceId);
}
bool xdr_SQLLastLogMarkInCSRsp_t(XDR* x, SQLLastLogMarkInCSRsp_t* r) {
    return jxsXdrI64(x, &r->markValue) && Text(x, &r->markText) && jxsXdrU64(x, &r->reserved3) &&
           jxsXdrU64(x, &r->reserved4);
}
bool xdr_SQLLogMarkInfo_t(XDR* x, SQLLogMarkInfo_t* r) {
    return Text(x, &r->markName) && Text(x, &r->description) && Text(x, &r->lsn) && Text(x, &r->markTime) &&
           jxsXdrI64(x, &r->value);
}
bool xdr_SQLLogMarkUpdateReq_t(XDR* x, SQLLogMarkUpdateReq_t* r) {
    return jxsXdrArray(x, &r->marks, &r->count, kMaxEntries, xdr_SQLLogMarkInfo_t) && jxsXdrU64(x, &r->instanceId) &&
           jxsXdrU64(x, &r->databaseId);
}
bool xdr_SQLLogMarkUpdateRsp_t(XDR* x, SQLLogMarkUpdateRsp_t* r) {
    return jxsXdrU64(x, &r->reserved1) && jxsXdrU64(x, &r->reserved2);
}

// ---- conversion rules ----
bool xdr_SqlDatabaseBackupInfo_V2(XDR* x, SqlDatabaseBackupInfo_V2* r) {
    return jxsXdrU32(x, &r->systemDatabaseRestored) && jxsXdrU32(x, &r->pointInTimeRestored) &&
           jxsXdrU32(x, &r->word3) && jxsXdrU64(x, &r->word4) && jxsXdrU64(x, &r->previousBackup) &&
           jxsXdrU64(x, &r->word6) && jxsXdrU64(x, &r->lastBackupTime) && jxsXdrU64(x, &r->logBackupsSinceFull) &&
           jxsXdrU64(x, &r->word9) && jxsXdrU64(x, &r->backupHistoryValue) && jxsXdrU64(x, &r->word11) &&
           Text(x, &r->databaseName);
}
bool xdr_SqlBackupConversionRulesReq_V4_t(XDR* x, SqlBackupConversionRulesReq_V4_t* r) {
    return jxsXdrArray(x, &r->databases, &r->databaseCount, kMaxEntries, xdr_SqlDatabaseBackupInfo_V2) &&
           jxsXdrI64(x, &r->instanceId) && Text(x, &r->instanceName) && jxsXdrU64(x, &r->applicationId) &&
           jxsXdrU32(x, &r->jobId);
}
bool xdr_SqlBackupConversionRulesRsp_V2_t(XDR* x, SqlBackupConversionRulesRsp_V2_t* r) {
    return jxsXdrArray(x, &r->databases, &r->databaseCount, kMaxEntries, xdr_SqlDatabaseBackupInfo_V2) &&
           jxsXdrU64(x, &r->word3);
}

// ---- job bookkeeping ----
bool xdr_SQLLogMarkNameReq_t(XDR* x, SQLLogMarkNameReq_t* r) {
    return jxsXdrU64(x, &r->sourceInstanceId) && jxsXdrU64(x, &r->pointInTime) && Text(x, &r->databaseName) &&
           jxsXdrU64(x, &r->reserved);
}
bool xdr_SQLLogMarkNameRsp_t(XDR* x, SQLLogMarkNameRsp_t* r) {
    return Text(x, &r->markName) && jxsXdrU64(x, &r->status);
}
bool xdr_SqlCleanupTablesReq_t(XDR* x, SqlCleanupTablesReq_t* r) {
    return jxsXdrU64(x, &r->jobId) && jxsXdrU64(x, &r->backupType) && jxsXdrU64(x, &r->reserved) &&
           Text(x, &r->databaseName);
}
bool xdr_SqlCleanedEntry_t(XDR* x, SqlCleanedEntry_t* r) {
    return jxsXdrU64(x, &r->reserved1) && jxsXdrU64(x, &r->reserved2) && jxsXdrU64(x, &r->reserved3) &&
           Text(x, &r->databaseName) && jxsXdrU64(x, &r->reserved5);
}
bool xdr_SqlCleanupTablesRsp_V1_t(XDR* x, SqlCleanupTablesRsp_V1_t* r) {
    return Array64(x, &r->entries, &r->count, xdr_SqlCleanedEntry_t) && jxsXdrU64(x, &r->reserved) &&
           jxsXdrU64(x, &r->status);
}
bool xdr_SqlCleanupTablesReq_Azure_t(XDR* x, SqlCleanupTablesReq_Azure_t* r) {
    return jxsXdrU64(x, &r->jobId) && Text(x, &r->databaseName);
}
bool xdr_SqlCleanupTablesRsp_Azure_t(XDR* x, SqlCleanupTablesRsp_Azure_t* r) { return jxsXdrU64(x, &r->status); }
bool xdr_SqlGetLastVssFullTimeReq_t(XDR* x, SqlGetLastVssFullTimeReq_t* r) {
    return jxsXdrU64(x, &r->first) && jxsXdrU64(x, &r->second) && Text(x, &r->text);
}
bool xdr_SqlGetLastVssFullTimeRsp_t(XDR* x, SqlGetLastVssFullTimeRsp_t* r) {
    return jxsXdrU64(x, &r->reserved) && jxsXdrU64(x, &r->status) && Text(x, &r->time);
}
bool xdr_SQLACLInfoReq_t(XDR* x, SQLACLInfoReq_t* r) {
    return jxsXdrI32(x, &r->instanceId) && jxsXdrU64(x, &r->jxCellId) && Text(x, &r->aclInfo);
}
bool xdr_SQLACLInfoRsp_t(XDR* x, SQLACLInfoRsp_t* r) { return jxsXdrU32(x, &r->errorCode); }
bool xdr_SqlGetJobInfoReq_t(XDR* x, SqlGetJobInfoReq_t* r) {
    return jxsXdrU64(x, &r->jobId) && jxsXdrU64(x, &r->jxCellId);
}
bool xdr_SqlGetJobInfoRsp_t(XDR* x, SqlGetJobInfoRsp_t* r) {
    return jxsXdrU32(x, &r->code) && Text(x, &r->jobInfo);
}
bool xdr_SpContentDBSkipBackupListReq_t(XDR* x, SpContentDBSkipBackupListReq_t* r) {
    return jxsXdrU64(x, &r->reserved) && jxsXdrU64(x, &r->sqlClientId);
}
bool xdr_SpContentDBSkipBackupListRsp_t(XDR* x, SpContentDBSkipBackupListRsp_t* r) {
    return jxsXdrU64(x, &r->error) && Array64(x, &r->subclientIds, &r->count, jxsXdrU64);
}
bool xdr_MSSQLAuthentication_Req_t(XDR* x, MSSQLAuthentication_Req_t* r) {
    return jxsXdrU64(x, &r->clientId) && jxsXdrU64(x, &r->instanceId) && jxsXdrU32(x, &r->skipInstance) &&
           jxsXdrU64(x, &r->cloudServer);
}
bool xdr_MSSQLAuthentication_Rsp_t(XDR* x, MSSQLAuthentication_Rsp_t* r) {
    return jxsXdrU64(x, &r->reserved) && jxsXdrU64(x, &r->authType) && Text(x, &r->userName) &&
           Text(x, &r->password) && jxsXdrU64(x, &r->level);
}

}  // namespace

void SqlRegisterCentralServerRecords() {
    // The three backup-set updates carry the same record: the older
    // SQLBackupSetInfoReq_VER3_t travels in this form too (its members are
    // the first of the newer record's), see CSQLClientDll::updateBackupSetInfo.
    for (unsigned long code : {kSqlBackupSetReq, kSqlAzureBackupSetReq, kSqlAnalysisBackupSetReq}) {
        JXS_REGISTER_RECORD(code, SQLBackupSetInfoReq_VER5_t);
    }
    JXS_REGISTER_RECORD(kSqlBackupSetRsp, SQLBackupSetInfoRsp_t);
    JXS_REGISTER_RECORD(kSqlAnalysisBackupSetRsp, SQLAnalysisBackupSetInfoRsp_t);
    JXS_REGISTER_RECORD(kSqlLastLogMarkReq, SQLLastLogMarkInCSReq_t);
    JXS_REGISTER_RECORD(kSqlLastLogMarkRsp, SQLLastLogMarkInCSRsp_t);
    JXS_REGISTER_RECORD(kSqlLogMarkUpdateReq, SQLLogMarkUpdateReq_t);
    JXS_REGISTER_RECORD(kSqlLogMarkUpdateRsp, SQLLogMarkUpdateRsp_t);
    JXS_REGISTER_RECORD(kSqlConversionRulesReq, SqlBackupConversionRulesReq_V4_t);
    JXS_REGISTER_RECORD(kSqlConversionRulesRsp, SqlBackupConversionRulesRsp_V2_t);
    JXS_REGISTER_RECORD(kSqlMarkNameReq, SQLLogMarkNameReq_t);
    JXS_REGISTER_RECORD(kSqlMarkNameRsp, SQLLogMarkNameRsp_t);
    JXS_REGISTER_RECORD(kSqlCleanupReq, SqlCleanupTablesReq_t);
    JXS_REGISTER_RECORD(kSqlCleanupRsp, SqlCleanupTablesRsp_V1_t);
    JXS_REGISTER_RECORD(kSqlAzureCleanupReq, SqlCleanupTablesReq_Azure_t);
    JXS_REGISTER_RECORD(kSqlAzureCleanupRsp, SqlCleanupTablesRsp_Azure_t);
    JXS_REGISTER_RECORD(kSqlLastVssFullReq, SqlGetLastVssFullTimeReq_t);
    JXS_REGISTER_RECORD(kSqlLastVssFullRsp, SqlGetLastVssFullTimeRsp_t);
    JXS_REGISTER_RECORD(kSqlACLInfoReq, SQLACLInfoReq_t);
    JXS_REGISTER_RECORD(kSqlACLInfoRsp, SQLACLInfoRsp_t);
    JXS_REGISTER_RECORD(kSqlJobInfoReq, SqlGetJobInfoReq_t);
    JXS_REGISTER_RECORD(kSqlJobInfoRsp, SqlGetJobInfoRsp_t);
    JXS_REGISTER_RECORD(kSqlSpContentReq, SpContentDBSkipBackupListReq_t);
    JXS_REGISTER_RECORD(kSqlSpContentRsp, SpContentDBSkipBackupListRsp_t);
    JXS_REGISTER_RECORD(kSqlAuthenticationReq, MSSQLAuthentication_Req_t);
    JXS_REGISTER_RECORD(kSqlAuthenticationRsp, MSSQLAuthentication_Rsp_t);
}
