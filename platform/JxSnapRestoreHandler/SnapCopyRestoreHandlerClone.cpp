// SnapCopyRestoreHandler: clone environments over the snapshot engine's
// directory mounts. The volumes of the snapshot job are mounted each in a
// folder of its own under the clone's mount path; the databases the
// snapshot's metadata lists are attached from there by the restore job.

#include <algorithm>
#include <cerrno>
#include <list>
#include <string>
#include <vector>

#include "JXSnapHandler/JXSnapClientAPI.h"
#include "JobResults/IndexFileDownload.h"
#include "JobResults/JobInfoMetadataReaderManager.h"
#include "JxLib/CGuidFactory.h"
#include "JxPipelineSetupUtility/ArMgrClientAPI.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlArchiveManagerRecords.h"
#include "JxSnapRestoreHandler/SnapCopyRestoreHandler.h"
#include "WzUtils/WzFileSystem.h"

namespace {

constexpr int kDefaultCloneReservationSeconds = 3600;
constexpr int kMetadataAttachRequest = 38;
constexpr int kRefTypeVolume = 10;
constexpr uint32_t kVolumeFlagAppAware = 0x20000;
constexpr size_t kMaxMetadataBytes = 16u * 1024 * 1024;

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

}  // namespace

void SnapCopyRestoreHandler::reset() {
    m_cloneSnaps.reset(0);
    m_cloneMetadataFolder.clear();
    m_cloneProxyClientId = 0;
    m_cloneMounted = false;
    m_lastError.clear();
}

bool SnapCopyRestoreHandler::CreateFolderInDirectory(std::string& directory, const std::string& name) {
    if (directory.empty() || name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
        errno = EINVAL;
        return Fail("Folder [" + name + "] cannot be made in [" + directory + "].");
    }
    const std::string path = WithSlash(directory) + name;
    if (wz::MakeDirectoryTree(path) != 0) return Fail("Cannot create the folder [" + path + "].");
    directory = path;
    return true;
}

bool SnapCopyRestoreHandler::getRestoreMetadata(const std::string& folder) {
    if (!m_initialized) return Fail("The clone was not initialised.");
    // The metadata files start with the job id and a separator, so jobs
    // whose ids start with this one are not fetched with it.
    const std::vector<std::string> filters{std::to_string(m_snapJobId) + "[!0-9]*.xml"};
    if (GetIndexFiles("", m_cellId, 0, 0, m_snapJobId, 2, 0, folder, &filters, nullptr) > 0) {
        m_cloneMetadataFolder = folder;
        return true;
    }
    // Not in the index cache: the job-information index of the job's first
    // archive file.
    GetArchFileInfoForSnapJob_ArgsCC_t request;
    request.restoreJobId = m_restoreJobId;
    request.destinationClientId = m_options.destinationClientId;
    request.jxCellId = m_cellId;
    request.snapJobId = m_snapJobId;
    request.copyPrecedence = m_options.copyPrecedence;
    GetArchFileInfoForSnapJob_Ret_t reply;
    if (ArMgrClientAPI::getArchFileListForSnapshotJob(&request, &reply) != 0 || reply.archiveFiles.empty()) {
        return Fail("Snapshot job " + std::to_string(m_snapJobId) + " has no archive files.");
    }
    uint64_t value = 0;
    for (const GetArchFileListForJobRetCC_t& entry : reply.archiveFiles) {
        if (value == 0 || entry.metadataValue <= value) value = entry.metadataValue;
    }
    CJobInfoMetadataReaderManager manager("", m_restoreJobId, m_snapJobId, m_cellId, 0, value);
    std::list<std::string> names;
    if (manager.DownloadFiles("Snap", names, WithSlash(folder), 0).IsError() || names.empty() ||
        manager.GetActiveMetadataReader() == nullptr) {
        return Fail("The metadata of snapshot job " + std::to_string(m_snapJobId) + " is not in the index.");
    }
    for (const std::string& name : names) {
        if (manager.GetActiveMetadataReader()->Retrieve("Snap", name, WithSlash(folder) + name).IsError()) {
            return Fail("Cannot retrieve the metadata file [" + name + "].");
        }
    }
    m_cloneMetadataFolder = folder;
    return true;
}

bool SnapCopyRestoreHandler::GetVolumeInformationForClone() {
    if (!m_initialized) return Fail("The clone was not initialised.");
    m_cloneSnaps.reset(0);
    m_cloneSnaps.setSnapJobId(m_snapJobId);
    m_cloneSnaps.setJobId(m_restoreJobId);
    m_cloneSnaps.setJxCellId(static_cast<uint32_t>(m_cellId));
    if (!JXSnapClientAPI::getVolumeSnaps(m_cloneSnaps) || m_cloneSnaps.numOfVolume() == 0) {
        return Fail("Snapshot job " + std::to_string(m_snapJobId) + " has no volumes to clone.");
    }
    return true;
}

bool SnapCopyRestoreHandler::SetVolumeMountLocationAndReservation(const std::string& mountPath, int seconds) {
    if (m_cloneSnaps.numOfVolume() == 0) return Fail("The volumes of the clone are not known.");
    if (mountPath.empty() || mountPath[0] != '/') return Fail("Mount path [" + mountPath + "] is not absolute.");
    if (seconds <= 0) seconds = kDefaultCloneReservationSeconds;
    for (auto v = m_cloneSnaps.volumeListBegin(); v != m_cloneSnaps.volumeListEnd(); ++v) {
        v->setMountPath(WithSlash(mountPath) + CGuidFactory::get_guid_nosalt("") + "/");
        v->setMountPathFlag(1);
        v->setTestEnvReservationTime(seconds);
    }
    return true;
}

