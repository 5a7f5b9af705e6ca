// CSQLRestoreBase: downloads the metadata files of a snapshot backup (the
// writer and backup-components XML documents named after the snapshot job)
// from the backup domain's index into the job-results directory, from the
// index cache (indexing version 1) or from the "Snap" container of the
// job-information index (version 2).
#include <cinttypes>
#include <list>
#include <string>
#include <vector>

#include "JXAppMgr/IndexingVersion.h"
#include "JXAppMgr/JXClient.h"
#include "JobResults/IndexFileDownload.h"
#include "JobResults/JobInfoMetadataReaderManager.h"
#include "JxPipelineSetupUtility/ArMgrClientAPI.h"
#include "JxSQLCommon/records/SqlSnapshotRecords.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "WzUtils/WzFileSystem.h"

namespace {

const char* const kSnapContainer = "Snap";

// The index-cache filter of a snapshot job's metadata files. Their names
// start with the job id and a separator ("<id>_..._WRT.xml"), so the
// character after the id must not be a digit: otherwise job 12 would also
// fetch the files of jobs 120 or 1234.
std::string MetadataFilter(uint64_t snapJobId) { return std::to_string(snapJobId) + "[!0-9]*.xml"; }

}  // namespace

bool CSQLRestoreBase::downloadMetadata(uint64_t clientId, SqlSnapJobDetails_t& details,
                                       GetArchFileInfoForSnapJob_Ret_t& archiveInfo) {
    const int version = GetClientIndexingVersion(clientId, details.jobEndTime);
    if (version == 0) return false;
    EV_DEBUG(m_logger, 2, "Using indexing version [%d].", version == 2 ? 2 : 1);
    if (version == 2) return downloadMetadataFromIndex(details.jobId, details.appId, details.jxCellId, archiveInfo);
    return downloadMetadataFromIndexCache(details.jobId, details.appId, details.jxCellId, archiveInfo);
}

bool CSQLRestoreBase::downloadMetadata(uint64_t snapJobId, uint64_t appId, uint64_t backupDomainId,
                                       GetArchFileInfoForSnapJob_Ret_t& archiveInfo) {
    bool useV2 = false;
    if (shouldUseIndexingV2(backupDomainId, static_cast<int>(appId), useV2) != 0) {
        EV_WARN(m_logger, "Unable to fetch the index version. will default to v1, JobId=%" PRIu64, snapJobId);
        useV2 = false;
    }
    EV_DEBUG(m_logger, 2, "Using indexing version [%d].", useV2 ? 2 : 1);
    if (useV2) return downloadMetadataFromIndex(snapJobId, appId, backupDomainId, archiveInfo);
    return downloadMetadataFromIndexCache(snapJobId, appId, backupDomainId, archiveInfo);
}

bool CSQLRestoreBase::downloadMetadataFromIndexCache(uint64_t snapJobId, uint64_t appId, uint64_t backupDomainId,
                                                     GetArchFileInfoForSnapJob_Ret_t& archiveInfo) {
    const char* const self = "downloadMetadataFromIndexCache";
    std::string sourceHost;
    std::string destinationHost;
    if (!getMangledClientName(sourceHost, m_restoreOptions.sourceClientId)) {
        EV_DEBUG(m_logger, 1, "%s: Failed to get mangledClientName for client id[%" PRIu64 "]", self,
                 m_restoreOptions.sourceClientId);
        return false;
    }
    if (!getMangledClientName(destinationHost, m_restoreOptions.destinationClientId)) {
        EV_DEBUG(m_logger, 1, "%s: Failed to get mangledClientName for client id[%" PRIu64 "]", self,
                 m_restoreOptions.destinationClientId);
        return false;
    }
    GetArchFileInfoForSnapJob_ArgsCC_t request;
    request.restoreJobId = m_jobId;
    request.destinationClientId = m_restoreOptions.destinationClientId;
    request.jxCellId = backupDomainId;
    request.snapJobId = snapJobId;
    request.copyPrecedence = m_restoreOptions.copyPrecedence;
    if (ArMgrClientAPI::getArchFileListForSnapshotJob(&request, &archiveInfo) != 0) {
        EV_DEBUG(m_logger, 1, "%s: Failed to get archive list for the snap job[%" PRIu64 "]", self, snapJobId);
        return false;
    }
    if (archiveInfo.archiveFiles.empty()) {
        EV_DEBUG(m_logger, 1, "%s: getArchFileListForSnapshotJob returned zero entries for job[%" PRIu64 "]", self,
                 snapJobId);
        return false;
    }
    const std::string mediaAgent = archiveInfo.mediaAgentName;
    EV_DEBUG(m_logger, 2, "%zu afile(s) found for mediaAgentHostName %s", archiveInfo.archiveFiles.size(),
             mediaAgent.c_str());
    EV_DEBUG(m_logger, 2,
             "Destination Client mangled %s(Client id %" PRIu64 ") Source client mangled = %s(ClientId %" PRIu64
             ") Job id = %" PRIu64,
             destinationHost.c_str(), m_restoreOptions.destinationClientId, sourceHost.c_str(),
             m_restoreOptions.sourceClientId, snapJobId);

    uint64_t timeStamp = 0;
    for (const GetArchFileListForJobRetCC_t& entry : archiveInfo.archiveFiles) {
        if (entry.archiveFileType != ArMgrClientAPI::kSnapArchiveFileType) continue;
        GetLastAfileOfCycleArgs_t args;
        args.archiveFileId = entry.archiveFileId;
        args.value3 = entry.value1;
        args.archiveFileType = ArMgrClientAPI::kSnapArchiveFileType;
        GetLastAfileOfCycleRet_t last;
        if (ArMgrClientAPI::getLastAfileOfCycle(&args, &last) != 0) {
            EV_DEBUG(m_logger, 1, "%s: Failed to get last afile for afile [%" PRIu64 "]", self, entry.archiveFileId);
            return false;
        }
        timeStamp = last.timeStamp;
    }
    const std::vector<std::string> filters{MetadataFilter(snapJobId)};
    EV_DEBUG(m_logger, 2,
             "Downloading metadata: media agent [%s] backup domain [%" PRIu64 "] app [%" PRIu64 "] time [%" PRIu64
             "] snap job [%" PRIu64 "] filter [%s]",
             mediaAgent.c_str(), backupDomainId, appId, timeStamp, snapJobId, filters.front().c_str());
    if (GetIndexFiles(mediaAgent, backupDomainId, appId, timeStamp, snapJobId, 2, 0, m_jobResultsDirectory, &filters,
                      nullptr) < 0) {
        EV_DEBUG(m_logger, 1, "%s: Failed to download metadata files for snapshot JID [%" PRIu64 "].", self,
                 snapJobId);
        return false;
    }
    return true;
}

