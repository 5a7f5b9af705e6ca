// CSQLCommon: job registration with the job manager.
//
// Registration needs the job-manager stand-in and the option parsers, which
// are not part of this build yet: until they are, initialisation reports
// that it cannot register and the job ends before talking to the job manager.
#include "JxSQLCommon/jobbase/CSQLCommon.h"

bool CSQLCommon::initializeBackup(BackupOptionsParser&, bool& registered) {
    registered = false;
    EV_ERROR(m_logger, "Job registration with the job manager is not available in this build.");
    return false;
}

bool CSQLCommon::initializeRestore(RestoreOptionsParser&) {
    EV_ERROR(m_logger, "Job registration with the job manager is not available in this build.");
    return false;
}
