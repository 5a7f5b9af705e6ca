// MultiThreadedBackupJob: the backup program's multi-threaded job. Each pool
// task backs the databases of its collect file up through VDI into a
// pipeline of its own (its own archive files), registers their backup-set
// records and commits, and reports progress through the job's locked calls.
//
// A worker is a separate backup-job object that copies what it needs of the
// job's context; it shares no pipeline, counter or job-client call with the
// job or the other workers.
#pragma once

#include "JxSQLCommon/backup/CSQLMultiThreadedBackup.h"

class MultiThreadedBackupJob : public CSQLMultiThreadedBackup {
public:
    CWzError OnCollectFile(MTBackupParams& params, CollectFileInfo& file) override;
};
