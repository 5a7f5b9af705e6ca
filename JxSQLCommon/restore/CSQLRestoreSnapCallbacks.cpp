// CSQLRestoreBase: the file call-backs of the snapshot copy-restore handler.
// Copying files from another client is not available yet: each call-back
// logs so, tells the job manager and fails, so a revert of a snapshot on
// another client fails before any file is put in place.
#include "JxSQLCommon/restore/CSQLRestoreBase.h"

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
