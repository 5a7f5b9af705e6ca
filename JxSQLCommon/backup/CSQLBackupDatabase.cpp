// One database of the walk: whether it is converted to another level
// instead of being backed up in this phase, and which method backs it up.
#include <string>

#include "JxJobClient/JXBkpJobClient.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/FXString.h"

namespace {

constexpr int kDatabaseIdCause = 0x1E00014A;
constexpr uint32_t kFreeTextEvent = 0x48000036;
constexpr uint32_t kMasterConvertedEvent = 0x1E000156;
constexpr uint32_t kSimpleToDiffEvent = 0x1E000110;
constexpr uint32_t kRecoveryModelChangedEvent = 0x1E000160;
constexpr uint64_t kMasterDatabaseId = 1;
// The VSS writer kind that also takes differential backups.
constexpr int kVssWriterMsde = 2;

}  // namespace

bool CSQLBackup::FailUnlistedDatabase(JobManager::SQLStatusTab* record, const std::string& name) {
    // The database would be in no list and backed up by no phase: it fails
    // here instead of ending the job as converted.
    const std::string reason = "Failed to add database [" + name + "] to the collect file of its new level.";
    EV_ERROR(m_logger, "%s", reason.c_str());
    if (record != nullptr) {
        record->setstring(JobManager::SQLStatusTab::kFailureReason, reason);
        record->setint64(JobManager::SQLStatusTab::kStatus, JobManager::kDBStatusFailed);
    }
    return false;
}

bool CSQLBackup::ConvertDatabase(JobManager::SQLStatusTab* record, const std::string& name, const std::string& reason,
                                 JXSQLExeBackupType level, bool& converted) {
    if (!AddConvertedDBToCollectFile(name, level)) return FailUnlistedDatabase(record, name);
    if (record != nullptr) {
        record->setstring(JobManager::SQLStatusTab::kReason, reason);
        record->setint64(JobManager::SQLStatusTab::kDatabasePhase, level);
        record->setint64(JobManager::SQLStatusTab::kStatus, JobManager::kDBStatusConverted);
    }
    converted = true;
    return true;
}

