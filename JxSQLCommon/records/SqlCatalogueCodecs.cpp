// XDR codecs of the catalogue records, one routine per record for encode,
// decode and free. Texts that a record may leave null travel with a presence
// flag, so a null text arrives as null and an empty one as empty.
#include "JxSQLCommon/records/SqlCatalogueCodecs.h"

#include <initializer_list>

#include "JxSQLCommon/records/SqlAGCatalogueRecords.h"
#include "JxSQLCommon/records/SqlDatabaseListRecords.h"
#include "JxSQLCommon/records/SqlServerListRecords.h"
#include "JxSQLCommon/records/SqlStepRestoreRecords.h"
#include "JxSQLCommon/records/SqlXmlRequestCodecs.h"
#include "JxSession/jxsCodecRegistry.h"
#include "JxSession/jxsXdr.h"

namespace {

// Bounds of one record; a count above them is refused on decode.
constexpr uint32_t kMaxNameLength = 4096;
constexpr uint32_t kMaxEntries = 1u << 16;

bool Text(XDR* x, char** text) { return jxsXdrString(x, text, kMaxNameLength); }

bool NullableText(XDR* x, char** text) {
    bool_t present = *text != nullptr;
    if (x->x_op == XDR_FREE) return present ? jxsXdrString(x, text, kMaxNameLength) : true;
    if (!xdr_bool(x, &present)) return false;
    if (!present) {
        *text = nullptr;
        return true;
    }
    return jxsXdrString(x, text, kMaxNameLength);
}

// ---- server list, logins, inventory ----
bool xdr_SQLServerListReq_t(XDR* x, SQLServerListReq_t* r) {
    return jxsXdrU64(x, &r->reserved) && Text(x, &r->clientName);
}
bool xdr_SQL_ServerInfo_VER1_t(XDR* x, SQL_ServerInfo_VER1_t* r) {
    return Text(x, &r->instanceName) && Text(x, &r->version) && Text(x, &r->state);
}
bool xdr_SQLServerListRsp_VER1_t(XDR* x, SQLServerListRsp_VER1_t* r) {
    return jxsXdrArray(x, &r->servers, &r->count, kMaxEntries, xdr_SQL_ServerInfo_VER1_t) &&
           jxsXdrU64(x, &r->reserved1) && jxsXdrU64(x, &r->reserved2);
}
bool xdr_SQLVerifyUserReq_t(XDR* x, SQLVerifyUserReq_t* r) {
    return NullableText(x, &r->userName) && NullableText(x, &r->password) && NullableText(x, &r->instanceName);
}
bool xdr_SQLVerifyUserRsp_t(XDR* x, SQLVerifyUserRsp_t* r) {
    return jxsXdrU64(x, &r->failed) && NullableText(x, &r->message);
}
bool xdr_SQLAzureInventoryInfoRsp_t(XDR* x, SQLAzureInventoryInfoRsp_t* r) { return NullableText(x, &r->inventory); }

// ---- database list, file groups, state ----
bool xdr_SQLDatabaseListReq_t(XDR* x, SQLDatabaseListReq_t* r) { return Text(x, &r->instanceName); }
bool xdr_SQLDatabaseListReq_V2_t(XDR* x, SQLDatabaseListReq_V2_t* r) {
    return Text(x, &r->instanceName) && jxsXdrU64(x, &r->instanceId);
}
bool xdr_SQLDatabaseListReq_V3_t(XDR* x, SQLDatabaseListReq_V3_t* r) {
    return Text(x, &r->instanceName) && Text(x, &r->serverType) && jxsXdrU64(x, &r->instanceId);
}
bool xdr_SQLDatabaseListReq_V4_t(XDR* x, SQLDatabaseListReq_V4_t* r) {
    return Text(x, &r->instanceName) && Text(x, &r->serverType) && jxsXdrU64(x, &r->instanceId) &&
           jxsXdrU64(x, &r->reserved1) && jxsXdrU64(x, &r->reserved2);
}
bool xdr_SQLDatabaseInfo_11_t(XDR* x, SQLDatabaseInfo_11_t* r) {
    return Text(x, &r->name) && jxsXdrU64(x, &r->value1) && jxsXdrU64(x, &r->value2) && jxsXdrU64(x, &r->value3);
}
bool xdr_SQLDatabaseListRsp_11_t(XDR* x, SQLDatabaseListRsp_11_t* r) {
    return jxsXdrArray(x, &r->databases, &r->count, kMaxEntries, xdr_SQLDatabaseInfo_11_t) &&
           jxsXdrU64(x, &r->result) && jxsXdrU64(x, &r->reserved);
}
bool xdr_SQLDatabaseFileGroupReq_t(XDR* x, SQLDatabaseFileGroupReq_t* r) {
    return Text(x, &r->instanceName) && jxsXdrU64(x, &r->databaseNumber) && Text(x, &r->databaseName);
}
bool xdr_SQLDatabaseFileGroupReq_V2_t(XDR* x, SQLDatabaseFileGroupReq_V2_t* r) {
    return Text(x, &r->instanceName) && jxsXdrU64(x, &r->databaseNumber) && Text(x, &r->databaseName) &&
           jxsXdrU64(x, &r->instanceId);
}
bool xdr_SqlFileItem_t(XDR* x, SqlFileItem_t* r) {
    return jxsXdrU64(x, &r->value1) && jxsXdrU64(x, &r->value2) && jxsXdrU64(x, &r->value3) &&
           jxsXdrU64(x, &r->value4) && Text(x, &r->logicalName) && Text(x, &r->physicalName);
}
bool xdr_SqlFileGroupItem_t(XDR* x, SqlFileGroupItem_t* r) {
    return jxsXdrU64(x, &r->groupNumber) && Text(x, &r->name) &&
           jxsXdrArray(x, &r->files, &r->fileCount, kMaxEntries, xdr_SqlFileItem_t);
}
bool xdr_SQLDatabaseFileGroupRsp_t(XDR* x, SQLDatabaseFileGroupRsp_t* r) {
    return jxsXdrArray(x, &r->groups, &r->count, kMaxEntries, xdr_SqlFileGroupItem_t) &&
           jxsXdrU64(x, &r->reserved) && NullableText(x, &r->extra);
}
bool xdr_SQLDatabaseStateReq_t(XDR* x, SQLDatabaseStateReq_t* r) {
    return Text(x, &r->instanceName) && Text(x, &r->databaseName);
}
bool xdr_SQLDatabaseStateReq_V2_t(XDR* x, SQLDatabaseStateReq_V2_t* r) {
    return Text(x, &r->instanceName) && Text(x, &r->databaseName) && jxsXdrU64(x, &r->instanceId);
}
bool xdr_SQLDatabaseStateRsp_t(XDR* x, SQLDatabaseStateRsp_t* r) {
    return jxsXdrI32(x, &r->state) && jxsXdrU64(x, &r->failed) && NullableText(x, &r->stateText);
}

// ---- step-restore list, pruning ----
bool xdr_SQLStepRestoreListReq_t(XDR* x, SQLStepRestoreListReq_t* r) {
    return Text(x, &r->instanceName) && Text(x, &r->databaseName) && jxsXdrU64(x, &r->pointInTime);
}
bool xdr_SQLStepRestoreListReq_V2_t(XDR* x, SQLStepRestoreListReq_V2_t* r) {
    return Text(x, &r->instanceName) && Text(x, &r->databaseName) && jxsXdrU64(x, &r->pointInTime) &&
           jxsXdrU64(x, &r->instanceId);
}
bool xdr_SQLStepRestoreInfo_t(XDR* x, SQLStepRestoreInfo_t* r) {
    return jxsXdrU64(x, &r->backupSetId) && jxsXdrU64(x, &r->finishTime) && Text(x, &r->backupType) &&
           Text(x, &r->firstLSN) && Text(x, &r->lastLSN) && Text(x, &r->databaseBackupLSN) && Text(x, &r->device);
}
bool xdr_SQLStepRestoreListRsp_t(XDR* x, SQLStepRestoreListRsp_t* r) {
    return jxsXdrArray(x, &r->entries, &r->count, kMaxEntries, xdr_SQLStepRestoreInfo_t) &&
           jxsXdrU64(x, &r->failed) && NullableText(x, &r->errorMessage);
}
bool xdr_SqlBackupsetEntry_t(XDR* x, SqlBackupsetEntry_t* r) {
    return jxsXdrU64(x, &r->backupSetId) && jxsXdrU64(x, &r->reserved) && Text(x, &r->instanceName) &&
           jxsXdrU64(x, &r->instanceId);
}
bool xdr_SqlBackupsetListReq_t(XDR* x, SqlBackupsetListReq_t* r) {
    return jxsXdrArray(x, &r->entries, &r->count, kMaxEntries, xdr_SqlBackupsetEntry_t);
}
bool xdr_SqlBackupsetListRsp_t(XDR* x, SqlBackupsetListRsp_t* r) { return jxsXdrU64(x, &r->failed); }

// ---- availability groups, SharePoint, Analysis Services ----
bool xdr_SQLGetSPDatabaseListReq_t(XDR* x, SQLGetSPDatabaseListReq_t* r) {
    return Text(x, &r->instanceName) && Text(x, &r->userName) && Text(x, &r->password);
}
bool xdr_SPDataBaseInfo_t(XDR* x, SPDataBaseInfo_t* r) {
    return Text(x, &r->name) && jxsXdrI64(x, &r->databaseId) && jxsXdrU64(x, &r->creationTime);
}
bool xdr_SQLGetSPDatabaseListRSP_t(XDR* x, SQLGetSPDatabaseListRSP_t* r) {
    return jxsXdrArray(x, &r->databases, &r->count, kMaxEntries, xdr_SPDataBaseInfo_t) &&
           jxsXdrU64(x, &r->reserved1) && jxsXdrU64(x, &r->reserved2);
}
bool xdr_AnalysisRemotePartitionReqEntry_t(XDR* x, AnalysisRemotePartitionReqEntry_t* r) {
    return Text(x, &r->serverName) && Text(x, &r->databaseName);
}
bool xdr_SQLAnalysisGetRemotePartitionInfoReq_t(XDR* x, SQLAnalysisGetRemotePartitionInfoReq_t* r) {
    return jxsXdrArray(x, &r->entries, &r->count, kMaxEntries, xdr_AnalysisRemotePartitionReqEntry_t);
}
bool xdr_AnalysisRemotePartitionInfoPerDb_t(XDR* x, AnalysisRemotePartitionInfoPerDb_t* r) {
    return Text(x, &r->cube) && Text(x, &r->measureGroup) && Text(x, &r->partition) && Text(x, &r->remoteServer);
}
bool xdr_AnalysisRemotePartitionInfo_t(XDR* x, AnalysisRemotePartitionInfo_t* r) {
    return Text(x, &r->databaseName) &&
           jxsXdrArray(x, &r->partitions, &r->count, kMaxEntries, xdr_AnalysisRemotePartitionInfoPerDb_t);
}
bool xdr_SQLAnalysisGetRemotePartitionInfoRsp_t(XDR* x, SQLAnalysisGetRemotePartitionInfoRsp_t* r) {
    return jxsXdrArray(x, &r->databases, &r->count, kMaxEntries, xdr_AnalysisRemotePartitionInfo_t) &&
           jxsXdrU64(x, &r->failed) && jxsXdrU64(x, &r->reserved);
}

}  // namespace

