// The archive files of one backup as the restore pipeline reads them: one
// RestoreArchiveInfo per archive file, in the order of the backup's list.
#pragma once

#include <list>

#include "JxPipelineSetupUtility/RestoreArchiveInfo.h"
#include "JxSQLCommon/records/SqlRestoreRecords.h"

// With `ignoreOffsets` every offset is 0 and the pipeline reads each archive
// file's only piece wherever it starts.
std::list<RestoreArchiveInfo> RestoreArchiveListOf(const SqlAFilesPerBackup_t& backup,
                                                   const SqlRestoreTaskOptions_t& options, bool ignoreOffsets);
