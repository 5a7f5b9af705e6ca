// ArMgrClientAPI: the archive manager's answers about the archive files of a
// snapshot job, read from the disk library's index.
#pragma once

#include "JxSQLCommon/records/SqlArchiveManagerRecords.h"
#include "JxSQLCommon/records/SqlRestoreRequestRecords.h"

class ArMgrClientAPI {
public:
    // Type given to the archive files a snapshot backup reserves.
    static constexpr uint64_t kSnapArchiveFileType = 6;

    // Lists the archive files of args->snapJobId (oldest first) with this
    // machine's client as their media agent. 0 on success (an empty list
    // when the job has none), non-zero when the library cannot be read.
    static int getArchFileListForSnapshotJob(const GetArchFileInfoForSnapJob_ArgsCC_t* args,
                                             GetArchFileInfoForSnapJob_Ret_t* reply);
    // The archive file named by args->archiveFileId, its creation time as the
    // time stamp; non-zero when there is no such archive file.
    static int getLastAfileOfCycle(const GetLastAfileOfCycleArgs_t* args, GetLastAfileOfCycleRet_t* reply);
};
