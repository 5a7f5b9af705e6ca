// Test support: a backup job object whose job state a test sets directly,
// with a backup job client journalling under the job's id, against a
// simulated instance "HOST/INST" with the given databases.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "JxJobClient/JXBkpJobClient.h"
#include "JxJobClient/JobJournalReader.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxsqlDMO/SqlSimInstance.h"

namespace jxtest {

struct BackupJobUnderTest : CSQLBackup {
    using CSQLBackup::m_bCommitData;
    using CSQLBackup::m_bCopyOnly;
    using CSQLBackup::m_bJobFailed;
    using CSQLBackup::m_bLogFromFileSystem;
    using CSQLBackup::m_contentFilters;
    using CSQLBackup::m_dataStreamCount;
    using CSQLBackup::m_mediaMetaInfo;
    using CSQLBase::m_dataTransferHandler;
    using CSQLBase::m_errorControl;
    using CSQLBase::m_isSnapBackup;
    using CSQLCommon::m_appNumber;
    using CSQLCommon::m_attempt;
    using CSQLCommon::m_bkpPhase;
    using CSQLCommon::m_bkyType;
    using CSQLCommon::m_instanceId;
    using CSQLCommon::m_jobId;
    using CSQLCommon::m_jobResultsDirectory;
    using CSQLCommon::m_jxCellId;
    using CSQLCommon::m_loggedDbCount;
    using CSQLCommon::m_markSkippedItemFailed;
    using CSQLCommon::m_pBkpJobClnt;
    using CSQLCommon::m_pJobClnt;
    using CSQLCommon::m_sendOptionalHeader;
    using CSQLCommon::m_sServername;

    explicit BackupJobUnderTest(uint64_t jobId) : client(jobId) {
        m_jobId = jobId;
        m_jxCellId = 2;
        m_appNumber = 11;
        m_instanceId = 7;
        m_sServername = "HOST/INST";
        m_bkpPhase = JXSQL_BACKUP_FULL;
        m_bkyType = JXSQL_BACKUP_FULL;
        m_attempt = 1;
        m_pBkpJobClnt = &client;
        m_pJobClnt = &client;
    }
    ~BackupJobUnderTest() override {
        m_pBkpJobClnt = nullptr;
        m_pJobClnt = nullptr;
    }

    // The job's journal lines of `op`.
    std::vector<jobmanager::JournalEntry> Journal(const std::string& op) const {
        std::vector<jobmanager::JournalEntry> out;
        for (const auto& e : jobmanager::JobJournalReader::Read(client.jobId()).value_or(
                 std::vector<jobmanager::JournalEntry>{})) {
            if (e.op == op) out.push_back(e);
        }
        return out;
    }

    JXBkpJobClient client;
};

// Creates the instance `serverName` with the named databases (FULL recovery).
inline void MakeInstance(SqlSimInstance& instance, const std::vector<std::string>& databases,
                         const std::string& serverName = "HOST/INST") {
    SqlSimServerSpec server;
    server.name = serverName;
    ASSERT_FALSE(instance.Create(server).IsError());
    for (const std::string& name : databases) {
        SqlSimDatabaseSpec db;
        db.name = name;
        ASSERT_FALSE(instance.AddDatabase(db).IsError());
    }
}

}  // namespace jxtest
