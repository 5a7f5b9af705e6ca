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
bool CSQLBackup::doVSSSnapBackup(std::vector<std::string>&) { return NotAvailable("doVSSSnapBackup"); }
bool CSQLBackup::reserveArchFileForVolume(std::vector<std::string>&) {
    return NotAvailable("reserveArchFileForVolume");
}
bool CSQLBackup::encodeXMLAndinitiateHandshake() { return NotAvailable("encodeXMLAndinitiateHandshake"); }
bool CSQLBackup::updateVSSBackupSetInfo(const JxSQLBackupSetInfo&, const std::list<JxSQLBackupFileInfo>&, int*) {
    return NotAvailable("updateVSSBackupSetInfo");
}
bool CSQLBackup::isDatabaseNeedConversion(CsqlDMO&, std::wstring, std::string&, JXSQLExeBackupType&) {
    return NotAvailable("isDatabaseNeedConversion");
}
void CSQLBackup::populateBackupConversionRulesMap(std::wstring) {
    (void)NotAvailable("populateBackupConversionRulesMap");
}
uint32_t CSQLBackup::doFFGSubclientBackup() {
    (void)NotAvailable("doFFGSubclientBackup");
    return 0;
}
bool CSQLBackup::validateSubclientContent(std::wstring&, std::list<std::wstring>&, std::list<std::wstring>&) {
    return NotAvailable("validateSubclientContent");
}
bool CSQLBackup::getLastVssFullBackupTime(unsigned long, std::string, unsigned long, std::string&) {
    return NotAvailable("getLastVssFullBackupTime");
}
bool CSQLBackup::isLogThreshHoldKeyPresent(unsigned long&) { return NotAvailable("isLogThreshHoldKeyPresent"); }
bool CSQLBackup::updateIndex(std::vector<std::string>*) { return NotAvailable("updateIndex"); }
bool CSQLBackup::uploadMetadataToIndexCache(std::vector<std::string>&) {
    return NotAvailable("uploadMetadataToIndexCache");
}
bool CSQLBackup::uploadMetadataToIndex(std::vector<std::string>&) { return NotAvailable("uploadMetadataToIndex"); }
bool CSQLBackup::updateSnapBackupInfo(std::string, std::string, std::string, JobManager::SQLStatusTab*) {
    return NotAvailable("updateSnapBackupInfo");
}
bool CSQLBackup::DeleteVolumeSnapshots() { return NotAvailable("DeleteVolumeSnapshots"); }
bool CSQLBackup::updateSnapshotInfo() { return NotAvailable("updateSnapshotInfo"); }
bool CSQLBackup::populateFFGForBackup(std::string, std::wstring&, std::list<std::wstring>&,
                                      std::list<std::wstring>&) {
    return NotAvailable("populateFFGForBackup");
}
bool CSQLBackup::cleanupSnapMetaDataFiles() { return NotAvailable("cleanupSnapMetaDataFiles"); }
void CSQLBackup::HandleLREPConversion() { (void)NotAvailable("HandleLREPConversion"); }
void CSQLBackup::HandleLREPVSAConversion() { (void)NotAvailable("HandleLREPVSAConversion"); }
void CSQLBackup::HandleSNAPConversion() { (void)NotAvailable("HandleSNAPConversion"); }
void CSQLBackup::HandleBlockLevelConversion() { (void)NotAvailable("HandleBlockLevelConversion"); }
bool CSQLBackup::setAfileInfoToRequestForVSS(SQLBackupSetInfoReq_VER5_t&, SQLPmn::SQLBackupDatabaseMediaMetaInfo&,
                                             std::vector<SqlDatabaseFiles_t>&) {
    return NotAvailable("setAfileInfoToRequestForVSS");
}
bool CSQLBackup::setAfileInfoToRequestForSnap(SQLBackupSetInfoReq_VER5_t&) {
    return NotAvailable("setAfileInfoToRequestForSnap");
}
bool CSQLBackup::performIntegrityCheck(int, char**) { return NotAvailable("performIntegrityCheck"); }
bool CSQLBackup::mountSnapsForIntegrityCheck(SQLPmn::SQLIntegrityCheckInit&, SMVolSnapInfo&, std::string,
                                             std::map<std::string, std::string>&) {
    return NotAvailable("mountSnapsForIntegrityCheck");
}
bool CSQLBackup::replaceFileNamesWithMountPath(SQLPmn::AttachDBMsg&, std::map<std::string, std::string>&) {
    return NotAvailable("replaceFileNamesWithMountPath");
}
bool CSQLBackup::attachDatabasesForIntegrityCheck(SQLPmn::AttachDBMsg&) {
    return NotAvailable("attachDatabasesForIntegrityCheck");
}
bool CSQLBackup::checkIfDatabaseExists(CsqlDMO&, SQLPmn::AttachDBMsg&) {
    return NotAvailable("checkIfDatabaseExists");
}
bool CSQLBackup::checkIfDatabaseFilesExists(SQLPmn::AttachDBMsg&) {
    return NotAvailable("checkIfDatabaseFilesExists");
}
bool CSQLBackup::readMessages(CJxNetwork&, jxsDatabuf_v2&, unsigned long&, unsigned long&) {
    return NotAvailable("readMessages");
}
bool CSQLBackup::readIntegCheckInitMsg(CJxNetwork&, SQLPmn::SQLIntegrityCheckInit&) {
    return NotAvailable("readIntegCheckInitMsg");
}
bool CSQLBackup::readIntegCheckDataMsg(CJxNetwork&, SQLPmn::AttachDBMsg&) {
    return NotAvailable("readIntegCheckDataMsg");
}
bool CSQLBackup::sendIntegCheckRspMsg(CJxNetwork&, bool, SQLPmn::SQLIntegrityCheckResponse&, std::string&) {
    return NotAvailable("sendIntegCheckRspMsg");
}
bool CSQLBackup::launchSQLIntegrityCheck(std::string&) { return NotAvailable("launchSQLIntegrityCheck"); }
bool CSQLBackup::formSQLDBAttachMsg(std::string&) { return NotAvailable("formSQLDBAttachMsg"); }
bool CSQLBackup::sendIntegrityCheckInitMsg(CJxNetwork&) { return NotAvailable("sendIntegrityCheckInitMsg"); }
bool CSQLBackup::sendIntegrityCheckDataMsg(CJxNetwork&) { return NotAvailable("sendIntegrityCheckDataMsg"); }
bool CSQLBackup::handleMessagesFromProxy(CJxNetwork&) { return NotAvailable("handleMessagesFromProxy"); }
bool CSQLBackup::performSQLVersionCompatibilityCheck(std::string, int, int, int, std::string) {
    return NotAvailable("performSQLVersionCompatibilityCheck");
}
bool CSQLBackup::performIntegrityCheckOnSrc(std::string&) { return NotAvailable("performIntegrityCheckOnSrc"); }
bool CSQLBackup::GetFilesForVssBackup(std::vector<std::string>, std::vector<std::string>,
                                      std::list<SqlDatabaseVssFileInfo_t>&, unsigned int&) {
    return NotAvailable("GetFilesForVssBackup");
}
bool CSQLBackup::isReplicationEnabledAtSPLevel(int, int) {
    // No snapshot engine on this platform reports replication.
    return false;
}