bool CSQLRestoreBase::downloadMetadataFromIndex(uint64_t snapJobId, uint64_t appId, uint64_t backupDomainId,
                                                GetArchFileInfoForSnapJob_Ret_t& archiveInfo) {
    GetArchFileInfoForSnapJob_ArgsCC_t request;
    request.restoreJobId = m_jobId;
    request.destinationClientId = m_restoreOptions.destinationClientId;
    request.jxCellId = backupDomainId;
    request.snapJobId = snapJobId;
    request.copyPrecedence = m_restoreOptions.copyPrecedence;
    if (ArMgrClientAPI::getArchFileListForSnapshotJob(&request, &archiveInfo) != 0) {
        EV_ERROR(m_logger, "Failed to get archive list for the snap job [%" PRIu64 "]", snapJobId);
        return false;
    }
    if (archiveInfo.archiveFiles.empty()) {
        EV_WARN(m_logger, "Snap AFile list is empty.");
        return false;
    }
    uint64_t value = 0;
    for (const GetArchFileListForJobRetCC_t& entry : archiveInfo.archiveFiles) {
        if (value == 0 || entry.metadataValue <= value) value = entry.metadataValue;
    }
    std::string mediaAgentHost;
    if (JXClient(archiveInfo.mediaAgentName).getNetworkHostnameMangled(mediaAgentHost) != 0) {
        EV_WARN(m_logger, "Failed to get mangled host name for MA [%s].", archiveInfo.mediaAgentName.c_str());
        return false;
    }
    CJobInfoMetadataReaderManager manager(mediaAgentHost, m_jobId, snapJobId, backupDomainId, appId, value);
    std::string folder = m_jobResultsDirectory;
    if (folder.empty() || folder.back() != '/') folder += '/';
    std::list<std::string> fileNames;
    if (CWzError error = manager.DownloadFiles(kSnapContainer, fileNames, folder, 0); error.IsError()) {
        EV_ERROR(m_logger, "%s line %d: Failed to download files for container [%s]: %s", __PRETTY_FUNCTION__,
                 __LINE__, kSnapContainer, error.GetMessage().c_str());
        return false;
    }
    CJobInfoMetadataReader* reader = manager.GetActiveMetadataReader();
    if (reader == nullptr) {
        EV_ERROR(m_logger, "%s line %d: Failed to create metadata file download object for container [%s]",
                 __PRETTY_FUNCTION__, __LINE__, kSnapContainer);
        return false;
    }
    std::vector<std::string> fetched;
    for (const std::string& name : fileNames) {
        const std::string localPath = folder + name;
        if (CWzError error = reader->Retrieve(kSnapContainer, name, localPath); error.IsError()) {
            EV_WARN(m_logger, "Failed to retrieve metadata file [%s], err [%s].", localPath.c_str(),
                    error.GetMessage().c_str());
            // A partial set of metadata files must not be read as a whole one.
            for (const std::string& file : fetched) {
                if (wz::Fs().Unlink(file) != 0) EV_WARN(m_logger, "Failed to remove [%s].", file.c_str());
            }
            return false;
        }
        fetched.push_back(localPath);
        EV_DEBUG(m_logger, 2, "Downloaded metadata file [%s].", localPath.c_str());
    }
    return true;
}
