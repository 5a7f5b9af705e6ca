// Temporary stand-in for the FILESTREAM folder size until its
// implementation is merged.
#include "JxSQLCommon/backup/CSQLBackup.h"

uint32_t CSQLBackup::CalculateSizeOfFileStreamDirectory(const std::string&, unsigned long long&) { (void)NotAvailable("CalculateSizeOfFileStreamDirectory"); return 1; }
