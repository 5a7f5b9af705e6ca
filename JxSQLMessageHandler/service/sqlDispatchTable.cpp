// The dispatch table: request code -> request wrapper -> handler.
#include "JxSQLMessageHandler/service/sqlDispatchTable.h"

#include <cstdint>

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

struct DispatchRow {
    unsigned long code;
    sqlRequestWrapper wrapper;
};

// Reply codes are the handlers' own (noted per row).
constexpr DispatchRow kDispatchTable[] = {
    {0x1e00008d, reqSQLSeverList},                       // -> 0x1e0000cc
    {0x1e0000b4, reqSQLSeverList},                       // -> 0x1e0000cc
    {0x1e00008f, reqVerifyUser},                         // -> 0x1e000090
    {0x1e0000d2, reqSqlAnalysisVerifyUser},              // -> 0x1e0000d3
    {0x1e00011f, reqAzureInventoryList},                 // -> 0x1e000120
    {0x1e000091, reqSQLDatabaseList},                    // -> 0x1e0000ec
    {0x1e0000b5, reqSQLDatabaseList},                    // -> 0x1e0000ec
    {0x1e0000cd, reqSQLDatabaseList},                    // -> 0x1e0000ec
    {0x1e000108, reqSQLDatabaseList},                    // -> 0x1e0000ec
    {0x1e000093, reqSQLDatabaseFileFileGroups},          // -> 0x1e000094
    {0x1e0000b6, reqSQLDatabaseFileFileGroups},          // -> 0x1e000094
    {0x1e000097, reqSQLDatabaseState},                   // -> 0x1e000098
    {0x1e0000b7, reqSQLDatabaseState},                   // -> 0x1e000098
    {0x1e0000a7, reqSQLGetStepRestoreList},              // -> 0x1e0000a8
    {0x1e0000b8, reqSQLGetStepRestoreList},              // -> 0x1e0000a8
    {0x1e0000ab, reqPruneSqlMSDBEntries},                // -> 0x1e0000ac
    {0x1e0000b9, reqPruneSqlMSDBEntries},                // -> 0x1e0000ac
    {0x1e0000c8, reqGetSpDatabaseList},                  // -> 0x1e0000c9
    {0x1e0000d4, reqGetSqlAnalysisRemotePartitionInfo},  // reply code chosen by the handler
    {0x1e0000dc, reqGetAvailabilityGroups},              // -> 0x1e0000dd
    {0x1e0000de, reqGetAvailabilityDatabases},           // -> 0x1e0000df
    {0x1e0000e0, reqGetAvailabilityGroupReplicas},       // -> 0x1e0000e1
    {0x1e0000e4, reqGetAG},                              // -> 0x1e0000e5
    {0x1e0000e6, reqAttachDatabaseOnInstance},           // -> 0x1e0000e7
    {0x1e0000e8, reqCreateUNCPathOnMachine},             // -> 0x1e0000e9
    {0x1e0000ea, reqDeleteUNCPathOnMachine},             // -> 0x1e0000eb
    {0x1e0000f1, reqGetArchiveInfo},                     // answered by the object-level-restore library
    {0x1e0000f2, reqCheckSourceConnectivity},            // -> 0x1e0000f3
    {0x1e0000f8, reqCreateDirectoryOnRequest},           // -> 0x1e0000f9
    {0x1e0000fa, reqDeleteDirectoryOnRequest},           // -> 0x1e0000fb
    {0x1e0000fc, reqGetRemoteFileSize},                  // -> 0x1e0000fd
    {0x1e0000fe, reqCopySingleRemoteFile},               // -> 0x1e0000ff
    {0x1e0000ff, handleSqlXmlMsg},                       // -> 0x1e0000ff
    {0x1e000100, reqGetFilestreamInfo},                  // -> 0x1e000101
    {0x1e00010b, reqAGTLBackup},                         // -> 0x1e00010c
    {0x1e00010d, reqUpdateDatabaseStatus},               // -> 0x1e00010e
    {0x1e000114, handleSqlXmlMsg},                       // -> 0x1e000115
    {0x1e000116, reqUpdateTLDumpCache},                  // -> 0x1e000117
};

}  // namespace

sqlRequestWrapper sqlFindRequestWrapper(unsigned long code) {
    for (const DispatchRow& row : kDispatchTable) {
        if (row.code == code) return row.wrapper;
    }
    return nullptr;
}
