// CSQLRestoreBase: one backup's restore through the virtual device and the
// data-transfer thread. (Placeholder until the virtual-device restore lands.)
#include "JxSQLCommon/restore/CSQLRestoreBase.h"

bool CSQLRestoreBase::restoreVDIBackupToDisk(SqlRestoreDbInfo_t&, SqlAFilesPerBackup_t&) {
    return NotAvailable("Restore to disk");
}

bool CSQLRestoreBase::restoreVDIBackup(SqlRestoreDbInfo_t&, SqlAFilesPerBackup_t&, const std::list<std::string>&,
                                       const std::list<std::string>&) {
    return NotAvailable("Virtual-device restore");
}

bool CSQLRestoreBase::transferData() { return NotAvailable("Data transfer"); }

int64_t CSQLRestoreBase::getUpdateIntervalSecs() { return 300; }

bool CSQLRestoreBase::updateByteTransferredInRestoreJobDetails(std::vector<unsigned long long>&) { return true; }
