// Operations of the backup job that have nothing to do on this platform:
// cloud databases (with their thread entries), VSS, and the ISQLBackup
// per-database form.
#include "JxSQLCommon/backup/CSQLBackup.h"

bool CSQLBackup::doDbBackup(const wchar_t*, unsigned long, bool&, bool&) { return true; }
bool CSQLBackup::doAwsDBBackupMultiThread() { return true; }
bool CSQLBackup::doAzureDBBackupMultiThread() { return true; }
int CSQLBackup::transferAzureDBBackupFile() { return 0; }
int CSQLBackup::transferAwsDBBackupFile() { return 0; }
int CSQLBackup::generateAzureCollectFiles() { return 0; }
int CSQLBackup::generateAwsCollectFiles() { return 0; }
bool CSQLBackup::doVSSBackup(const wchar_t*, unsigned long, JobManager::SQLStatusTab*) { return false; }
bool CSQLBackup::UpdateSnapMountToIndexView() { return true; }
int CSQLBackup::GetDatabaseListForTL2Snap(std::vector<std::string>&) { return 0; }
bool CSQLBackup::cleanupStaleDBInAzure(int) { return true; }
int CSQLBackup::cleanStaleBackupFileOnS3Bucket(int) { return 0; }
bool CSQLBackup::updateBackupInfo() { return true; }
bool CSQLBackup::startAzureBackup(BackupOptionsParser*, int, char**) { return false; }
bool CSQLBackup::startAwsBackup(BackupOptionsParser*, int, char**) { return true; }
bool CSQLBackup::performLogShrinkOperation(CsqlDMO&, std::string, unsigned long, JobManager::SQLStatusTab*) {
    return true;
}

void* startAzureDBBackupThread(void*) { return nullptr; }
void* startAwsDBBackupThread(void*) { return nullptr; }
