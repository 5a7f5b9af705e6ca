// Operations being written.
#include "JxSQLCommon/backup/CSQLBackup.h"

bool CSQLBackup::backup() { return NotAvailable("backup"); }
bool CSQLBackup::doDbSubclientBackup() { return NotAvailable("doDbSubclientBackup"); }
bool CSQLBackup::doDbBackup(CsqlDMO&, const wchar_t*, unsigned long, bool&, bool&, JobManager::SQLStatusTab*) { return NotAvailable("doDbBackup"); }
bool CSQLBackup::populateRestartOffsetMap(std::map<int, int64_t>&, const std::string&) { return true; }
int64_t CSQLBackup::getRestartOffset(const std::map<int, int64_t>&, int) { return 0; }
void CSQLBackup::initializeBackupType(unsigned long) {}
void CSQLBackup::initBkpType(unsigned int) {}
int CSQLBackup::GetStreamCount(unsigned int) { return 1; }
std::string CSQLBackup::GenerateStreamInfoFileName(unsigned int) { return {}; }
bool CSQLBackup::GenerateStreamInfoFile(unsigned int, int) { return NotAvailable("GenerateStreamInfoFile"); }
int CSQLBackup::GetStreamInfoFromFile(unsigned int) { return 0; }
bool CSQLBackup::AddConvertedDBToCollectFile(std::string, JXSQLExeBackupType) { return NotAvailable("AddConvertedDBToCollectFile"); }
uint32_t CSQLBackup::GetConvertedDBCount(JXSQLExeBackupType) { return 0; }
bool CSQLBackup::DeleteConvertedDBCollectFile(JXSQLExeBackupType) { return NotAvailable("DeleteConvertedDBCollectFile"); }
bool CSQLBackup::doVDIBackup(const wchar_t*, unsigned long, JobManager::SQLStatusTab*, std::list<std::wstring>, std::list<std::wstring>) { return NotAvailable("doVDIBackup"); }
char CSQLBackup::getSqlBackupType(bool) { return 'D'; }
bool CSQLBackup::cleanUncommitedEntries(JXFile*, const SQLDatabaseStatusMap&) { return NotAvailable("cleanUncommitedEntries"); }
bool CSQLBackup::checkForUncommittedDbs() { return NotAvailable("checkForUncommittedDbs"); }
bool CSQLBackup::VerifyAndGenerateRestartOffset(std::string&, bool) { return NotAvailable("VerifyAndGenerateRestartOffset"); }
bool CSQLBackup::initializeBackupRestartJob(SQLDatabaseStatusMap&) { return NotAvailable("initializeBackupRestartJob"); }
bool CSQLBackup::isRBSSubclient(CsqlDMO&, JXFile&) { return false; }
void CSQLBackup::HandleConversion() {}
void CSQLBackup::HandleNonSnapConversion() {}
void CSQLBackup::LoadConfigurationsForBackup() {}
bool CSQLBackup::GenerateSQLRestartOrPromotedFile(unsigned long&, JobManager::SQLJobInfo&, bool) { return NotAvailable("GenerateSQLRestartOrPromotedFile"); }
bool CSQLBackup::populateDBNamesFromCollectFile(std::vector<std::string>&, std::string) { return NotAvailable("populateDBNamesFromCollectFile"); }
bool CSQLBackup::updateSuccessCount(JXFile*, const SQLDatabaseStatusMap&, unsigned long) { return true; }
bool CSQLBackup::getLastBackedupDbName(JXFile*, const SQLDatabaseStatusMap&, std::string&) { return NotAvailable("getLastBackedupDbName"); }
void CSQLBackup::RecreatePromotedCollectFile(const SQLDatabaseStatusMap&) {}
bool CSQLBackup::isCopiedDB(const std::string&, const std::string&) { return false; }
bool CSQLBackup::startBackup(BackupOptionsParser*, int, char**) { return NotAvailable("startBackup"); }
void CSQLBackup::fileJPRForBackupFailure(long, std::string) {}
CWzError CSQLBackup::HandlePromoteToFullConversion(JobManager::SQLStatusTab*, const std::string&) { return CWzError(); }
