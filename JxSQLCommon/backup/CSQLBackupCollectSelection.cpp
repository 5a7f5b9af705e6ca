// Temporary stand-ins for the database selection of the collect file until
// its implementation is merged.
#include "JxSQLCommon/backup/CSQLBackup.h"

bool CSQLBackup::generateSQLCollectFile() { return NotAvailable("generateSQLCollectFile"); }
bool CSQLBackup::getOnDemandFilePath(std::string&) { return NotAvailable("getOnDemandFilePath"); }
bool CSQLBackup::isDatabaseAssociatedToAG(const std::string&, CsqlDMO&, CSQLClientDll*, std::unordered_map<std::string, bool>&, std::string&) { return false; }