void SqlRegisterCatalogueRecords() {
    jxsRegisterRecord<SQLServerListReq_t, xdr_SQLServerListReq_t>(0x1e00008d, "SQLServerListReq_t");
    jxsRegisterRecord<SQLServerListReq_t, xdr_SQLServerListReq_t>(0x1e0000b4, "SQLServerListReq_t");
    jxsRegisterRecord<SQLServerListRsp_VER1_t, xdr_SQLServerListRsp_VER1_t>(0x1e0000cc, "SQLServerListRsp_VER1_t");
    jxsRegisterRecord<SQLVerifyUserReq_t, xdr_SQLVerifyUserReq_t>(0x1e00008f, "SQLVerifyUserReq_t");
    jxsRegisterRecord<SQLVerifyUserRsp_t, xdr_SQLVerifyUserRsp_t>(0x1e000090, "SQLVerifyUserRsp_t");
    jxsRegisterRecord<SQLVerifyUserReq_t, xdr_SQLVerifyUserReq_t>(0x1e0000d2, "SQLAnalysisVerifyUserReq_t");
    jxsRegisterRecord<SQLVerifyUserRsp_t, xdr_SQLVerifyUserRsp_t>(0x1e0000d3, "SQLAnalysisVerifyUserRsp_t");
    jxsRegisterRecord<SQLAzureInventoryInfoRsp_t, xdr_SQLAzureInventoryInfoRsp_t>(0x1e000120,
                                                                                "SQLAzureInventoryInfoRsp_t");

    jxsRegisterRecord<SQLDatabaseListReq_t, xdr_SQLDatabaseListReq_t>(0x1e000091, "SQLDatabaseListReq_t");
    jxsRegisterRecord<SQLDatabaseListReq_V2_t, xdr_SQLDatabaseListReq_V2_t>(0x1e0000b5, "SQLDatabaseListReq_V2_t");
    jxsRegisterRecord<SQLDatabaseListReq_V3_t, xdr_SQLDatabaseListReq_V3_t>(0x1e0000cd, "SQLDatabaseListReq_V3_t");
    jxsRegisterRecord<SQLDatabaseListReq_V4_t, xdr_SQLDatabaseListReq_V4_t>(0x1e000108, "SQLDatabaseListReq_V4_t");
    jxsRegisterRecord<SQLDatabaseListRsp_11_t, xdr_SQLDatabaseListRsp_11_t>(0x1e0000ec, "SQLDatabaseListRsp_11_t");
    jxsRegisterRecord<SQLDatabaseFileGroupReq_t, xdr_SQLDatabaseFileGroupReq_t>(0x1e000093,
                                                                              "SQLDatabaseFileGroupReq_t");
    jxsRegisterRecord<SQLDatabaseFileGroupReq_V2_t, xdr_SQLDatabaseFileGroupReq_V2_t>(
        0x1e0000b6, "SQLDatabaseFileGroupReq_V2_t");
    jxsRegisterRecord<SQLDatabaseFileGroupRsp_t, xdr_SQLDatabaseFileGroupRsp_t>(0x1e000094,
                                                                              "SQLDatabaseFileGroupRsp_t");
    jxsRegisterRecord<SQLDatabaseStateReq_t, xdr_SQLDatabaseStateReq_t>(0x1e000097, "SQLDatabaseStateReq_t");
    jxsRegisterRecord<SQLDatabaseStateReq_V2_t, xdr_SQLDatabaseStateReq_V2_t>(0x1e0000b7,
                                                                            "SQLDatabaseStateReq_V2_t");
    jxsRegisterRecord<SQLDatabaseStateRsp_t, xdr_SQLDatabaseStateRsp_t>(0x1e000098, "SQLDatabaseStateRsp_t");

    jxsRegisterRecord<SQLStepRestoreListReq_t, xdr_SQLStepRestoreListReq_t>(0x1e0000a7, "SQLStepRestoreListReq_t");
    jxsRegisterRecord<SQLStepRestoreListReq_V2_t, xdr_SQLStepRestoreListReq_V2_t>(0x1e0000b8,
                                                                                "SQLStepRestoreListReq_V2_t");
    jxsRegisterRecord<SQLStepRestoreListRsp_t, xdr_SQLStepRestoreListRsp_t>(0x1e0000a8, "SQLStepRestoreListRsp_t");
    jxsRegisterRecord<SqlBackupsetListReq_t, xdr_SqlBackupsetListReq_t>(0x1e0000ab, "SqlBackupsetListReq_t");
    jxsRegisterRecord<SqlBackupsetListReq_t, xdr_SqlBackupsetListReq_t>(0x1e0000b9, "SqlBackupsetListReq_t");
    jxsRegisterRecord<SqlBackupsetListRsp_t, xdr_SqlBackupsetListRsp_t>(0x1e0000ac, "SqlBackupsetListRsp_t");

    // The availability-group requests carry one XML document each.
    SqlRegisterXmlTextRecords({0x1e0000dcul, 0x1e0000ddul, 0x1e0000e4ul, 0x1e0000e5ul, 0x1e0000deul, 0x1e0000dful,
                               0x1e0000e0ul, 0x1e0000e1ul});
    jxsRegisterRecord<SQLGetSPDatabaseListReq_t, xdr_SQLGetSPDatabaseListReq_t>(0x1e0000c8,
                                                                              "SQLGetSPDatabaseListReq_t");
    jxsRegisterRecord<SQLGetSPDatabaseListRSP_t, xdr_SQLGetSPDatabaseListRSP_t>(0x1e0000c9,
                                                                              "SQLGetSPDatabaseListRSP_t");
    jxsRegisterRecord<SQLAnalysisGetRemotePartitionInfoReq_t, xdr_SQLAnalysisGetRemotePartitionInfoReq_t>(
        0x1e0000d4, "SQLAnalysisGetRemotePartitionInfoReq_t");
    jxsRegisterRecord<SQLAnalysisGetRemotePartitionInfoRsp_t, xdr_SQLAnalysisGetRemotePartitionInfoRsp_t>(
        0x1e0000d5, "SQLAnalysisGetRemotePartitionInfoRsp_t");
}
