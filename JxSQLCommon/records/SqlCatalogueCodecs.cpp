// XDR codecs of the catalogue records, one routine per record for encode,
// decode and free. Texts that a record may leave null travel with a presence
// flag, so a null text arrives as null and an empty one as empty.
#include "JxSQLCommon/records/SqlCatalogueCodecs.h"

#include <initializer_list>

#include "JxSQLCommon/records/SqlAGCatalogueRecords.h"
#include "JxSQLCommon/records/SqlDatabaseListRecords.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
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

bool NullableText(XDR* x, char** text) { return jxsXdrNullableString(x, text, kMaxNameLength); }

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
    JXS_REGISTER_RECORD(kSqlServerListReq, SQLServerListReq_t);
    JXS_REGISTER_RECORD(kSqlServerListReqV2, SQLServerListReq_t);
    JXS_REGISTER_RECORD(kSqlServerListRsp, SQLServerListRsp_VER1_t);
    JXS_REGISTER_RECORD(kSqlVerifyUserReq, SQLVerifyUserReq_t);
    JXS_REGISTER_RECORD(kSqlVerifyUserRsp, SQLVerifyUserRsp_t);
    JXS_REGISTER_RECORD(kSqlAnalysisVerifyUserReq, SQLVerifyUserReq_t);
    JXS_REGISTER_RECORD(kSqlAnalysisVerifyUserRsp, SQLVerifyUserRsp_t);
    JXS_REGISTER_RECORD(kSqlAzureInventoryRsp, SQLAzureInventoryInfoRsp_t);

    JXS_REGISTER_RECORD(kSqlDatabaseListReq, SQLDatabaseListReq_t);
    JXS_REGISTER_RECORD(kSqlDatabaseListReqV2, SQLDatabaseListReq_V2_t);
    JXS_REGISTER_RECORD(kSqlDatabaseListReqV3, SQLDatabaseListReq_V3_t);
    JXS_REGISTER_RECORD(kSqlDatabaseListReqV4, SQLDatabaseListReq_V4_t);
    JXS_REGISTER_RECORD(kSqlDatabaseListRsp, SQLDatabaseListRsp_11_t);
    JXS_REGISTER_RECORD(kSqlFileGroupReq, SQLDatabaseFileGroupReq_t);
    JXS_REGISTER_RECORD(kSqlFileGroupReqV2, SQLDatabaseFileGroupReq_V2_t);
    JXS_REGISTER_RECORD(kSqlFileGroupRsp, SQLDatabaseFileGroupRsp_t);
    JXS_REGISTER_RECORD(kSqlDatabaseStateReq, SQLDatabaseStateReq_t);
    JXS_REGISTER_RECORD(kSqlDatabaseStateReqV2, SQLDatabaseStateReq_V2_t);
    JXS_REGISTER_RECORD(kSqlDatabaseStateRsp, SQLDatabaseStateRsp_t);

    JXS_REGISTER_RECORD(kSqlStepRestoreListReq, SQLStepRestoreListReq_t);
    JXS_REGISTER_RECORD(kSqlStepRestoreListReqV2, SQLStepRestoreListReq_V2_t);
    JXS_REGISTER_RECORD(kSqlStepRestoreListRsp, SQLStepRestoreListRsp_t);
    JXS_REGISTER_RECORD(kSqlPruneHistoryReq, SqlBackupsetListReq_t);
    JXS_REGISTER_RECORD(kSqlPruneHistoryReqV2, SqlBackupsetListReq_t);
    JXS_REGISTER_RECORD(kSqlPruneHistoryRsp, SqlBackupsetListRsp_t);

    // The availability-group requests carry one XML document each.
    SqlRegisterXmlTextRecords({kSqlAvailabilityGroupsReq, kSqlAvailabilityGroupsRsp, kSqlAvailabilityGroupReq,
                               kSqlAvailabilityGroupRsp, kSqlAvailabilityDatabasesReq, kSqlAvailabilityDatabasesRsp,
                               kSqlAvailabilityReplicasReq, kSqlAvailabilityReplicasRsp});
    JXS_REGISTER_RECORD(kSqlSharePointDatabasesReq, SQLGetSPDatabaseListReq_t);
    JXS_REGISTER_RECORD(kSqlSharePointDatabasesRsp, SQLGetSPDatabaseListRSP_t);
    JXS_REGISTER_RECORD(kSqlRemotePartitionReq, SQLAnalysisGetRemotePartitionInfoReq_t);
    JXS_REGISTER_RECORD(kSqlRemotePartitionRsp, SQLAnalysisGetRemotePartitionInfoRsp_t);
}
