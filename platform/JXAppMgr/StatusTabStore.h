// StatusTabStore: what the central server keeps of the backup jobs' status
// tabs and of each database's backup information, as the stored procedures
// (StoredProcedures.h) write it. One SQLite file under the platform root
// ("appmgr/statustab.db"); the central-server stand-in answers the job
// information request from it, and tests read it back.
//
// A job keeps one status-tab record per database: a newer record of a name
// replaces the older one and keeps its place in the job's list.
//
// Every function opens the store afresh and throws FX::CSQLite3Exception
// when it cannot be used.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace statustab {

// Stores `recordXml` (a JobManager::SQLStatusTab document) as the record of
// `database` in the job's tab.
void PutRecord(uint64_t jobId, uint64_t jxCellId, const std::string& database, const std::string& recordXml);
// The job's records in the order their databases first appeared.
std::vector<std::string> Records(uint64_t jobId, uint64_t jxCellId);

// The central server's backup information of one database.
struct DatabaseInfo {
    uint64_t instanceId = 0;
    uint64_t applicationId = 0;
    std::string database;
    int64_t recoveryModel = 0;
    bool hasLastBackupTime = false;
    int64_t lastBackupTime = 0;
    bool hasLastFailureTime = false;
    int64_t lastFailureTime = 0;
    uint64_t jobId = 0;
    int64_t status = 0;
};
void PutDatabaseInfo(const DatabaseInfo& info);
// The information of `database`; false when none was stored.
bool GetDatabaseInfo(uint64_t instanceId, uint64_t applicationId, const std::string& database, DatabaseInfo& info);

}  // namespace statustab
