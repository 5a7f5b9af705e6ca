// Temporary stand-ins for the backup-set record until its implementation is
// merged.
#include "JxSQLCommon/backup/CSQLBackup.h"

bool CSQLBackup::updateBackupSetInfo_10(CJxSQLVDIBase*, int*, JobManager::SQLStatusTab*) { return NotAvailable("updateBackupSetInfo_10"); }
bool CSQLBackup::sendBackupSetInfoToCS(std::string, int, std::string, int*, JobManager::SQLStatusTab*, bool) { return NotAvailable("sendBackupSetInfoToCS"); }
bool CSQLBackup::setBasicInfoForUpdateRequest(SQLBackupSetInfoReq_VER5_t&, SQLPmn::SQLDBBackupMetadata&, SQLPmn::SQLBackupDatabaseMediaMetaInfo&, int, std::string) { return NotAvailable("setBasicInfoForUpdateRequest"); }
bool CSQLBackup::setSqlDatabaseFileInfoForUpdateRequest(SQLBackupSetInfoReq_VER5_t&, SQLPmn::SQLDBBackupMetadata&, SQLPmn::SQLBackupDatabaseMediaMetaInfo&, unsigned long long&, std::vector<SqlDatabaseFiles_t>&) { return NotAvailable("setSqlDatabaseFileInfoForUpdateRequest"); }
bool CSQLBackup::setAfileInfoToRequestForVDI(SQLBackupSetInfoReq_VER5_t&, SQLPmn::SQLBackupDatabaseMediaMetaInfo&) { return NotAvailable("setAfileInfoToRequestForVDI"); }
bool CSQLBackup::updateMetaInfoToMedia(SQLPmn::SQLBackupDatabaseMediaMetaInfo*, bool) { return NotAvailable("updateMetaInfoToMedia"); }
