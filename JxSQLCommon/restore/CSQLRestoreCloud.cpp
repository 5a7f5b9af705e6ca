// CSQLRestoreBase: cloud-database restores. There is no cloud database engine
// to restore to from this platform, so these operations do nothing; the
// results are those a job relies on to carry on (or, for the export to a
// cloud engine, to fail that database).
#include "JxSQLCommon/restore/CSQLRestoreBase.h"

bool CSQLRestoreBase::restoreAzure() { return true; }

bool CSQLRestoreBase::restoreAws() { return true; }

bool CSQLRestoreBase::restoreOnpremToAws() { return true; }

bool CSQLRestoreBase::restoreFromOnPremToAzureOrManagedAzure(std::string, std::string) { return false; }

bool CSQLRestoreBase::setupStagingForExport(std::string, std::string&, std::string&) { return true; }

void CSQLRestoreBase::handleExportFailure(std::string, std::string, std::string, bool) {}

void CSQLRestoreBase::cleanupDBFromStagingInstance(std::string, std::string, std::string) {}

void* startAzureDBRestoreThread(void*) { return nullptr; }

void* startAwsDBRestoreThread(void*) { return nullptr; }
