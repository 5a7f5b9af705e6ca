// CSQLRestoreBase: the archive-file chain of each database and the last
// restore points of a log-shipping restore to disk.
//
// The central server computes a database's chain; the job chooses what to
// ask for: the state at the options' to-time, or (restore kind 4) what
// follows the database's last restore, taken from SQL Server for a database
// left restoring or in standby, or from the agent settings for a
// log-shipping restore to disk.
#include <cinttypes>
#include <list>
#include <string>

#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlDbState.h"
#include "WzUtils/WzFormat.h"

namespace {

constexpr const char* kAgentSection = "MSSQLAgent";

// Restore kinds of a chain request.
constexpr int kKindAsOptions = 0;
constexpr int kKindPointInTime = 1;
constexpr int kKindStep = 2;
constexpr int kKindMark = 3;
constexpr int kKindAfterLastRestore = 4;

std::string LastRestorePointKey(uint64_t sourceInstanceId, const std::string& db) {
    return wz::Format("%s_%lu_%s", "LRP", static_cast<unsigned long>(sourceInstanceId), db.c_str());
}

}  // namespace

bool CSQLRestoreBase::getAFilesToRestore(bool, SqlRestoreDbInfo_t db, std::list<SqlAFilesPerBackup_t>& chain) {
    const std::string target = TargetName(db);
    unsigned long restoreTime = 0;
    if (!m_applessRestore) {
        CsqlDMO dmo;
        int state = SQLDB_STATE_ONLINE;
        std::string stateText;
        if (!dmo.initialize(m_sServername, false) || !dmo.getDatabaseStatus(m_sServername, target, state, stateText)) {
            EV_INFO(m_logger, "Failed to DatabaseStatus for [%s\\%s]", m_sServername.c_str(), target.c_str());
        }
        if (state == SQLDB_STATE_RESTORING || state == SQLDB_STATE_STANDBY) {
            if (!dmo.getLastDatabaseRestoreTime(m_sServername, target, m_nzdstHandling, restoreTime)) {
                EV_ERROR(m_logger, "Unable to get the current database[%s] state for hotserver restore\n",
                         target.c_str());
                return false;
            }
        }
    }

    const uint64_t flags = m_restoreOptions.optionFlags;
    int kind = kKindAsOptions;
    if ((flags & kRstPointInTime) != 0) {
        kind = kKindPointInTime;
    } else if ((flags & kRstStepRestore) != 0) {
        kind = kKindStep;
    } else if ((flags & (kRstStopAtMark | kRstStopBeforeMark)) != 0) {
        kind = kKindMark;
    } else if (IsRestoreToDiskLogShipping() || m_restoreOptions.pointInTime == 0) {
        kind = kKindAfterLastRestore;
    }
    if (IsRestoreToDiskLogShipping()) {
        restoreTime = 0;
        (void)GetLastRestorePointForRTD(target, restoreTime);  // always success; a missing key leaves 0
        m_restoreOptions.pointInTime = restoreTime;
        kind = kKindAfterLastRestore;
    }
    if (m_restoreOptions.pointInTime == 0) {
        kind = kKindAfterLastRestore;
        m_restoreOptions.pointInTime = restoreTime;
    }

    const unsigned long toTime = m_restoreOptions.pointInTime;
    bool fetched = false;
    {
        CSQLClientDll client;
        fetched = client.getAFilesForDb(m_restoreTaskId, m_restoreOptions.sourceInstanceId, toTime, restoreTime, kind,
                                        db.sDbName, chain);
    }
    if (kind == kKindAfterLastRestore) m_restoreOptions.pointInTime = 0;
    if (!fetched) {
        EV_ERROR(m_logger, "Failed to get AFiles to restore.");
        return false;
    }
    EV_INFO(m_logger, "Task Id = %" PRIu64 ", instance id = %" PRIu64
                      ", toTime = %lu, restoreTime = %lu,  Restore Type = %d, DbName = %s",
            m_restoreTaskId, m_restoreOptions.sourceInstanceId, toTime, restoreTime, kind, db.sDbName.c_str());
    if (chain.empty()) {
        if (m_pRstJobClnt) {
            *m_pRstJobClnt << db.sDbName.c_str();
            (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseNoArchiveFiles);  // fails through the result
        }
        EV_ERROR(m_logger, "There is no archive file to restore for database [%s]", db.sDbName.c_str());
        return false;
    }
    return true;
}

CWzError CSQLRestoreBase::AddBackupInfoFromMountedShare(std::list<SqlRestoreDbInfo_t>&) {
    return CWzError::Success();
}

CWzError CSQLRestoreBase::RecordLastRestorePointForRTD(const std::string& db, unsigned long& point) {
    const std::string key = LastRestorePointKey(m_restoreOptions.sourceInstanceId, db);
    JXPlatformInfo settings;
    if (settings.setNumber(kAgentSection, key, static_cast<int64_t>(point)) == 0) {
        EV_DEBUG(m_logger, 4, "Failed to write the last restore point [%s] reg key with error [%lu].", key.c_str(),
                 static_cast<unsigned long>(settings.getLastError()));
    }
    return CWzError::Success();
}

CWzError CSQLRestoreBase::GetLastRestorePointForRTD(const std::string& db, unsigned long& point) {
    const std::string key = LastRestorePointKey(m_restoreOptions.sourceInstanceId, db);
    JXPlatformInfo settings;
    uint64_t value = 0;
    if (settings.getNumber(kAgentSection, key, &value) == 0) {
        EV_DEBUG(m_logger, 4, "[%s] reg key cannot be found with error [%lu].", key.c_str(),
                 static_cast<unsigned long>(settings.getLastError()));
        return CWzError::Success();
    }
    point = static_cast<unsigned long>(value);
    return CWzError::Success();
}
