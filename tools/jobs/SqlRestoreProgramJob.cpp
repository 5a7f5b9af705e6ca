// RestoreProgramJob: collects the databases restored with new paths and
// writes their restore map once the restore sequence has ended.
#include "tools/jobs/SqlRestoreProgramJob.h"

template <class Job>
bool RestoreProgramJob<Job>::restoreDB(SqlRestoreDbInfo_t db, std::list<SqlAFilesPerBackup_t>& chain) {
    if (!Job::restoreDB(db, chain)) return false;
    // A verification or a restore to disk places no database file anywhere.
    if (!db.newFiles.empty() && !this->m_verifyOnly && !this->m_restoreToDisk) m_relocatedDbs.push_back(db);
    return true;
}

template <class Job>
bool RestoreProgramJob<Job>::restore70() {
    const bool result = Job::restore70();
    const bool snapshot = this->m_snapStagedOnSource || this->m_snapCopyToDestination;
    for (SqlRestoreDbInfo_t& db : m_relocatedDbs) {
        // A map that cannot be written is logged there; the databases stay restored.
        (void)this->generateRestoreMapFile(db, snapshot);
    }
    m_relocatedDbs.clear();
    return result;
}

template class RestoreProgramJob<CSQLRestoreBase>;
template class RestoreProgramJob<CSQLDumpRestore>;
