// The table of message classes: pairs, element names and fixed tag ids.
#include "Messages/MessageCatalogue.h"

#include <cstring>
#include <string>

namespace messages {
namespace {

// Sorted by module, then message. Tag ids given here are the ones peers
// compare against; 0 means "by the rule".
const CatalogueEntry kTable[] = {
    {1, 0, "JXGui_GenericResp", 0},
    {9, 45, "CNSession_jxsExecuteRemoteCommandType", 0},
    {9, 57, "CNSession_LaunchOnDemandServiceDetails", 0},
    {9, 60, "CNSession_LaunchOnDemandServiceReq", 0},
    {12, 1, "TMMsg_GenericResp", 0},
    {12, 47, "TMMsg_EntityListResp", 0},
    {12, 48, "TMMsg_IdIdName", 0},
    {12, 78, "TMMsg_Pattern", 0},
    {12, 133, "TMMsg_SqlServerRstOption", 0},
    {12, 262, "TMMsg_JobOption", 0},
    {12, 263, "TMMsg_SharePointMetaData", 0},
    {18, 44, "JxEntities_SubtaskEntity", 0},
    {18, 46, "JxEntities_GenericEntity", 0},
    {21, 91, "JobManager_SQLStatusTab", 0x15cffc35},
    {21, 127, "JobManager_SQLJobInfo", 0x15cf047d},
    {21, 128, "JobManager_PreparedJobsFromForeignReq", 0},
    {21, 129, "JobManager_PreparedJobsFromForeignResp", 0},
    {22, 230, "Pmn_GetSchemaTableMappingReq", 0x162f5de7},
    {22, 422, "Pmn_MAMountPointError", 0},
    {22, 690, "Pmn_MAMountPointReq", 0},
    {22, 691, "Pmn_MAMountPointResp", 0},
    {30, 144, "App_SQLAvailabilityGroup", 0},
    {30, 145, "App_SQLAvailabilityGroups", 0},
    {30, 149, "App_GetSqlClientAndInstanceReq", 0},
    {30, 150, "App_GetSqlClientAndInstanceResp", 0},
    {30, 353, "App_JobErrorDecisionRule", 0},
    {30, 354, "App_JobErrorDecisionRuleList", 0},
    {30, 639, "App_LiveSyncReplicationInfo", 0},
    {30, 691, "App_GetAvailabilityGroupsReq", 0},
    {30, 692, "App_SQLAvailabilityDatabase", 0},
    {30, 693, "App_SQLAvailabilityDatabases", 0},
    {30, 694, "App_GetAvailabilityDatabasesReq", 0},
    {30, 695, "App_GetAvailabilityGroupReplicasReq", 0},
    {30, 1090, "App_GetTargetTableHierarchyReq", 0x1ebcd770},
    {30, 1194, "App_GetAGReq", 0},
    {30, 1595, "App_GenericResp", 0},
    {30, 2460, "App_AGTLBackupReq", 0},
    {30, 3040, "App_ValidateSQLCloudCredentialsReq", 0x1e7b41bf},
    {34, 0, "SQLPmn_CheckSourceConnectivityReq", 0},
    {34, 12, "SQLPmn_AttachDBMsg", 0},
    {34, 13, "SQLPmn_CheckSourceConnectivityRsp", 0},
    {34, 15, "SQLPmn_SQLAGCollectFile", 0x22f2bad2},
    {34, 19, "SQLPmn_SQLDBBackupMetadata", 0},
    {34, 20, "SQLPmn_AttachDB", 0},
    {34, 21, "SQLPmn_SQLAGSQLServerToUseForBackup", 0},
    {34, 31, "SQLPmn_SQLIntegrityCheckInit", 0},
    {34, 34, "SQLPmn_SQLFileBackupInfo", 0},
    {34, 41, "SQLPmn_SQLAGClientStartedFinish", 0x224e5b75},
    {34, 44, "SQLPmn_SQLAGJobStatus", 0x224a3e1b},
    {34, 46, "SQLPmn_SQLIntegrityCheckResponse", 0},
    {34, 47, "SQLPmn_ErrorMessage", 0x228340ff},
    {34, 52, "SQLPmn_SQLDBBackupInfo", 0},
    {34, 57, "SQLPmn_SQLDatabaseBackupInfoList", 0},
    {34, 58, "SQLPmn_SQLBackupDatabaseFilesMediaMetaInfo", 0},
    {34, 59, "SQLPmn_SQLBackupDatabaseMediaMetaInfo", 0},
    {34, 60, "SQLPmn_SQLBackupDatabaseArchiveMetaInfo", 0},
    {34, 61, "SQLPmn_SQLAGStreamCount", 0x22f7567b},
    {34, 81, "SQLPmn_GenericResp", 0x22f2be27},
    {34, 85, "SQLPmn_DBAFRestoreInfoReq", 0},
    {34, 86, "SQLPmn_DBLastRestoreInfo", 0},
    {34, 90, "SQLPmn_SqlUpdateDatabaseInfoResp", 0},
    {34, 91, "SQLPmn_SqlUpdateDatabaseInfoReq", 0x22e421fe},
    {34, 92, "SQLPmn_UpdateDatabaseStatusReq", 0},
    {34, 96, "SQLPmn_SqlUpdateBackupDumpInfoReq", 0},
    {34, 97, "SQLPmn_SqlUpdateBackupInfo", 0},
    {34, 101, "SQLPmn_SQLTLDumpCache", 0},
    {34, 103, "SQLPmn_GetSqlRestoreOptionsReq", 0},
    {34, 104, "SQLPmn_GetSqlRestoreOptionsResp", 0},
    {34, 111, "SQLPmn_SqlCreateSourceViewInfoReq", 0x22517466},
    {34, 112, "SQLPmn_RemoteCopyFileInfo", 0x224e4e65},
    {34, 113, "SQLPmn_RemoteCopyFileAck", 0x2254fbf2},
    {34, 114, "SQLPmn_RemoteCopyInfo", 0x227d4849},
    {34, 118, "SQLPmn_SqlGetFileStreamInfoReq", 0},
    {34, 119, "SQLPmn_SqlGetFileStreamInfoRsp", 0},
    {34, 123, "SQLPmn_SqlFileStreamInfo", 0},
    {34, 124, "SQLPmn_SQLDatabaseSizesResp", 0},
    {100, 3, "databrowse_BrowsePath", 0},
    {100, 80, "databrowse_Query", 0},
    {100, 92, "databrowse_BrowseRequest", 0},
    {118, 836, "Api_SQLAppReadinessReq", 0x76479707},
    {118, 837, "Api_SQLAppReadinessResp", 0},
};

uint32_t Fnv1a24(const std::string& text) {
    uint32_t hash = 2166136261u;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 16777619u;
    }
    return (hash >> 24 ^ hash) & 0xffffffu;   // xor-fold to 24 bits
}

uint32_t TagByRule(int module, const std::string& name) {
    return (static_cast<uint32_t>(module) & 0xffu) << 24 | Fnv1a24(name);
}

}  // namespace

const CatalogueEntry* FindByPair(int module, int message) {
    for (const CatalogueEntry& e : kTable) {
        if (e.module == module && e.message == message) return &e;
    }
    return nullptr;
}

const CatalogueEntry* FindByElementName(const std::string& name) {
    for (const CatalogueEntry& e : kTable) {
        if (name == e.elementName) return &e;
    }
    return nullptr;
}

std::vector<CatalogueEntry> AllEntries() {
    return std::vector<CatalogueEntry>(std::begin(kTable), std::end(kTable));
}

const char* ElementNameOf(int module, int message) {
    const CatalogueEntry* e = FindByPair(module, message);
    return e ? e->elementName : kUncataloguedElement;
}

uint32_t TagIdOf(int module, int message) {
    const CatalogueEntry* e = FindByPair(module, message);
    if (e && e->tagId != 0) return e->tagId;
    if (e) return TagByRule(module, e->elementName);
    return TagByRule(module, std::to_string(module) + "_" + std::to_string(message));
}

}  // namespace messages
