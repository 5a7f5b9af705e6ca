// Operations being written.
#include "JxSQLCommon/backup/CSQLBackup.h"

bool CSQLBackup::startBackup(BackupOptionsParser*, int, char**) { return NotAvailable("startBackup"); }
