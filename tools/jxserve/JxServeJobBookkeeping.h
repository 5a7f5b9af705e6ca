// The central-server stand-in's answers to the jobs' bookkeeping requests,
// and the set-up a test gives them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The log mark a restore of `databaseName` (source instance) to a point in
// time at or after `pointInTime` is told. Without one, the marks the log
// backup jobs sent answer.
void JxServeAddMarkName(uint64_t sourceInstanceId, const std::string& databaseName, uint64_t pointInTime,
                        const std::string& markName);

// What the central server knows of a database for the backup-conversion
// rules. Without one, the answer comes from the stored backup sets and the
// restores recorded since (JxServeRestoreRecords.h).
struct JxServeConversionRule {
    int64_t instanceId = 0;
    std::string databaseName;
    uint32_t systemDatabaseRestored = 0;
    uint32_t pointInTimeRestored = 0;
    uint64_t previousBackup = 0;
    uint64_t lastBackupTime = 0;
    uint64_t logBackupsSinceFull = 0;
    uint64_t backupHistoryValue = 0;
};
void JxServeAddConversionRule(const JxServeConversionRule& rule);

// A database entry of a backup job that did not commit; the clean-up of the
// job removes it. `status` is the status the clean-up of the job answers.
void JxServeAddUncommittedEntry(uint64_t jobId, const std::string& databaseName);
void JxServeSetCleanupStatus(uint64_t jobId, uint64_t status);
// Entries still waiting for their clean-up.
std::vector<std::string> JxServeUncommittedEntries(uint64_t jobId);

void JxServeSetLastVssFullTime(uint64_t first, uint64_t second, const std::string& time);

// Stored access-control information; `errorCode` is what updates answer.
void JxServeSetACLReplyError(uint32_t errorCode);
std::string JxServeACLInfo(int64_t instanceId, uint64_t jxCellId);

void JxServeSetJobInfo(uint64_t jobId, uint64_t jxCellId, uint32_t code, const std::string& info);

// SharePoint subclients protecting content databases on a SQL client.
void JxServeAddSharePointSubclient(uint64_t sqlClientId, uint64_t subclientId);

struct JxServeCredentials {
    uint64_t clientId = 0;
    uint64_t instanceId = 0;
    uint64_t authType = 0;
    std::string userName;
    std::string password;
    uint64_t level = 0;
};
void JxServeSetCredentials(const JxServeCredentials& credentials);
