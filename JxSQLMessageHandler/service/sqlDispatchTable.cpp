// The dispatch table: request code -> request wrapper -> handler.
#include "JxSQLMessageHandler/service/sqlDispatchTable.h"

#include <cstdint>
#include <exception>

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"

namespace {

// Builds the request object for one request and runs `Handler` on it.
template <auto Handler>
unsigned long RunHandler(CJxNetwork* session, unsigned long code, jxsDatabuf_v2* received) {
    CSQLClientDll request(session, received, code);
    return static_cast<uint32_t>((request.*Handler)());
}

// The request wrappers, one per handler.
constexpr sqlRequestWrapper reqSQLSeverList = &RunHandler<&CSQLClientDll::getServerList>;
constexpr sqlRequestWrapper reqVerifyUser = &RunHandler<&CSQLClientDll::verifyUser>;
constexpr sqlRequestWrapper reqSqlAnalysisVerifyUser = &RunHandler<&CSQLClientDll::SqlAnalysisVerifyUser>;
constexpr sqlRequestWrapper reqAzureInventoryList = &RunHandler<&CSQLClientDll::getAzureInventoryList>;
constexpr sqlRequestWrapper reqSQLDatabaseList = &RunHandler<&CSQLClientDll::getDatabaseList>;
constexpr sqlRequestWrapper reqSQLDatabaseFileFileGroups = &RunHandler<&CSQLClientDll::getDatabaseFileGroups>;
constexpr sqlRequestWrapper reqSQLDatabaseState = &RunHandler<&CSQLClientDll::getDatabaseState>;
constexpr sqlRequestWrapper reqSQLGetStepRestoreList = &RunHandler<&CSQLClientDll::getSQLStepRestoreList>;
constexpr sqlRequestWrapper reqPruneSqlMSDBEntries = &RunHandler<&CSQLClientDll::pruneSqlMsdbEntries>;
constexpr sqlRequestWrapper reqGetSpDatabaseList = &RunHandler<&CSQLClientDll::getSQLSPDatabaselist>;
constexpr sqlRequestWrapper reqGetSqlAnalysisRemotePartitionInfo =
    &RunHandler<&CSQLClientDll::getSqlAnalysisRemotePartitionInfo>;
constexpr sqlRequestWrapper reqGetAvailabilityGroups = &RunHandler<&CSQLClientDll::GetAvailabilityGroups>;
constexpr sqlRequestWrapper reqGetAvailabilityDatabases = &RunHandler<&CSQLClientDll::GetAvailabilityDatabases>;
constexpr sqlRequestWrapper reqGetAvailabilityGroupReplicas =
    &RunHandler<&CSQLClientDll::GetAvailabilityGroupReplicas>;
constexpr sqlRequestWrapper reqGetAG = &RunHandler<&CSQLClientDll::GetAG>;
constexpr sqlRequestWrapper reqAttachDatabaseOnInstance = &RunHandler<&CSQLClientDll::AttachDatabaseOnInstance>;
constexpr sqlRequestWrapper reqCreateUNCPathOnMachine = &RunHandler<&CSQLClientDll::CreateUNCPaths>;
// Handlers that share their name with a requester are picked by their type.
using ServedHandler = bool (CSQLClientDll::*)();
constexpr sqlRequestWrapper reqDeleteUNCPathOnMachine =
    &RunHandler<static_cast<ServedHandler>(&CSQLClientDll::DeleteUNCPaths)>;
constexpr sqlRequestWrapper reqGetArchiveInfo = &RunHandler<&CSQLClientDll::GetArchiveInfo>;
constexpr sqlRequestWrapper reqCheckSourceConnectivity = &RunHandler<&CSQLClientDll::CheckSourceConnectivity>;
constexpr sqlRequestWrapper reqCreateDirectoryOnRequest = &RunHandler<&CSQLClientDll::CreateDirectoryOnRequest>;
constexpr sqlRequestWrapper reqDeleteDirectoryOnRequest = &RunHandler<&CSQLClientDll::DeleteDirectoryOnRequest>;
constexpr sqlRequestWrapper reqGetRemoteFileSize =
    &RunHandler<static_cast<ServedHandler>(&CSQLClientDll::GetRemoteFileSize)>;
constexpr sqlRequestWrapper reqCopySingleRemoteFile = &RunHandler<&CSQLClientDll::CopySingleRemoteFile>;
constexpr sqlRequestWrapper handleSqlXmlMsg = &RunHandler<&CSQLClientDll::handleSqlXmlMsg>;
constexpr sqlRequestWrapper reqGetFilestreamInfo =
    &RunHandler<static_cast<ServedHandler>(&CSQLClientDll::RetrieveFilestreamInfo)>;
constexpr sqlRequestWrapper reqAGTLBackup = &RunHandler<&CSQLClientDll::AGTLBackupStaging>;
constexpr sqlRequestWrapper reqUpdateDatabaseStatus = &RunHandler<&CSQLClientDll::updateDatabaseStatus>;
constexpr sqlRequestWrapper reqUpdateTLDumpCache = &RunHandler<&CSQLClientDll::UpdateTLDumpCache>;

// Each row: request code, wrapper, the code the handler replies under (0:
// the object-level restore layer answers in XML messages of its own).
constexpr sqlDispatchRow kDispatchTable[] = {
    {kSqlServerListReq, reqSQLSeverList, kSqlServerListRsp},
    {kSqlServerListReqV2, reqSQLSeverList, kSqlServerListRsp},
    {kSqlVerifyUserReq, reqVerifyUser, kSqlVerifyUserRsp},
    {kSqlAnalysisVerifyUserReq, reqSqlAnalysisVerifyUser, kSqlAnalysisVerifyUserRsp},
    {kSqlAzureInventoryReq, reqAzureInventoryList, kSqlAzureInventoryRsp},
    {kSqlDatabaseListReq, reqSQLDatabaseList, kSqlDatabaseListRsp},
    {kSqlDatabaseListReqV2, reqSQLDatabaseList, kSqlDatabaseListRsp},
    {kSqlDatabaseListReqV3, reqSQLDatabaseList, kSqlDatabaseListRsp},
    {kSqlDatabaseListReqV4, reqSQLDatabaseList, kSqlDatabaseListRsp},
    {kSqlFileGroupReq, reqSQLDatabaseFileFileGroups, kSqlFileGroupRsp},
    {kSqlFileGroupReqV2, reqSQLDatabaseFileFileGroups, kSqlFileGroupRsp},
    {kSqlDatabaseStateReq, reqSQLDatabaseState, kSqlDatabaseStateRsp},
    {kSqlDatabaseStateReqV2, reqSQLDatabaseState, kSqlDatabaseStateRsp},
    {kSqlStepRestoreListReq, reqSQLGetStepRestoreList, kSqlStepRestoreListRsp},
    {kSqlStepRestoreListReqV2, reqSQLGetStepRestoreList, kSqlStepRestoreListRsp},
    {kSqlPruneHistoryReq, reqPruneSqlMSDBEntries, kSqlPruneHistoryRsp},
    {kSqlPruneHistoryReqV2, reqPruneSqlMSDBEntries, kSqlPruneHistoryRsp},
    {kSqlSharePointDatabasesReq, reqGetSpDatabaseList, kSqlSharePointDatabasesRsp},
    {kSqlRemotePartitionReq, reqGetSqlAnalysisRemotePartitionInfo, kSqlRemotePartitionRsp},
    {kSqlAvailabilityGroupsReq, reqGetAvailabilityGroups, kSqlAvailabilityGroupsRsp},
    {kSqlAvailabilityDatabasesReq, reqGetAvailabilityDatabases, kSqlAvailabilityDatabasesRsp},
    {kSqlAvailabilityReplicasReq, reqGetAvailabilityGroupReplicas, kSqlAvailabilityReplicasRsp},
    {kSqlAvailabilityGroupReq, reqGetAG, kSqlAvailabilityGroupRsp},
    {kSqlAttachDatabaseReq, reqAttachDatabaseOnInstance, kSqlAttachDatabaseRsp},
    {kSqlCreateUncPathReq, reqCreateUNCPathOnMachine, kSqlCreateUncPathRsp},
    {kSqlDeleteUncPathReq, reqDeleteUNCPathOnMachine, kSqlDeleteUncPathRsp},
    {kSqlArchiveInfoReq, reqGetArchiveInfo, 0},
    {kSqlCheckSourceReq, reqCheckSourceConnectivity, kSqlCheckSourceRsp},
    {kSqlCreateDirectoryReq, reqCreateDirectoryOnRequest, kSqlCreateDirectoryRsp},
    {kSqlDeleteDirectoryReq, reqDeleteDirectoryOnRequest, kSqlDeleteDirectoryRsp},
    {kSqlFileSizeReq, reqGetRemoteFileSize, kSqlFileSizeRsp},
    {kSqlCopySingleFileReq, reqCopySingleRemoteFile, kSqlCopySingleFileRsp},
    {kSqlXmlReq, handleSqlXmlMsg, kSqlXmlReq},
    {kSqlFileStreamInfoReq, reqGetFilestreamInfo, kSqlFileStreamInfoRsp},
    {kSqlAGTLBackupReq, reqAGTLBackup, kSqlAGTLBackupRsp},
    {kSqlUpdateDbStatusReq, reqUpdateDatabaseStatus, kSqlUpdateDbStatusRsp},
    {kSqlXmlReqV2, handleSqlXmlMsg, kSqlXmlRsp},
    {kSqlTLDumpCacheReq, reqUpdateTLDumpCache, kSqlTLDumpCacheRsp},
};

}  // namespace

sqlRequestWrapper sqlFindRequestWrapper(unsigned long code) {
    for (const sqlDispatchRow& row : kDispatchTable) {
        if (row.requestCode == code) return row.wrapper;
    }
    return nullptr;
}

std::span<const sqlDispatchRow> sqlDispatchRows() { return kDispatchTable; }

bool sqlRunRequestWrapper(sqlRequestWrapper wrapper, CJxNetwork* session, unsigned long code,
                          jxsDatabuf_v2* received) {
    try {
        wrapper(session, code, received);
        return true;
    } catch (const std::exception& e) {
        EvDebug log;
        EV_ERROR(log, "Request [0x%lx] failed with exception [%s]; the session ends.", code, e.what());
    } catch (...) {
        EvDebug log;
        EV_ERROR(log, "Request [0x%lx] failed with an unknown exception; the session ends.", code);
    }
    return false;
}
