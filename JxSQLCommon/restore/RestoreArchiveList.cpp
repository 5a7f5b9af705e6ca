// The archive files of one backup for the restore pipeline.
#include "JxSQLCommon/restore/RestoreArchiveList.h"

std::list<RestoreArchiveInfo> RestoreArchiveListOf(const SqlAFilesPerBackup_t& backup,
                                                   const SqlRestoreTaskOptions_t& options, bool ignoreOffsets) {
    std::list<RestoreArchiveInfo> archives;
    for (const AFileInfo_t& file : backup.archiveFiles) {
        RestoreArchiveInfo info;
        info.appId = backup.applicationId;
        info.jxCellId = file.jxCellId;
        info.optionsValue5 = options.copyPrecedence;
        info.optionsValue1 = options.archiveSelector;
        info.archiveFileId = file.archiveFileId;
        info.backupJobId = backup.jobId;
        info.backupValue6 = backup.word6;
        info.offset = ignoreOffsets ? 0 : file.offset;
        info.ignoreOffset = ignoreOffsets;
        archives.push_back(info);
    }
    return archives;
}
