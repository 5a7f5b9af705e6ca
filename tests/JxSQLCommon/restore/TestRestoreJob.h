// A restore job whose protected state the tests can set and read.
#pragma once

#include "JxSQLCommon/restore/CSQLRestoreBase.h"

struct TestRestoreJob : CSQLRestoreBase {
    using CSQLRestoreBase::m_applessRestore;
    using CSQLRestoreBase::m_dataTransferHandler;
    using CSQLRestoreBase::m_dumpLocation;
    using CSQLRestoreBase::m_isFirstBackupOfChain;
    using CSQLRestoreBase::m_isLastBackupOfChain;
    using CSQLRestoreBase::m_restoreDbList;
    using CSQLRestoreBase::m_restoreOptions;
    using CSQLRestoreBase::m_restoreToDisk;
    using CSQLRestoreBase::m_restoreToDiskAttach;
    using CSQLRestoreBase::m_skipBackupTypes;
    using CSQLRestoreBase::m_updateIntervalSecs;
    using CSQLRestoreBase::m_vdiTimeout;
    using CSQLCommon::m_bytesRestored;
    using CSQLCommon::m_jobId;
    using CSQLCommon::m_pJobCtrlClnt;
    using CSQLCommon::m_pRstJobClnt;
    using CSQLCommon::m_restoreTaskId;
    using CSQLCommon::m_sServername;
    using CSQLCommon::m_sqlMajorVersion;
};

// Counts the hooks around each backup's restore instead of running them.
struct HookCountingJob : TestRestoreJob {
    void initializeForPreDBRestore(SqlRestoreDbInfo_t&, SqlAFilesPerBackup_t&) override { ++preHooks; }
    void initializeForPostDBRestore(SqlRestoreDbInfo_t&, SqlAFilesPerBackup_t&) override { ++postHooks; }
    int preHooks = 0;
    int postHooks = 0;
};
