// ArMgrClientAPI over the disk library.
#include "JxPipelineSetupUtility/ArMgrClientAPI.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "JxLib/JXPIAgent.h"
#include "JxPipelineSetupUtility/DiskLibrary.h"

int ArMgrClientAPI::getArchFileListForSnapshotJob(const GetArchFileInfoForSnapJob_ArgsCC_t* args,
                                                  GetArchFileInfoForSnapJob_Ret_t* reply) {
    if (args == nullptr || reply == nullptr) return EINVAL;
    DiskLibrary library;
    std::vector<MediaArchiveFile> files;
    if (library.Open().IsError() || library.ListArchiveFiles(files).IsError()) return EIO;
    std::stable_sort(files.begin(), files.end(), [](const MediaArchiveFile& a, const MediaArchiveFile& b) {
        return a.id.archiveFileId < b.id.archiveFileId;
    });
    reply->archiveFiles.clear();
    for (const MediaArchiveFile& file : files) {
        if (file.jobId != args->snapJobId) continue;
        GetArchFileListForJobRetCC_t entry;
        entry.value1 = file.jobId;
        entry.value2 = file.id.jxCellId;
        entry.value3 = file.id.archiveGroupId;
        entry.archiveFileId = file.id.archiveFileId;
        entry.value5 = file.stream;
        entry.archiveFileType = kSnapArchiveFileType;
        entry.metadataValue = file.id.archiveFileId;
        reply->archiveFiles.push_back(entry);
    }
    JXPI_JxClient platform;
    std::string name;
    if (platform.getClientName(name)) reply->mediaAgentName = name;
    return 0;
}

int ArMgrClientAPI::getLastAfileOfCycle(const GetLastAfileOfCycleArgs_t* args, GetLastAfileOfCycleRet_t* reply) {
    if (args == nullptr || reply == nullptr || args->archiveFileId > UINT32_MAX) return EINVAL;
    DiskLibrary library;
    MediaArchiveFile file;
    if (library.Open().IsError() ||
        library.FindArchiveFile(static_cast<uint32_t>(args->archiveFileId), file).IsError()) {
        return ENOENT;
    }
    reply->archiveFileId = file.id.archiveFileId;
    reply->timeStamp = file.created < 0 ? 0 : static_cast<uint64_t>(file.created);
    return 0;
}
