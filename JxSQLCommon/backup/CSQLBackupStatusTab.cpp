// Temporary stand-ins for the job status tab until its implementation is
// merged.
#include "JxSQLCommon/backup/CSQLBackup.h"

bool CSQLBackup::UpdateStatusTabInformationToCS(JobManager::SQLStatusTab*) { return true; }
bool CSQLBackup::UpdateStatusTabSkippedDBInfo(const char*, const char*, int) { return true; }
bool CSQLBackup::GetDBsFromJobStatusTabInfo(JobManager::SQLJobInfo&, std::vector<std::string>&, bool) { return false; }
bool CSQLBackup::GetDatabasesStatusInfo(JobManager::SQLJobInfo&, SQLDatabaseStatusMap&, bool& noJobInfo) { noJobInfo = true; return true; }
bool CSQLBackup::UpdateStatusTabDBInfo(const char*, const char*, JobManager::SQLDBStatus, int, JobManager::SQLDatabasePhase) { return true; }
bool CSQLBackup::UpdateSkippedFailedCountAndJobInfo(std::string, std::string, int, JobManager::SQLDBStatus) { return true; }
bool CSQLBackup::UpdateDatabaseInformationToCS(JobManager::SQLStatusTab*) { return true; }
bool CSQLBackup::GetDatabaseRecoveryModel(const std::string&, const std::string&, SQLPmn::DatabaseRecoveryModel&) const { return false; }
bool CSQLBackup::CheckAndAddFilteredDBsToStatusTab(std::list<std::string>) { return true; }
CWzError CSQLBackup::InitializeDatabaseStatusRequest(JobManager::SQLStatusTab*, const std::string&) { return CWzError(); }
