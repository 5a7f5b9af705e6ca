// Temporary stand-ins for the collect-file writers and readers until their
// implementation is merged.
#include "JxSQLCommon/backup/CSQLBackup.h"

bool CSQLBackup::generateCollectFile() { return NotAvailable("generateCollectFile"); }
bool CSQLBackup::WriteToCollectFile(std::string, std::vector<std::string>, bool) { return NotAvailable("WriteToCollectFile"); }
bool CSQLBackup::WriteToCollectFile(std::string, std::list<std::wstring>) { return NotAvailable("WriteToCollectFile"); }
bool CSQLBackup::WriteToCollectFile(std::string, const std::set<std::wstring>&) { return NotAvailable("WriteToCollectFile"); }
bool CSQLBackup::WriteToCollectFile(std::string, const std::set<std::string>&, bool) { return NotAvailable("WriteToCollectFile"); }
bool CSQLBackup::ReadFromCollectFile(std::string, std::vector<std::string>&) { return NotAvailable("ReadFromCollectFile"); }
bool CSQLBackup::CreateCollectFileForSQLBackup(JXFile*, std::vector<std::string>&, bool) { return NotAvailable("CreateCollectFileForSQLBackup"); }
bool CSQLBackup::populateDBNamesFromCollectFile(std::set<std::string>&, std::string) { return NotAvailable("populateDBNamesFromCollectFile"); }
