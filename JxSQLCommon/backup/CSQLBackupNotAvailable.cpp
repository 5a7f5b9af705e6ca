// Operations of features this build of the backup job does not have yet:
// VSS-style backups.
// Each logs that it is not available and fails, so a
// job that needs one ends failed instead of backing up the wrong thing.
#include "JxSQLCommon/backup/CSQLBackup.h"

bool CSQLBackup::NotAvailable(const char* operation) {
    EV_ERROR(m_logger, "[%s] is not available in this build of the backup job.", operation);
    return false;
}

bool CSQLBackup::updateBackupSetInfo(CJxSQLVDIBase*, int*) { return NotAvailable("updateBackupSetInfo"); }
bool CSQLBackup::updateVSSBackupSetInfo(const JxSQLBackupSetInfo&, const std::list<JxSQLBackupFileInfo>&, int*) {
    return NotAvailable("updateVSSBackupSetInfo");
}
bool CSQLBackup::setAfileInfoToRequestForVSS(SQLBackupSetInfoReq_VER5_t&, SQLPmn::SQLBackupDatabaseMediaMetaInfo&,
                                             std::vector<SqlDatabaseFiles_t>&) {
    return NotAvailable("setAfileInfoToRequestForVSS");
}
bool CSQLBackup::GetFilesForVssBackup(std::vector<std::string>, std::vector<std::string>,
                                      std::list<SqlDatabaseVssFileInfo_t>&, unsigned int&) {
    return NotAvailable("GetFilesForVssBackup");
}
bool CSQLBackup::isReplicationEnabledAtSPLevel(int, int) {
    // No snapshot engine on this platform reports replication.
    return false;
}
