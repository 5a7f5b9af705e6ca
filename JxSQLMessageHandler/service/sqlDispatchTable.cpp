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
constexpr SqlRequestWrapper reqSQLSeverList = &RunHandler<&CSQLClientDll::getServerList>;
constexpr SqlRequestWrapper reqVerifyUser = &RunHandler<&CSQLClientDll::verifyUser>;
constexpr SqlRequestWrapper reqSqlAnalysisVerifyUser = &RunHandler<&CSQLClientDll::SqlAnalysisVerifyUser>;
constexpr SqlRequestWrapper reqAzureInventoryList = &RunHandler<&CSQLClientDll::getAzureInventoryList>;
constexpr SqlRequestWrapper reqSQLDatabaseList = &RunHandler<&CSQLClientDll::getDatabaseList>;
constexpr SqlRequestWrapper reqSQLDatabaseFileFileGroups = &RunHandler<&CSQLClientDll::getDatabaseFileGroups>;
constexpr SqlRequestWrapper reqSQLDatabaseState = &RunHandler<&CSQLClientDll::getDatabaseState>;
constexpr SqlRequestWrapper reqSQLGetStepRestoreList = &RunHandler<&CSQLClientDll::getSQLStepRestoreList>;
constexpr SqlRequestWrapper reqPruneSqlMSDBEntries = &RunHandler<&CSQLClientDll::pruneSqlMsdbEntries>;
constexpr SqlRequestWrapper reqGetSpDatabaseList = &RunHandler<&CSQLClientDll::getSQLSPDatabaselist>;
constexpr SqlRequestWrapper reqGetSqlAnalysisRemotePartitionInfo =
    &RunHandler<&CSQLClientDll::getSqlAnalysisRemotePartitionInfo>;
constexpr SqlRequestWrapper reqGetAvailabilityGroups = &RunHandler<&CSQLClientDll::GetAvailabilityGroups>;
constexpr SqlRequestWrapper reqGetAvailabilityDatabases = &RunHandler<&CSQLClientDll::GetAvailabilityDatabases>;
constexpr SqlRequestWrapper reqGetAvailabilityGroupReplicas = &RunHandler<&CSQLClientDll::GetAvailabilityGroupReplicas>;
constexpr SqlRequestWrapper reqGetAG = &RunHandler<&CSQLClientDll::GetAG>;
constexpr SqlRequestWrapper reqAttachDatabaseOnInstance = &RunHandler<&CSQLClientDll::AttachDatabaseOnInstance>;
constexpr SqlRequestWrapper reqCreateUNCPathOnMachine = &RunHandler<&CSQLClientDll::CreateUNCPaths>;
// Handlers that share their name with a requester are picked by their type.
using ServedHandler = bool (CSQLClientDll::*)();
constexpr SqlRequestWrapper reqDeleteUNCPathOnMachine =
    &RunHandler<static_cast<ServedHandler>(&CSQLClientDll::DeleteUNCPaths)>;
constexpr SqlRequestWrapper reqGetArchiveInfo = &RunHandler<&CSQLClientDll::GetArchiveInfo>;
constexpr SqlRequestWrapper reqCheckSourceConnectivity = &RunHandler<&CSQLClientDll::CheckSourceConnectivity>;
constexpr SqlRequestWrapper reqCreateDirectoryOnRequest = &RunHandler<&CSQLClientDll::CreateDirectoryOnRequest>;
constexpr SqlRequestWrapper reqDeleteDirectoryOnRequest = &RunHandler<&CSQLClientDll::DeleteDirectoryOnRequest>;
constexpr SqlRequestWrapper reqGetRemoteFileSize =
    &RunHandler<static_cast<ServedHandler>(&CSQLClientDll::GetRemoteFileSize)>;
constexpr SqlRequestWrapper reqCopySingleRemoteFile = &RunHandler<&CSQLClientDll::CopySingleRemoteFile>;
constexpr SqlRequestWrapper handleSqlXmlMsg = &RunHandler<&CSQLClientDll::handleSqlXmlMsg>;
constexpr SqlRequestWrapper reqGetFilestreamInfo =
    &RunHandler<static_cast<ServedHandler>(&CSQLClientDll::RetrieveFilestreamInfo)>;
constexpr SqlRequestWrapper reqAGTLBackup = &RunHandler<&CSQLClientDll::AGTLBackupStaging>;
constexpr SqlRequestWrapper reqUpdateDatabaseStatus = &RunHandler<&CSQLClientDll::updateDatabaseStatus>;
constexpr SqlRequestWrapper reqUpdateTLDumpCache = &RunHandler<&CSQLClientDll::UpdateTLDumpCache>;

// Each row: request code, wrapper, the code the handler replies under (0:
// the object-level restore layer answers in XML messages of its own).
constexpr SqlDispatchRow kDispatchTable[] = {
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

SqlRequestWrapper SqlFindRequestWrapper(unsigned long code) {
    for (const SqlDispatchRow& row : kDispatchTable) {
        if (row.requestCode == code) return row.wrapper;
    }
    return nullptr;
}

std::span<const SqlDispatchRow> SqlDispatchRows() { return kDispatchTable; }

bool SqlRunRequestWrapper(SqlRequestWrapper wrapper, CJxNetwork* session, unsigned long code, jxsDatabuf_v2* received) {
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
