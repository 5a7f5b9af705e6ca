// CSQLRestoreBase: recovery-only restores. One database restored without
// recovery (RESTORING or STANDBY) is brought online, and a recovery-only job
// does that for every database of its list. Also the drop of a database's
// connections that a restore or a recovery needs first.
#include <strings.h>

#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxSQLCommon/restore/RestoreDropConnections.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxSQLVDIBase/CJxSQLVDIBase.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/CStopWatch.h"
#include "WzUtils/FXString.h"

namespace {

constexpr char kNameSeparator = '\x12';
constexpr uint64_t kFirstVersionKeepingCdc = 10;
constexpr uint64_t kFirstVersionKeepingReplication = 9;

}  // namespace

bool jxsql::DropConnectionsForRestore(CsqlDMO& dmo, const std::string& server, const std::string& target,
                                      EvEvent& logger, SqlRstJobClient* client) {
    if (!dmo.dropAllConnectionsToDb(server, target)) {
        EV_ERROR(logger,
                 "Failed to drop connections to database [%s] during restore. Please close all connections manually "
                 "and re-run restore.",
                 target.c_str());
        if (client != nullptr) {
            *client << target.c_str();
            (void)client->setPendingCauseAndCriticalEvent(kCauseDropConnections);
        }
        return false;
    }
    EV_DEBUG(logger, 1, "Successfully dropped connections to database [%s] during restore.", target.c_str());
    return true;
}

bool CSQLRestoreBase::doDbRecoverOnly(SqlRestoreDbInfo_t& db, bool omitFileGroup, bool forceRecovery,
                                      bool ffgRecovery) {
    if (m_verifyOnly) return true;
    CJxSQLVDIBase vdi;
    vdi.SetVDITimeoutRetryCountLimit(GetVDITimeoutRetryCountLimit());

    const std::string text = TargetName(db);
    const size_t first = text.find(kNameSeparator);
    const size_t last = text.rfind(kNameSeparator);
    EV_DEBUG(m_logger, 1, "RecoverOnly = %s firstIdx = %d lastIdx = %d", text.c_str(),
             first == std::string::npos ? -1 : static_cast<int>(first),
             last == std::string::npos ? -1 : static_cast<int>(last));
    std::string database = text;
    std::string group;
    std::string file;
    if (first != std::string::npos && first != last) {
        database = text.substr(0, first);
        group = text.substr(first + 1, last - first - 1);
        file = text.substr(last + 1);
        EV_DEBUG(m_logger, 1, "first idx = %d last idx = %d dbname = %s filelogicalname = %s groupname = %s",
                 static_cast<int>(first), static_cast<int>(last), database.c_str(), file.c_str(), group.c_str());
    } else if (first != std::string::npos) {
        database = text.substr(0, first);
        file = text.substr(first + 1);
    }
    const std::wstring fileGroup = !group.empty() && !omitFileGroup ? FXString::ToWstring(group) : std::wstring();

    if (group.empty() && !forceRecovery && !ffgRecovery) {
        CsqlDMO dmo;
        if (InitializeDmo(dmo) && dmo.isDatabaseOnline(m_sServername, database)) return true;
    }

    const uint64_t flags = m_restoreOptions.optionFlags;
    if ((flags & kRstDboOnly) != 0) vdi.setDBOState();
    vdi.setContinueAfterError(m_bContinueAfterError);
    vdi.setMajorVersion(m_sqlMajorVersion);
    if (m_sqlMajorVersion >= kFirstVersionKeepingCdc && (flags & kRstKeepCdc) != 0) vdi.setKeepCDC(true);
    if (m_sqlMajorVersion >= kFirstVersionKeepingReplication && (flags & kRstKeepReplication) != 0) {
        vdi.setKeepReplication(true);
    }

    const std::string watchName = "Time taken to restore db " + text;
    CStopWatch watch;
    if (vdi.recoverOnly(FXString::ToWstring(database), m_sServername, fileGroup)) {
        watch.Stop();
        EV_DEBUG(m_logger, 2, "%s = %f", watchName.c_str(), watch.Time());
        return true;
    }
    m_lastErrorText = vdi.getCVErrorString();
    if (m_pRstJobClnt) {
        *m_pRstJobClnt << m_lastErrorText.c_str();
        (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseRestoreFailed);
    }
    EV_ERROR(m_logger, "Recovery for database [%s] failed.", database.c_str());
    if (m_lastErrorText.find("System.IO.FileNotFoundException") != std::string::npos) m_stopJob = true;
    return false;
}

bool CSQLRestoreBase::recoverDbsOnly(std::list<SqlRestoreDbInfo_t>& dbs) {
    const bool dropConnections = (m_restoreOptions.optionFlags & kRstDropDbConnections) != 0;
    for (SqlRestoreDbInfo_t& db : dbs) {
        if (m_stopJob || QuitRequested()) {
            RecordSkippedDatabase(TargetName(db));
            continue;
        }
        const std::string target = TargetName(db);
        bool dropped = false;
        if (dropConnections && strcasecmp(target.c_str(), "master") != 0) {
            CsqlDMO dmo;
            if (!InitializeDmo(dmo)) {
                EV_ERROR(m_logger, "Failed to initialize SQL server. Check if SQL Services [%s] are offline.",
                         m_sServername.c_str());
                return false;
            }
            const bool mustDrop =
                dmo.isDatabaseOnline(m_sServername, target) || dmo.isDatabaseStandby(m_sServername, target);
            if (mustDrop) {
                if (!jxsql::DropConnectionsForRestore(dmo, m_sServername, target, m_logger, m_pRstJobClnt.get())) {
                    return false;
                }
                dropped = true;
            }
        }
        if (!doDbRecoverOnly(db, /*omitFileGroup=*/false, /*forceRecovery=*/true, /*ffgRecovery=*/false)) {
            RecordFailedDatabase(target);
        } else {
            ++m_restoredDbCount;
            SetRestoreStatus(target, m_verifyOnly ? RESTORE_STATUS_VERIFIED : RESTORE_STATUS_RESTORED);
            if (m_pRstJobClnt) {
                (void)m_pRstJobClnt->setNoDBsRestoredSoFar(static_cast<int64_t>(m_restoredDbCount));
                (void)m_pRstJobClnt->updateInfo(false, nullptr);
            }
        }
        if (dropped) {
            CsqlDMO dmo;
            if (!InitializeDmo(dmo)) {
                EV_ERROR(m_logger, "Failed to initialize SQL server. Check if SQL Services [%s] are offline.",
                         m_sServername.c_str());
                return false;
            }
            if (dmo.SetDatabaseInMultiUserMode(m_sServername, target)) {
                EV_DEBUG(m_logger, 1, "Successfully brought database [%s] to multi-user mode.", target.c_str());
            } else {
                EV_ERROR(m_logger, "Failed to bring database [%s] to multi-user mode. Needs to be done manually now.",
                         target.c_str());
            }
        }
    }
    return true;
}
