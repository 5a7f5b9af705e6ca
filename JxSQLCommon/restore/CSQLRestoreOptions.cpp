// CSQLRestoreBase: the restore options of the job from the central server.
// (Placeholder until the options reader lands.)
#include "JxSQLCommon/restore/CSQLRestoreBase.h"

bool CSQLRestoreBase::getRestoreOptions() { return NotAvailable("Restore options"); }
