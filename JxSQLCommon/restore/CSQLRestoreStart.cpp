// CSQLRestoreBase: start of a restore job and its final status.
#include "JxSQLCommon/restore/CSQLRestoreBase.h"

bool CSQLRestoreBase::startRestore(RestoreOptionsParser&) { return NotAvailable("Restore job"); }
bool CSQLRestoreBase::startAzureRestore(RestoreOptionsParser&) { return NotAvailable("Restore job"); }
bool CSQLRestoreBase::startAwsRestore(RestoreOptionsParser&) { return NotAvailable("Restore job"); }
