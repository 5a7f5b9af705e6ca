// CSQLRestoreBase: the snapshot, revert, mount, clone and recovery-point
// operations that this platform does not carry out yet. Each one
// logs that it is not available, tells the job manager, and fails, so a job
// that needs one ends failed before anything is detached or restored.
#include "JxSQLCommon/restore/CSQLRestoreBase.h"

bool CSQLRestoreBase::revertDBS(std::list<SqlRestoreDbInfo_t>&) { return NotAvailable("Revert to snapshot"); }

bool CSQLRestoreBase::restoreVSSBackup(SqlRestoreDbInfo_t&, SqlAFilesPerBackup_t&) {
    return NotAvailable("Restore from a VSS backup");
}

bool CSQLRestoreBase::restoreSnapBackup(SqlRestoreDbInfo_t&, SqlAFilesPerBackup_t&) {
    return NotAvailable("Restore from a snapshot backup");
}

bool CSQLRestoreBase::getDBFilePathsFromMetadata(std::string, std::string, std::string,
                                                 std::vector<std::string>&) {
    return NotAvailable("Snapshot metadata");
}

bool CSQLRestoreBase::revertJob(uint64_t, uint64_t, uint64_t, std::list<std::string>&) {
    return NotAvailable("Revert to snapshot");
}

bool CSQLRestoreBase::RevertJobV2(uint64_t, uint64_t, uint64_t, std::list<std::string>&) {
    return NotAvailable("Revert to snapshot");
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

bool CSQLRestoreBase::OnRestoreFile(uint64_t, SnapCopyIndexFileInfo*, std::string&) {
    return NotAvailable("Snapshot copy restore");
}

bool CSQLRestoreBase::OnRestoreMultiFiles(uint64_t, std::vector<SnapCopyIndexFileInfo>*, std::string&) {
    return NotAvailable("Snapshot copy restore");
}

bool CSQLRestoreBase::OnCreateJRTempDirectory(uint64_t, std::string, std::string&) {
    return NotAvailable("Snapshot copy restore");
}

uint64_t CSQLRestoreBase::OnGetPhysicalFileSize(uint64_t, std::string) {
    (void)NotAvailable("Snapshot copy restore");  // the size 0 is the answer
    return 0;
}

bool CSQLRestoreBase::OnGetFileStreamFiles(uint64_t, std::string, std::string, std::vector<std::string>&, int&) {
    return NotAvailable("Snapshot copy restore");
}

bool CSQLRestoreBase::OnGetFileStreamFiles_V2(uint64_t, std::string, std::string, SQLPmn::SqlGetFileStreamInfoRsp&) {
    return NotAvailable("Snapshot copy restore");
}

bool CSQLRestoreBase::PerformVssOperationForBLRestore(SqlRestoreDbInfo_t&) { return true; }

bool CSQLRestoreBase::PerformVssOperationForSnapRestore(SqlRestoreDbInfo_t&) {
    return NotAvailable("Snapshot copy restore");
}

bool CSQLRestoreBase::InitializeVssWriterForRecoveryPoints(SqlRestoreDbInfo_t&, bool) { return true; }

bool CSQLRestoreBase::GetSnapBackupInfo(databrowse::BrowseRequest*, SnapBackupInfo_t&) {
    return NotAvailable("Snapshot copy restore");
}

bool CSQLRestoreBase::PerformDatabaseRestoreAfterLogReplay(SqlRestoreDbInfo_t&, bool) { return true; }

bool CSQLRestoreBase::DoUserImpersonation(uint64_t) { return NotAvailable("User impersonation"); }
