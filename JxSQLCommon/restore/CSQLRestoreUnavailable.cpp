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

bool CSQLRestoreBase::CheckIfDatabaseQualifiedForClone(SqlRestoreDbInfo_t&) { return NotAvailable("Clone"); }

bool CSQLRestoreBase::GetSnapJobIdForDatabase(SqlRestoreDbInfo_t&, uint64_t&) { return NotAvailable("Clone"); }

bool CSQLRestoreBase::OverwriteExistingDatabases(std::list<SqlRestoreDbInfo_t>&) { return NotAvailable("Clone"); }

bool CSQLRestoreBase::GetCloneTaskOptions() { return NotAvailable("Clone"); }

bool CSQLRestoreBase::GetSnapJobAndDatabaseList(std::list<SqlRestoreDbInfo_t>&) { return NotAvailable("Clone"); }

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
