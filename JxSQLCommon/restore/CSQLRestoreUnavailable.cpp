// CSQLRestoreBase: the snapshot, revert, mount, clone and recovery-point
// operations that this platform does not carry out yet. Each one
// logs that it is not available, tells the job manager, and fails, so a job
// that needs one ends failed before anything is detached or restored.
#include "JxSQLCommon/restore/CSQLRestoreBase.h"

bool CSQLRestoreBase::restoreVSSBackup(SqlRestoreDbInfo_t&, SqlAFilesPerBackup_t&) {
    return NotAvailable("Restore from a VSS backup");
}

bool CSQLRestoreBase::restoreSnapBackup(SqlRestoreDbInfo_t&, SqlAFilesPerBackup_t&) {
    return NotAvailable("Restore from a snapshot backup");
}

bool CSQLRestoreBase::createTestEnvironment(std::list<SqlRestoreDbInfo_t>&, void*) {
    return NotAvailable("Test environment");
}

bool CSQLRestoreBase::CheckIfAllVolumesCanCreateTestClone(void*) { return NotAvailable("Test clone"); }

bool CSQLRestoreBase::getDBFilePathsFromMetadata(std::string, std::string, std::string,
                                                 std::vector<std::string>&) {
    return NotAvailable("Snapshot metadata");
}

bool CSQLRestoreBase::addClonedDBsToDonotBackupSC(SQLPmn::AttachDBMsg&) {
    return NotAvailable("Do-not-back-up subclient");
}

bool CSQLRestoreBase::downloadMetadata(std::string, int, uint64_t, SnapBackupInfo_t&) {
    return NotAvailable("Snapshot metadata download");
}

bool CSQLRestoreBase::CleanupSnapBackupRestoreOnSource(std::string, bool) {
    return NotAvailable("Out-of-place snapshot restore");
}

bool CSQLRestoreBase::doCopyAndAttachDatabaseOnDestination(SqlRestoreDbInfo_t) {
    return NotAvailable("Out-of-place snapshot restore");
}

bool CSQLRestoreBase::CopyDatabaseFilesToDestination(SqlRestoreDbInfo_t, std::string& errorText) {
    errorText = "Out-of-place snapshot restore is not available on this platform.";
    return NotAvailable("Out-of-place snapshot restore");
}

bool CSQLRestoreBase::isDatabaseFileStream(std::string) { return false; }

bool CSQLRestoreBase::getAFilesForMountDatabase(SqlRestoreDbInfo_t, std::list<SqlAFilesPerBackup_t>&, int,
                                                unsigned int) {
    return NotAvailable("Mount for live browse");
}

bool CSQLRestoreBase::GetMountDrive(SMVolSnapInfo*, std::string, std::string&) {
    return NotAvailable("Mount for live browse");
}

int CSQLRestoreBase::getRestoreOptionsFromLiveBrowseRequest(databrowse::BrowseRequest*) {
    (void)NotAvailable("Mount for live browse");  // the failure is the result below
    return 1;
}

int CSQLRestoreBase::browseShareFolder(std::string) {
    (void)NotAvailable("Mount for live browse");  // the failure is the result below
    return 1;
}

bool CSQLRestoreBase::TranslatePath(const char*, std::string&, uint64_t, std::string) {
    return NotAvailable("Mount for live browse");
}

bool CSQLRestoreBase::CheckIfDatabaseQualifiedForClone(SqlRestoreDbInfo_t&) { return NotAvailable("Clone"); }

bool CSQLRestoreBase::GetSnapJobIdForDatabase(SqlRestoreDbInfo_t&, uint64_t&) { return NotAvailable("Clone"); }

bool CSQLRestoreBase::OverwriteExistingDatabases(std::list<SqlRestoreDbInfo_t>&) { return NotAvailable("Clone"); }

bool CSQLRestoreBase::GetCloneTaskOptions() { return NotAvailable("Clone"); }

bool CSQLRestoreBase::GetSnapJobAndDatabaseList(std::list<SqlRestoreDbInfo_t>&) { return NotAvailable("Clone"); }

bool CSQLRestoreBase::MountDbSnap(databrowse::BrowseRequest*, uint64_t&) {
    return NotAvailable("Mount for live browse");
}

bool CSQLRestoreBase::RevertVSSSnap(GetArchFileInfoForSnapJob_Ret_t&, uint64_t, std::string&) { return true; }

bool CSQLRestoreBase::GetSnapBackupInfo(databrowse::BrowseRequest*, SnapBackupInfo_t&) {
    return NotAvailable("Snapshot copy restore");
}

bool CSQLRestoreBase::addClonedDBsToDonotBackupSC(std::list<std::string>&, std::list<uint64_t>&) {
    return NotAvailable("Do-not-back-up subclient");
}

bool CSQLRestoreBase::removeClonedDBsFromDoNotBackupSC(std::list<std::string>&) {
    return NotAvailable("Do-not-back-up subclient");
}

bool CSQLRestoreBase::GetSnapshotInfoForCloneRequest(databrowse::BrowseRequest*) {
    return NotAvailable("Recovery point");
}

bool CSQLRestoreBase::PrepareRestoreOptionsForRP() { return NotAvailable("Recovery point"); }

bool CSQLRestoreBase::GetSnapVolumeInformation() { return NotAvailable("Recovery point"); }

bool CSQLRestoreBase::UpdateMountPathAndReserveTime() { return NotAvailable("Recovery point"); }

bool CSQLRestoreBase::CreateCloneForRecoveryPoint() { return NotAvailable("Recovery point"); }

bool CSQLRestoreBase::CreateCloneEnvironment(std::list<SqlRestoreDbInfo_t>&, void*) {
    return NotAvailable("Clone environment");
}

bool CSQLRestoreBase::InitializeCloneOperation() { return NotAvailable("Clone environment"); }

bool CSQLRestoreBase::GetAttachXmlMessage(std::string&) { return NotAvailable("Clone environment"); }

bool CSQLRestoreBase::DoCloneOperation() { return NotAvailable("Clone environment"); }
