// CSQLRestoreBase: the snapshot, revert, mount, clone and recovery-point
// operations that this platform does not carry out yet. Each one
// logs that it is not available, tells the job manager, and fails, so a job
// that needs one ends failed before anything is detached or restored.
#include "JxSQLCommon/restore/CSQLRestoreBase.h"

bool CSQLRestoreBase::restoreVSSBackup(SqlRestoreDbInfo_t&, SqlAFilesPerBackup_t&) {
    return NotAvailable("Restore from a VSS backup");
}

bool CSQLRestoreBase::restoreSnapBackup(SqlRestoreDbInfo_t&, SqlAFilesPerBackup_t&) {
    return NotAvailable("Restore from a snapshot backup");
}

