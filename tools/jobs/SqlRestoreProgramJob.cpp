// SqlRestoreProgramJob: collects the databases restored with new paths and
// writes their restore map once the restore sequence has ended.
#include "tools/jobs/SqlRestoreProgramJob.h"

bool SqlRestoreProgramJob::restoreDB(SqlRestoreDbInfo_t db, std::list<SqlAFilesPerBackup_t>& chain) {
    if (!CSQLRestoreBase::restoreDB(db, chain)) return false;
    // A verification or a restore to disk places no database file anywhere.
    if (!db.newFiles.empty() && !m_verifyOnly && !m_restoreToDisk) m_relocatedDbs.push_back(db);
    return true;
}

bool SqlRestoreProgramJob::restore70() {
    const bool result = CSQLRestoreBase::restore70();
    const bool snapshot = m_snapStagedOnSource || m_snapCopyToDestination;
    for (SqlRestoreDbInfo_t& db : m_relocatedDbs) {
        // A map that cannot be written is logged there; the databases stay restored.
        (void)generateRestoreMapFile(db, snapshot);
    }
    m_relocatedDbs.clear();
    return result;
}
