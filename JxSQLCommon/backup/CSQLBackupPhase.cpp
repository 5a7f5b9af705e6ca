// The phase of a backup job: requested type, level texts, history letters,
// the phase's settings and the phase's road (collect file, then the walk).
#include "EvTaskApiNet/EvBkpTask.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/jobbase/SQLSwitchSettings.h"
#include "JxSQLCommon/records/SqlJobCauses.h"

void CSQLBackup::initializeBackupType(unsigned long flags) {
    if (flags & 0x1) {
        m_bkyType = JXSQL_BACKUP_FULL;
    } else if (flags & 0x2) {
        m_bkyType = JXSQL_BACKUP_LOG;
    } else if (flags & 0x100) {
        m_bkyType = JXSQL_BACKUP_LOG;
        m_bNoTruncateLog = true;
    } else if (flags & 0x4) {
        m_bkyType = JXSQL_BACKUP_DIFF;
    }
}

void CSQLBackup::initBkpType(unsigned int type) {
    switch (type) {
        case JXSQL_BACKUP_LOG:
            m_backupTypeText = "Transaction Log";
            break;
        case JXSQL_BACKUP_DIFF:
            m_backupTypeText = "Differential";
            break;
        default:
            m_backupTypeText = "Full";
            break;
    }
}

char CSQLBackup::getSqlBackupType(bool detailed) {
    switch (m_bkpPhase) {
        case JXSQL_BACKUP_FULL:
            if (detailed && m_bPartial) return 'P';
            if (detailed && m_bFFG) return 'F';
            return 'D';
        case JXSQL_BACKUP_LOG:
            return 'L';
        case JXSQL_BACKUP_DIFF:
            if (detailed && m_bPartial) return 'Q';
            if (detailed && m_bFFG) return 'G';
            return 'I';
        default:
            return 'D';
    }
}

void CSQLBackup::LoadConfigurationsForBackup() {
    EvBkpTask task(m_jobId);
    switch (m_bkpPhase) {
        case JXSQL_BACKUP_FULL:
            m_bSkipReadOnly = m_genericOptions.isSkipBackup_ReadOnlyDB();
            break;
        case JXSQL_BACKUP_DIFF: {
            SkipDIffForReadOnlyDbSettings setting(&task);
            setting.setGenericOption(&m_genericOptions);
            bool value = m_bSkipReadOnly;
            if (setting.getOptionValue(value, true)) m_bSkipReadOnly = value;
            EV_DEBUG(m_logger, 2, "Skip DIFF backup for read-only DBs is [%s]", m_bSkipReadOnly ? "ENABLED" : "DISABLED");
            break;
        }
        case JXSQL_BACKUP_LOG: {
            SkipTLForReadOnlyDbSettings setting;
            setting.setGenericOption(&m_genericOptions);
            bool value = m_bSkipReadOnly;
            if (setting.getOptionValue(value, true)) m_bSkipReadOnly = value;
            EV_DEBUG(m_logger, 2, "Skip transaction log backup for read-only DBs is [%s]",
                     m_bSkipReadOnly ? "ENABLED" : "DISABLED");
            break;
        }
        default:
            break;
    }
    PromoteToFull promote(&task);
    bool value = m_bPromoteToFull;
    if (promote.getOptionValue(value, true)) m_bPromoteToFull = value;
}

bool CSQLBackup::backup() {
    LoadConfigurationsForBackup();
    eSubClientTypes subclientType = SUBCLIENT_TYPE_1;
    (void)getSubclientType(subclientType);  // an unreadable type keeps the database subclient
    if (subclientType == SUBCLIENT_TYPE_1 && !generateCollectFile()) {
        EV_ERROR(m_logger, "Failed to create collect file.");
        return !m_isSnapBackup && m_errorControl.IsEmptyCollectRuleSet() && m_errorControl.DidFailOnEmptyCollect();
    }
    if (quit()) {
        EV_ERROR(m_logger, "Job Manager Issued Job Termination, backup operation failed!");
        RaisePendingCause(kCauseJobTerminated, m_backupLevelName);
        return false;
    }
    if (m_bNeedsFull && m_bkpPhase == JXSQL_BACKUP_LOG) {
        EV_INFO(m_logger,
                "No DBs were found in the osc log collect file to perform TL backup but some databases were found "
                "that needs FULL backup. Skipping TL backup");
        return true;
    }
    if (subclientType == SUBCLIENT_TYPE_1) return doDbSubclientBackup();
    return doFFGSubclientBackup() != 0;
}
