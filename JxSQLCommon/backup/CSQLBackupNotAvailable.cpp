// Operations of features this build of the backup job does not have yet:
// availability-group exchange, conversion rules, file and filegroup
// subclients, snapshots, staged log dumps, plug-in and on-demand jobs and
// the integrity check. Each logs that it is not available and fails, so a
// job that needs one ends failed instead of backing up the wrong thing.
#include "JxSQLCommon/backup/CSQLBackup.h"

bool CSQLBackup::NotAvailable(const char* operation) {
    EV_ERROR(m_logger, "[%s] is not available in this build of the backup job.", operation);
    return false;
}

bool CSQLBackup::updateBackupSetInfo(CJxSQLVDIBase*, int*) { return NotAvailable("updateBackupSetInfo"); }
bool CSQLBackup::updateVSSBackupSetInfo(const JxSQLBackupSetInfo&, const std::list<JxSQLBackupFileInfo>&, int*) {
    return NotAvailable("updateVSSBackupSetInfo");
}
bool CSQLBackup::isDatabaseNeedConversion(CsqlDMO&, std::wstring, std::string&, JXSQLExeBackupType&) {
    return NotAvailable("isDatabaseNeedConversion");
}
void CSQLBackup::populateBackupConversionRulesMap(std::wstring) {
    (void)NotAvailable("populateBackupConversionRulesMap");
}
bool CSQLBackup::generateRBSCollectFile() { return NotAvailable("generateRBSCollectFile"); }
bool CSQLBackup::generateRBSAlwaysOnCollectFile() { return NotAvailable("generateRBSAlwaysOnCollectFile"); }
bool CSQLBackup::GenerateCollectFileForAlwaysON() { return NotAvailable("GenerateCollectFileForAlwaysON"); }
bool CSQLBackup::GeneratePromotedCollectFileForAlwaysON(std::string) {
    return NotAvailable("GeneratePromotedCollectFileForAlwaysON");
}
bool CSQLBackup::GenerateRestartCollectFileForAlwaysON(std::string) {
    return NotAvailable("GenerateRestartCollectFileForAlwaysON");
}
bool CSQLBackup::SendStreamCountUpdateToMaster() { return NotAvailable("SendStreamCountUpdateToMaster"); }
bool CSQLBackup::GenerateTLToSnapCollectFile() { return NotAvailable("GenerateTLToSnapCollectFile"); }
bool CSQLBackup::SendGeneratedCollectFileForAlwaysONToMasterProcess(std::string, unsigned int, bool) {
    return NotAvailable("SendGeneratedCollectFileForAlwaysONToMasterProcess");
}
bool CSQLBackup::SendJobCompletionStatusToMaster(int) { return NotAvailable("SendJobCompletionStatusToMaster"); }
uint32_t CSQLBackup::doFFGSubclientBackup() {
    (void)NotAvailable("doFFGSubclientBackup");
    return 0;
}
bool CSQLBackup::validateSubclientContent(std::wstring&, std::list<std::wstring>&, std::list<std::wstring>&) {
    return NotAvailable("validateSubclientContent");
}
bool CSQLBackup::isLogThreshHoldKeyPresent(unsigned long&) { return NotAvailable("isLogThreshHoldKeyPresent"); }
bool CSQLBackup::populateFFGForBackup(std::string, std::wstring&, std::list<std::wstring>&,
                                      std::list<std::wstring>&) {
    return NotAvailable("populateFFGForBackup");
}
bool CSQLBackup::doDBBackupFromFileSystem(const wchar_t*, unsigned long, JobManager::SQLStatusTab*, bool&) {
    return NotAvailable("doDBBackupFromFileSystem");
}
bool CSQLBackup::getFilesForBackup(const char*, const char*, std::map<std::wstring, std::wstring>&) {
    return NotAvailable("getFilesForBackup");
}
bool CSQLBackup::CreateCollectFileForPlugin() { return NotAvailable("CreateCollectFileForPlugin"); }
bool CSQLBackup::CreateCollectFileForOSC() { return NotAvailable("CreateCollectFileForOSC"); }
bool CSQLBackup::getSQLDatabasesForBackup(const std::string&, std::set<std::string>&) {
    return NotAvailable("getSQLDatabasesForBackup");
}
bool CSQLBackup::generateSQLCollectFileForPlugin(std::set<std::string>) {
    return NotAvailable("generateSQLCollectFileForPlugin");
}
bool CSQLBackup::generateSQLCollectFileForOSCJob(const std::set<std::string>&) {
    return NotAvailable("generateSQLCollectFileForOSCJob");
}
bool CSQLBackup::generateSQLFullCollectFileForOSCJob(std::set<std::string>) {
    return NotAvailable("generateSQLFullCollectFileForOSCJob");
}
void CSQLBackup::HandleLREPConversion() { (void)NotAvailable("HandleLREPConversion"); }
void CSQLBackup::HandleLREPVSAConversion() { (void)NotAvailable("HandleLREPVSAConversion"); }
void CSQLBackup::HandleSNAPConversion() { (void)NotAvailable("HandleSNAPConversion"); }
void CSQLBackup::HandleBlockLevelConversion() { (void)NotAvailable("HandleBlockLevelConversion"); }
bool CSQLBackup::setAfileInfoToRequestForVSS(SQLBackupSetInfoReq_VER5_t&, SQLPmn::SQLBackupDatabaseMediaMetaInfo&,
                                             std::vector<SqlDatabaseFiles_t>&) {
    return NotAvailable("setAfileInfoToRequestForVSS");
}
bool CSQLBackup::FetchStreamCountFromMaster(int&) { return NotAvailable("FetchStreamCountFromMaster"); }
bool CSQLBackup::getStageFolderForFsBackup(std::string& folder, std::string& error) {
    folder.clear();
    error = "Log backup from staged log dumps is not available.";
    return NotAvailable("getStageFolderForFsBackup");
}
bool CSQLBackup::CreateCollectFileForAlwaysOnOSC() { return NotAvailable("CreateCollectFileForAlwaysOnOSC"); }
bool CSQLBackup::GetFilesForVssBackup(std::vector<std::string>, std::vector<std::string>,
                                      std::list<SqlDatabaseVssFileInfo_t>&, unsigned int&) {
    return NotAvailable("GetFilesForVssBackup");
}
bool CSQLBackup::isReplicationEnabledAtSPLevel(int, int) {
    // No snapshot engine on this platform reports replication.
    return false;
}
bool CSQLBackup::ShouldProceedVDIBackup() {
    EV_WARN(m_logger, "Log backup from staged log dumps is not available in this build; logs are backed up through VDI.");
    return true;
}
