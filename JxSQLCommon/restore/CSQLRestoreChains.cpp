// CSQLRestoreBase: the archive-file chain of each database and the last
// restore points. (Placeholder until the chain requests land.)
#include "JxSQLCommon/restore/CSQLRestoreBase.h"

bool CSQLRestoreBase::getAFilesToRestore(bool, SqlRestoreDbInfo_t, std::list<SqlAFilesPerBackup_t>&) {
    return NotAvailable("Archive-file chain");
}

bool CSQLRestoreBase::getAFilesToRestoreForLiveSync(SqlRestoreDbInfo_t, std::list<SqlAFilesPerBackup_t>&) {
    return NotAvailable("Archive-file chain");
}

CWzError CSQLRestoreBase::AddBackupInfoFromMountedShare(std::list<SqlRestoreDbInfo_t>&) { return CWzError(); }

CWzError CSQLRestoreBase::RecordLastRestorePointForRTD(const std::string&, unsigned long&) { return CWzError(); }

CWzError CSQLRestoreBase::GetLastRestorePointForRTD(const std::string&, unsigned long&) { return CWzError(); }

CWzError CSQLRestoreBase::GetLastRestorePointForLiveSync(const std::string&, std::string&) { return CWzError(); }
