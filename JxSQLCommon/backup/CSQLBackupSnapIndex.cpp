// CSQLBackup: the snapshot metadata files of a job (writer "_WRT.xml" and
// backup-components "_BCD.xml" in the job-results directory) uploaded to the
// backup domain's index, by the index-cache directory change (indexing
// version 1) or into the job-information index store (version 2), and
// removed when nothing needs them any more.
#include <cinttypes>
#include <ctime>
#include <string>
#include <vector>

#include "JobResults/IndexCacheClient.h"
#include "JobResults/JobInfoIndexStore.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "WzUtils/WzFileSystem.h"

namespace {

constexpr int kIndexCacheTimeoutSeconds = 240;
constexpr int kIndexCacheMode = 2;
constexpr uint32_t kBackupTypeLog = 3;
constexpr uint32_t kBackupTypeLogSent = 4;
const char* const kSnapContainer = "Snap";

}  // namespace

bool CSQLBackup::updateIndex(std::vector<std::string>* lrepFiles) {
    if (m_bkpPhase == JXSQL_BACKUP_DIFF && m_bFullConversion) return true;
    std::string directory;
    if (GetJobresultsDir(directory, m_jxCellId, m_appNumber) != 0) return false;

    std::vector<std::string> files;
    const std::string job = std::to_string(m_jobId);
    for (const std::string& pattern : {job + "_*_WRT.xml", job + "_*_BCD.xml"}) {
        std::string error;
        if (!populateFiles(directory, pattern, files, error)) {
            EV_ERROR(m_logger, "Failed to get BCD AND WRITER XML Files from folder [%s], pattern [%s]",
                     directory.c_str(), pattern.c_str());
            return false;
        }
    }
    if (m_bLREP) {
        if (lrepFiles == nullptr) {
            EV_DEBUG(m_logger, 2, "Empty LREP metadataFile list!!!");
        } else {
            for (const std::string& file : *lrepFiles) {
                EV_DEBUG(m_logger, 2, "LREP metadataFile : %s", file.c_str());
                files.push_back(file);
            }
        }
    }
    uint64_t clientId = m_clientId;
    if (clientId == 0) {
        // The job was not told its client id: this machine's client.
        std::string hostName;
        (void)getClientInfo(clientId, hostName);  // it logs a failure; id 0 then reads no version
    }
    const int version = GetClientIndexingVersion(clientId, static_cast<uint64_t>(std::time(nullptr)));
    EV_DEBUG(m_logger, 2, "Using indexing version [%d].", version);
    bool uploaded = false;
    if (version == 1) {
        uploaded = uploadMetadataToIndexCache(files);
    } else if (version == 2) {
        uploaded = uploadMetadataToIndex(files);
    } else {
        EV_ERROR(m_logger, "Invalid indexing version [%d]. Cannot proceed further.", version);
        return false;
    }
    if (!uploaded) return false;
    // The integrity check reads the files and removes them itself.
    if (!IsKeepStagedFilesSet() && !m_bIntegrityCheck) {
        for (const std::string& file : files) {
            if (wz::Fs().Unlink(file) != 0) EV_WARN(m_logger, "Failed to remove [%s].", file.c_str());
        }
    }
    return true;
}

bool CSQLBackup::uploadMetadataToIndexCache(std::vector<std::string>& files) {
    const uint32_t type = static_cast<uint32_t>(getBkpType()) == kBackupTypeLog ? kBackupTypeLogSent
                                                                                 : static_cast<uint32_t>(getBkpType());
    int rc = IndexCacheClient::sendDirChange(m_jxCellId, m_appNumber, type, m_mediaAgent, m_parserText, files, false,
                                             m_jobId, '/', kIndexCacheTimeoutSeconds, kIndexCacheMode);
    if (rc < 0) {
        EV_ERROR(m_logger, "Error During sendDirChange %s", rc < -1 ? " (fail job)" : "");
        return false;
    }
    rc = IndexCacheClient::sendDirChange(m_jxCellId, m_appNumber, type, m_mediaAgent, m_parserText, {}, true, m_jobId,
                                         '/', kIndexCacheTimeoutSeconds, kIndexCacheMode);
    if (rc < 0) {
        EV_ERROR(m_logger, "Error During sendDirChange%s", rc < -1 ? " (fail job)" : "");
        return false;
    }
    return true;
}

