// The backup level of a SQL job: the phase a job program was started for
// (-D, -I, -L) and the type the job manager requested both use these values.
#pragma once

enum JXSQLExeBackupType : unsigned int {
    JXSQL_BACKUP_NONE = 0,
    JXSQL_BACKUP_FULL = 1,
    JXSQL_BACKUP_LOG = 2,
    JXSQL_BACKUP_DIFF = 3,
};
