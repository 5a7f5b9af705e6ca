// Operations being written.
#include "JxSQLCommon/backup/CSQLBackup.h"

bool CSQLBackup::doDbSubclientBackup() { return NotAvailable("doDbSubclientBackup"); }
bool CSQLBackup::doDbBackup(CsqlDMO&, const wchar_t*, unsigned long, bool&, bool&, JobManager::SQLStatusTab*) { return NotAvailable("doDbBackup"); }
bool CSQLBackup::doVDIBackup(const wchar_t*, unsigned long, JobManager::SQLStatusTab*, std::list<std::wstring>, std::list<std::wstring>) { return NotAvailable("doVDIBackup"); }
bool CSQLBackup::isRBSSubclient(CsqlDMO&, JXFile&) { return false; }
bool CSQLBackup::startBackup(BackupOptionsParser*, int, char**) { return NotAvailable("startBackup"); }
void CSQLBackup::fileJPRForBackupFailure(long, std::string) {}