bool SnapCopyRestoreHandler::GetAttachRequestFromMetadata(const std::list<SqlRestoreDbInfo_t>& databases,
                                                          SQLPmn::AttachDBMsg& message) {
    if (m_cloneMetadataFolder.empty()) return Fail("The metadata of the clone was not downloaded.");
    std::vector<std::string> names;
    (void)wz::Fs().ReadDirectory(m_cloneMetadataFolder, names);  // an unreadable folder finds no file below
    std::sort(names.begin(), names.end());
    const std::string prefix = std::to_string(m_snapJobId) + "_";
    std::string text;
    SQLPmn::AttachDBMsg components;
    auto bcd = std::find_if(names.begin(), names.end(), [&](const std::string& name) {
        return name.compare(0, prefix.size(), prefix) == 0 && name.size() > 8 &&
               name.compare(name.size() - 8, 8, "_BCD.xml") == 0;
    });
    if (bcd == names.end() || !wz::ReadSmallFile(WithSlash(m_cloneMetadataFolder) + *bcd, text, kMaxMetadataBytes) ||
        components.unserialize(text) != kMsgOk) {
        return Fail("The backup-components metadata of snapshot job " + std::to_string(m_snapJobId) +
                    " cannot be read.");
    }
    std::vector<SQLPmn::AttachDB> snapped;
    if (!components.getlistobject(SQLPmn::AttachDBMsg::kDatabases, snapped)) {
        return Fail("The backup-components metadata holds an unreadable database list.");
    }
    std::vector<SQLPmn::AttachDB> entries;
    for (const SqlRestoreDbInfo_t& db : databases) {
        auto found = std::find_if(snapped.begin(), snapped.end(), [&](const SQLPmn::AttachDB& entry) {
            return entry.getstring(SQLPmn::AttachDB::kAttachName) == db.sDbName;
        });
        if (found == snapped.end()) return Fail("Database [" + db.sDbName + "] is not in the snapshot.");
        std::vector<std::string> files;
        for (const std::string& file : found->getliststring(SQLPmn::AttachDB::kFilePaths)) {
            // The file's place on the mounted copy of the volume that holds it.
            std::string mounted;
            for (auto v = m_cloneSnaps.volumeListBegin(); v != m_cloneSnaps.volumeListEnd(); ++v) {
                const std::string source = WithSlash(v->getSourcePath());
                if (!v->getMountPath().empty() && file.size() > source.size() &&
                    file.compare(0, source.size(), source) == 0 &&
                    file.find('/', source.size()) == std::string::npos) {
                    mounted = WithSlash(v->getMountPath()) + file.substr(source.size());
                    break;
                }
            }
            if (mounted.empty()) return Fail("File [" + file + "] of [" + db.sDbName + "] lies on no mounted volume.");
            files.push_back(mounted);
        }
        SQLPmn::AttachDB entry;
        entry.setstring(SQLPmn::AttachDB::kAttachName, db.newDbName.empty() ? db.sDbName : db.newDbName);
        entry.setstring(SQLPmn::AttachDB::kSourceName, db.sDbName);
        entry.setliststring(SQLPmn::AttachDB::kFilePaths, files);
        entries.push_back(entry);
    }
    message.setstring(SQLPmn::AttachDBMsg::kInstanceName, m_instance);
    for (const SQLPmn::AttachDB& entry : entries) message.addlistobject(SQLPmn::AttachDBMsg::kDatabases, entry);
    return true;
}

bool SnapCopyRestoreHandler::UpdateMetadataInformation(const std::string& attachXml) {
    for (auto v = m_cloneSnaps.volumeListBegin(); v != m_cloneSnaps.volumeListEnd(); ++v) {
        SMMetaDataInfo item;
        item.setMetaDataType(kMetadataAttachRequest);
        item.setRefType(kRefTypeVolume);
        item.setRefId(v->getSMVolumeId());
        item.setMetaData(attachXml);
        m_cloneSnaps.addMetaData(item, true);
    }
    // Before the mount the items travel with it; after it they are stored.
    return !m_cloneMounted || JXSnapClientAPI::updateVolumeSnaps(m_cloneSnaps);
}

bool SnapCopyRestoreHandler::DoIscsiMountOrCloneOperation(uint64_t proxyClientId) {
    if (m_cloneSnaps.numOfVolume() == 0) return Fail("The volumes of the clone are not known.");
    if (!JXSnapClientAPI::mountVolumes(m_cloneSnaps)) {
        std::string text;
        const int code = JXSnapClientAPI::getErrCodeAndStr(text);
        return Fail("Mounting the volumes failed with [" + std::to_string(code) + "] " + text);
    }
    // The mount record took the attach request with it, so that its release
    // detaches the clone's databases.
    m_cloneMounted = true;
    m_cloneProxyClientId = proxyClientId;
    return true;
}

bool SnapCopyRestoreHandler::UpdateMountStatus(int status) {
    if (!m_cloneMounted) return Fail("The clone is not mounted.");
    m_cloneSnaps.setMountStatus(status);
    return JXSnapClientAPI::updateVolumeSnaps(m_cloneSnaps) || Fail("Cannot store the clone's mount status.");
}

bool SnapCopyRestoreHandler::isAppAwareBackup() const {
    for (auto v = m_cloneSnaps.volumeListBegin(); v != m_cloneSnaps.volumeListEnd(); ++v) {
        if ((v->getVolumeFlags() & kVolumeFlagAppAware) != 0) return true;
    }
    return false;
}
