// CSQLRestoreBase: the per-database restore loop.
#include "JxSQLCommon/restore/CSQLRestoreBase.h"

bool CSQLRestoreBase::restoreDBS(std::list<SqlRestoreDbInfo_t>&) { return NotAvailable("Restore loop"); }
bool CSQLRestoreBase::restoreDB(SqlRestoreDbInfo_t, std::list<SqlAFilesPerBackup_t>&) {
    return NotAvailable("Database restore");
}
bool CSQLRestoreBase::doDbRecoverOnly(SqlRestoreDbInfo_t&, bool, bool, bool) { return NotAvailable("Recovery"); }
bool CSQLRestoreBase::recoverDbsOnly(std::list<SqlRestoreDbInfo_t>&) { return NotAvailable("Recovery"); }
void CSQLRestoreBase::initializeForPreFFGRestore(SqlRestoreDbInfo_t&, SqlAFilesPerBackup_t&) {}
void CSQLRestoreBase::initializeForPreDBRestore(SqlRestoreDbInfo_t&, SqlAFilesPerBackup_t&) {}
void CSQLRestoreBase::initializeForPostDBRestore(SqlRestoreDbInfo_t&, SqlAFilesPerBackup_t&) {}
bool CSQLRestoreBase::prepareForRestore() { return false; }
bool CSQLRestoreBase::stopSSA() { return true; }
bool CSQLRestoreBase::startSSA() { return false; }
bool CSQLRestoreBase::stopSqlServer() { return false; }
bool CSQLRestoreBase::startSqlServer() { return false; }
bool CSQLRestoreBase::isSqlAgentServiceStopped() { return false; }
void CSQLRestoreBase::getNameofNamedInstance(std::string&) {}
bool CSQLRestoreBase::activateSingleUserMode() { return false; }
bool CSQLRestoreBase::activateMultiUserMode(SqlRestoreDbInfo_t&) { return true; }
bool CSQLRestoreBase::isStopSSARequired(SqlRestoreDbInfo_t&) { return false; }
void CSQLRestoreBase::SetRestoreStatus(std::string, RESTORE_STATUS_STRING_MAPPING) {}
void CSQLRestoreBase::readSnapDestinationRestoreOptionsIfPresent() {}
void CSQLRestoreBase::CheckForMultiStreamRestore() {}
bool CSQLRestoreBase::InitializeLiveSyncJob(EvRstTask&, std::string&) { return true; }
bool CSQLRestoreBase::UpdateDBLiveSyncStatus(std::string) { return true; }