bool CSQLBackup::uploadMetadataToIndex(std::vector<std::string>& files) {
    if (m_snapVolInfo.numOfVolume() == 0) {
        // Without a snapped volume the metadata has no archive file to be
        // indexed under.
        EV_ERROR(m_logger, "No snapped volume holds an archive file to index the snapshot metadata under.");
        return false;
    }
    uint32_t lowest = m_snapVolInfo.volumeListBegin()->getArchFileId();
    for (auto v = m_snapVolInfo.volumeListBegin(); v != m_snapVolInfo.volumeListEnd(); ++v) {
        if (v->getArchFileId() < lowest) lowest = v->getArchFileId();
    }
    JobInfoIndexStore store(m_jobId, m_jxCellId, m_appNumber);
    for (const std::string& file : files) {
        EV_DEBUG(m_logger, 2, "Adding file [%s] to list of file to upload in index.", file.c_str());
        if (store.addFileContentForKey(kSnapContainer, file).IsError()) {
            EV_ERROR(m_logger, "Failed to add content for file [%s].", file.c_str());
            return false;
        }
    }
    if (CWzError error = store.backupData(m_mediaAgent, m_parserText, lowest); error.IsError()) {
        EV_ERROR(m_logger, "Failed to upload metadata with error [%s].", error.GetMessage().c_str());
        return false;
    }
    for (auto v = m_snapVolInfo.volumeListBegin(); v != m_snapVolInfo.volumeListEnd(); ++v) {
        if (v->getArchFileId() == lowest) continue;
        JobInfoIndexStore volumeStore(m_jobId, m_jxCellId, m_appNumber);
        const std::string container = kSnapContainer + std::to_string(v->getArchFileId());
        for (const std::string& file : files) {
            if (volumeStore.addFileContentForKey(container, file).IsError()) {
                EV_ERROR(m_logger, "Failed to add content for file [%s] in container [%s].", file.c_str(),
                         container.c_str());
                return false;
            }
        }
        if (CWzError error = volumeStore.backupData(m_mediaAgent, m_parserText, v->getArchFileId()); error.IsError()) {
            EV_ERROR(m_logger, "Failed to upload metadata with error [%s] in container [%s].",
                     error.GetMessage().c_str(), container.c_str());
            return false;
        }
    }
    return true;
}

bool CSQLBackup::cleanupSnapMetaDataFiles() {
    std::string directory;
    if (GetJobresultsDir(directory, m_jxCellId, m_appNumber) != 0) {
        EV_ERROR(m_logger, "Failed to get job results directory. Not performing cleanup of snap metadata files.");
        return false;
    }
    const std::string job = std::to_string(m_jobId);
    std::vector<std::string> files;
    std::string error;
    const std::string writers = job + "_*_WRT.xml";
    if (!populateFiles(directory, writers, files, error)) {
        EV_ERROR(m_logger, "Failed to get WRITER XML Files from folder [%s], pattern [%s]", directory.c_str(),
                 writers.c_str());
    }
    const std::string components = job + "_*_BCD.xml";
    if (!populateFiles(directory, components, files, error)) {
        EV_ERROR(m_logger, "Failed to get BCD XML Files from folder [%s], pattern [%s]", directory.c_str(),
                 components.c_str());
    }
    bool removed = true;
    for (const std::string& file : files) {
        if (wz::Fs().Unlink(file) != 0) {
            EV_WARN(m_logger, "Failed to remove [%s].", file.c_str());
            removed = false;
        }
    }
    return removed;
}
