// CSQLRestoreBase: the hooks around one backup's restore. They decide
// whether SQL Server must run in single-user mode (master), be stopped, or
// have its agent stopped (msdb), do it before the restore and undo it after.
#include "JxSQLCommon/restore/CSQLRestoreBase.h"

void CSQLRestoreBase::initializeForPreFFGRestore(SqlRestoreDbInfo_t&, SqlAFilesPerBackup_t&) {}

void CSQLRestoreBase::initializeForPreDBRestore(SqlRestoreDbInfo_t& db, SqlAFilesPerBackup_t& backup) {
    if (m_verifyOnly) {
        // A verification reads the backup and changes nothing: SQL Server
        // and its agent keep running as they are, and the post hook has
        // nothing to undo.
        m_stopSqlServer = false;
        m_stopSqlAgent = false;
        m_singleUserMode = false;
        return;
    }
    if (!backup.vssFlag && backup.backupMethod == 0) {
        m_stopSqlServer = isMasterDb(db.databaseId);
        m_stopSqlAgent = isStopSSARequired(db);
        m_singleUserMode = isMasterDb(db.databaseId);
        if (m_stopSqlServer) m_stopSqlAgent = true;
    } else if (isSystemDb(db.databaseId)) {
        EV_DEBUG(m_logger, 1, "This is a VSS Backup, stopping both SQLServer and SQLAgent");
        m_stopSqlServer = true;
        m_stopSqlAgent = true;
    }
    // A failed stop clears its flag, so the post hook undoes only what was done.
    (void)prepareForRestore();
}

bool CSQLRestoreBase::prepareForRestore() {
    if (m_singleUserMode) {
        const bool ok = activateSingleUserMode();
        if (!ok) m_singleUserMode = false;
        return ok;
    }
    if (m_stopSqlServer) {
        const bool ok = stopSqlServer();
        if (!ok) {
            m_stopSqlServer = false;
            m_stopSqlAgent = false;
        }
        return ok;
    }
    if (m_stopSqlAgent) {
        const bool ok = stopSSA();
        if (!ok) m_stopSqlAgent = false;
        return ok;
    }
    return false;
}

void CSQLRestoreBase::initializeForPostDBRestore(SqlRestoreDbInfo_t& db, SqlAFilesPerBackup_t&) {
    // Each step is tried on its own; their failures are logged where they happen.
    if (m_singleUserMode) (void)activateMultiUserMode(db);
    if (m_stopSqlServer) (void)startSqlServer();
    if (m_stopSqlAgent) (void)startSSA();
    m_singleUserMode = false;
    m_stopSqlServer = false;
}
