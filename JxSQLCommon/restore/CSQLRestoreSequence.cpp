// CSQLRestoreBase: the restore sequence.
#include "JxSQLCommon/restore/CSQLRestoreBase.h"

bool CSQLRestoreBase::restore70() { return NotAvailable("Restore sequence"); }
void CSQLRestoreBase::modifyRestoreOptions() {}
void CSQLRestoreBase::GetAfilesForAllDatabases() {}
bool CSQLRestoreBase::SortDbInfoBackupJob(const SqlRestoreDbInfo_t& a, const SqlRestoreDbInfo_t& b) {
    return static_cast<uint64_t>(a.sortKey) < static_cast<uint64_t>(b.sortKey);
}
void CSQLRestoreBase::RectifyDBOrderForRestore(std::list<SqlRestoreDbInfo_t>&) {}
bool CSQLRestoreBase::isSystemDb_predicate(const SqlRestoreDbInfo_t& db) {
    return db.databaseId >= 1 && db.databaseId <= 4;
}
bool CSQLRestoreBase::GetBackupInformationFromRequest(SqlRestoreDbInfo_t&) { return false; }
bool CSQLRestoreBase::IsRestoreToDiskLogShipping() const {
    return m_restoreToDisk && (m_restoreOptions.optionFlags & 0x10000) != 0;
}
