// CSQLRestoreBase: restoring a VSS-style or a snapshot backup through the
// backup's own restore path, which this platform does not carry out. Each
// logs that it is not available, tells the job manager, and fails, so a job
// that reaches one ends failed instead of reporting a restore that never
// happened.
#include "JxSQLCommon/restore/CSQLRestoreBase.h"

bool CSQLRestoreBase::restoreVSSBackup(SqlRestoreDbInfo_t&, SqlAFilesPerBackup_t&) {
    return NotAvailable("Restore from a VSS backup");
}

bool CSQLRestoreBase::restoreSnapBackup(SqlRestoreDbInfo_t&, SqlAFilesPerBackup_t&) {
    return NotAvailable("Restore from a snapshot backup");
}