bool CSQLBackup::doDbBackup(CsqlDMO& sqlConnection, const wchar_t* databaseName, unsigned long collectFileOffset,
                            bool& connectionValid, bool& converted, JobManager::SQLStatusTab* record) {
    m_mediaMetaInfo.clear();
    const std::string name = FXString::ToString(std::wstring(databaseName != nullptr ? databaseName : L""));
    if (record != nullptr) {
        record->setstring(JobManager::SQLStatusTab::kDatabaseName, name);
        record->setstring(JobManager::SQLStatusTab::kInstanceName, m_sServername);
    }
    EV_DEBUG(m_logger, 2, "***Collectfile offset of db[%s] = %ld", name.c_str(), static_cast<long>(collectFileOffset));

    uint64_t id = 0;
    if (!getDatabaseId(name, id)) {
        EV_DEBUG(m_logger, 3, "Failed to get the database id for [%s]. Check if the database exists.", name.c_str());
        RaisePendingCause(kDatabaseIdCause, name);
        id = 0;
    }
    m_currentDatabaseId = id;
    connectionValid = !(m_bLoadingState || sqlConnection.isDatabaseInSingleUserMode(name));

    if (m_bkpPhase == JXSQL_BACKUP_LOG || m_bkpPhase == JXSQL_BACKUP_DIFF) {
        const std::string type = m_backupLevelName;
        if (isPromoteToFullSet()) {
            const std::string message = "The [" + type + "] backup of [" + name +
                                        "] is being converted because backup option is set to promote it to a FULL.";
            m_logger << message.c_str();
            m_logger.InfoEvent(kFreeTextEvent, 0, 0);
            EV_INFO(m_logger, "%s", message.c_str());
            return ConvertDatabase(record, name, message, JXSQL_BACKUP_FULL, converted);
        }
        if (id == kMasterDatabaseId) {
            m_logger << type.c_str() << name.c_str();
            m_logger.InfoEvent(kMasterConvertedEvent, 0, 0);
            EV_DEBUG(m_logger, 2, "This is a master database Only full backup is allowed. So backup getting converted to full");
            return ConvertDatabase(record, name, "Database [MASTER] will always run [FULL] backup phase.",
                                   JXSQL_BACKUP_FULL, converted);
        }
        if (m_bkpPhase == JXSQL_BACKUP_LOG && !m_isAGChild && sqlConnection.isRecoveryModelSimple(name)) {
            if (m_isSnapJob && m_bkyType == JXSQL_BACKUP_LOG) {
                const std::string message = "The [" + type + "] Backup of [" + name +
                                            "] is being converted to a SNAP FULL Database Backup because SNAP is "
                                            "enabled on SC and database is in [SIMPLE] Recovery Model.";
                m_logger << message.c_str();
                m_logger.InfoEvent(kFreeTextEvent, 0, 0);
                return ConvertDatabase(record, name,
                                       "Database [" + name +
                                           "] is in SIMPLE recovery model and SNAP is enabled on SC, Promoting for "
                                           "SNAP FULL backup.",
                                       JXSQL_BACKUP_FULL, converted);
            }
            m_logger << type.c_str() << name.c_str();
            m_logger.InfoEvent(kSimpleToDiffEvent, 0, 0);
            return ConvertDatabase(
                record, name,
                "Database [" + name + "] is in SIMPLE recovery model and it is promoted for DIFFERENTIAL backup.",
                JXSQL_BACKUP_DIFF, converted);
        }
        if (m_bkpPhase == JXSQL_BACKUP_LOG && sqlConnection.hasRecoveryModelChanged(name)) {
            m_logger << type.c_str() << name.c_str();
            m_logger.InfoEvent(kRecoveryModelChangedEvent, 0, 0);
            return ConvertDatabase(record, name,
                                   "Database [" + name + "] is promted to FULL due to recent recovery model change.",
                                   JXSQL_BACKUP_FULL, converted);
        }
        if (m_backupConversion & 0x1) {
            std::string reason;
            JXSQLExeBackupType level = JXSQL_BACKUP_NONE;
            converted = isDatabaseNeedConversion(sqlConnection, FXString::ToWstring(name), reason, level);
            if (converted && m_bConvertedListRefused) {
                converted = false;
                return FailUnlistedDatabase(record, name);  // the walk counts the failure
            }
            if (converted && level == JXSQL_BACKUP_NONE) {
                // Dropped since the collect file was written: no level backs
                // it up, so it is counted as skipped, not as backed up.
                if (record != nullptr) {
                    record->setstring(JobManager::SQLStatusTab::kReason, reason);
                    record->setint64(JobManager::SQLStatusTab::kStatus, JobManager::kDBStatusSkippedInPhase);
                }
                if (m_pBkpJobClnt != nullptr) (void)m_pBkpJobClnt->setSkippedItemsToAdd(1);
                EV_DEBUG(m_logger, 2, "The database [%s] is skipped: %s", name.c_str(), reason.c_str());
                return true;
            }
            if (converted) {
                if (record != nullptr) {
                    record->setstring(JobManager::SQLStatusTab::kReason, reason);
                    record->setint64(JobManager::SQLStatusTab::kDatabasePhase, level);
                    record->setint64(JobManager::SQLStatusTab::kStatus, JobManager::kDBStatusConverted);
                }
                EV_DEBUG(m_logger, 2, "The database [%s] got promoted.", name.c_str());
                return true;
            }
        }
        if (m_bkpPhase == JXSQL_BACKUP_LOG && !m_isAGChild && sqlConnection.isDBInFullRecoveryModel(name) &&
            !sqlConnection.isReadOnly(m_sServername, name) && sqlConnection.isPseudoSimpleDB(id)) {
            const std::string message = "The [" + type + "] Backup of [" + name +
                                        "] is being converted to a FULL Backup because database is in [PSEUDO "
                                        "SIMPLE] state.";
            EV_INFO(m_logger, "%s", message.c_str());
            m_logger << message.c_str();
            m_logger.InfoEvent(kFreeTextEvent, 0, 0);
            return ConvertDatabase(record, name, message, JXSQL_BACKUP_FULL, converted);
        }
    }

    const bool vssRoute =
        m_vss.isVSSEnabled() &&
        (m_bkpPhase == JXSQL_BACKUP_FULL ||
         (m_bkpPhase == JXSQL_BACKUP_DIFF && m_sqlMajorVersion > 8 && m_vss.getVSSWriter() == kVssWriterMsde));
    if (!connectionValid) sqlConnection.releaseSqlConnection();
    if (vssRoute) {
        if (isSystemDb(id) && isClientAlsoJxServer() && isJxServerInstance(m_sServername)) {
            return doVDIBackup(databaseName, collectFileOffset, record, {}, {});
        }
        return doVSSBackup(databaseName, collectFileOffset, record);
    }
    if (m_bLogFromFileSystem) {
        EV_DEBUG(m_logger, 2, "Backup Logs from FileSystem is ENABLED.");
        bool fallBack = false;
        const bool done = doDBBackupFromFileSystem(databaseName, collectFileOffset, record, fallBack);
        // A database without dumps was reported skipped: not a success of the walk.
        if (done && m_bNothingBackedUp) converted = true;
        return done;
    }
    return doVDIBackup(databaseName, collectFileOffset, record, {}, {});
}
