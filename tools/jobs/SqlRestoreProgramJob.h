// SqlRestoreProgramJob: the restore job as the restore program runs it. On
// top of the library's job it leaves, before the job closes its results, a
// restore map in the job-results directory for every database that was
// restored with its files moved.
#pragma once

#include <list>

#include "JxSQLCommon/restore/CSQLRestoreBase.h"

class SqlRestoreProgramJob : public CSQLRestoreBase {
public:
    bool restore70() override;
    bool restoreDB(SqlRestoreDbInfo_t db, std::list<SqlAFilesPerBackup_t>& chain) override;

private:
    std::list<SqlRestoreDbInfo_t> m_relocatedDbs;  // restored with new paths, in restore order
};
