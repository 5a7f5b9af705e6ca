// CSQLRestoreBase: snapshot-metadata operations that have nothing to do on
// this platform. Each succeeds and leaves its out-parameters as they were.
#include "JxSQLCommon/restore/CSQLRestoreBase.h"

bool CSQLRestoreBase::downloadMetadata(std::string, int, uint64_t, SnapBackupInfo_t&) { return true; }

bool CSQLRestoreBase::GetSnapBackupInfo(databrowse::BrowseRequest*, SnapBackupInfo_t&) { return true; }

bool CSQLRestoreBase::getDBFilePathsFromMetadata(std::string, std::string, std::string, std::vector<std::string>&) {
    return true;
}
