// SqlRestoreProgramJob, SqlDumpRestoreProgramJob: the restore jobs as the
// restore program runs them. On top of the library's job (the ordinary
// restore, or the restore that also takes log dumps from the disk library)
// each leaves, before the job closes its results, a restore map in the
// job-results directory for every database that was restored with its files
// moved.
#pragma once

#include <list>

#include "JxSQLCommon/dump/CSQLDumpRestore.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"

template <class Job>
class RestoreProgramJob : public Job {
public:
    bool restore70() override;
    bool restoreDB(SqlRestoreDbInfo_t db, std::list<SqlAFilesPerBackup_t>& chain) override;

private:
    std::list<SqlRestoreDbInfo_t> m_relocatedDbs;  // restored with new paths, in restore order
};

extern template class RestoreProgramJob<CSQLRestoreBase>;
extern template class RestoreProgramJob<CSQLDumpRestore>;

using SqlRestoreProgramJob = RestoreProgramJob<CSQLRestoreBase>;
using SqlDumpRestoreProgramJob = RestoreProgramJob<CSQLDumpRestore>;
