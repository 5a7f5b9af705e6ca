// The backup conversion rules: whether a database may be backed up at the
// level of the running phase, or must be converted to a full (or a log
// backup to a differential) backup first.
//
// What only the central server knows (earlier backups of the subclient,
// their times, restores since) comes in one exchange per phase and stays in
// the job's conversion map; what only SQL Server knows is asked of the
// management layer per database. Every conversion also goes to the
// converted list of its new level, which the next phase backs up.
#include <cstring>
#include <string>
#include <vector>

#include "JxJobClient/JXBkpJobClient.h"
#include "JxLib/JXFile.h"
#include "JxLib/JXGlobalParam.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/FXString.h"

namespace {

constexpr uint32_t kMasterEvent = 0x1E000156;
constexpr uint32_t kRecreatedEvent = 0x1E000100;
constexpr uint32_t kFirstBackupEvent = 0x1E0000FE;
constexpr uint32_t kBaseOutsideEvent = 0x1E0000FF;
constexpr uint32_t kSnapSimpleEvent = 0x48000036;
constexpr uint32_t kSimpleToDiffEvent = 0x1E000110;
constexpr uint32_t kBrokenChainEvent = 0x1E000128;
constexpr uint32_t kLogCountEvent = 0x1E00014F;
constexpr uint32_t kContentChangedEvent = 0x1E000104;
constexpr uint32_t kPointInTimeEvent = 0x1E000127;
constexpr uint32_t kSystemRestoredEvent = 0x1E000126;
constexpr uint32_t kFilesChangedEvent = 0x1E000103;
// Collect-file lines are at most this long.
constexpr size_t kMaxLine = 1024;

// One rule's outcome: its event, new level and the parts of its message.
struct Conversion {
    uint32_t event;
    JXSQLExeBackupType level;
    const char* prefix;
    const char* middle;
    const char* reason;
};

constexpr Conversion kMaster{kMasterEvent, JXSQL_BACKUP_FULL, "The [", "] Backup of database [",
                             "] is converted to full because only FULL backup is supported."};
constexpr Conversion kRecreated{kRecreatedEvent, JXSQL_BACKUP_FULL, "The [", "] Backup of [",
                                "] is being converted to a Full Database Backup because the current database has "
                                "a newer creation time than the last one backed up."};
constexpr Conversion kFirstBackup{kFirstBackupEvent, JXSQL_BACKUP_FULL, "The [", "] Backup of [",
                                  "] is being converted to a Full Database Backup because this is the first backup "
                                  "ever done for this database in this subclient."};
constexpr Conversion kBaseOutside{kBaseOutsideEvent, JXSQL_BACKUP_FULL, "The [", "] Backup of [",
                                  "] is being converted to a Full Database Backup because there was a backup done "
                                  "outside of this Product."};
constexpr Conversion kSnapSimple{kSnapSimpleEvent, JXSQL_BACKUP_FULL, " The[", "] Backup of [",
                                 "] is being converted to a FULL Database Backup because SNAP is enabled on SC and "
                                 "database is in [SIMPLE] Recovery Model."};
constexpr Conversion kSimpleToDiff{kSimpleToDiffEvent, JXSQL_BACKUP_DIFF, " The[", "] Backup of [",
                                   "] is being converted to a Differential Database Backup because[SIMPLE] Recovery "
                                   "Model is enabled."};
constexpr Conversion kBrokenChain{
    kBrokenChainEvent, JXSQL_BACKUP_FULL, " The[", "] Backup of [",
    "] is converted to full because 1) there was either a LOG Backup done outside this product or 2) LOG Backup "
    "done for the same file in another subclient.  or 3) Failed to update JxServe db in previous log backup."};
constexpr Conversion kContentChanged{kContentChangedEvent, JXSQL_BACKUP_FULL, "The [", "] Backup of [",
                                     "] is being converted to a Full Database Backup because subclient content had "
                                     "been changed."};
constexpr Conversion kPointInTime{kPointInTimeEvent, JXSQL_BACKUP_FULL, "The [", "] Backup of [",
                                  "] is converted to full because there was a PIT/TM restore done for this database."};
constexpr Conversion kSystemRestored{kSystemRestoredEvent, JXSQL_BACKUP_FULL, "The [", "] Backup of [",
                                     "] is converted to full because SYSTEM DATABASE was restored."};
constexpr Conversion kFilesChanged{kFilesChangedEvent, JXSQL_BACKUP_FULL, "The [", "] Backup of [",
                                   "] is being converted to a Full Database Backup because Next Full Backup Flag is "
                                   "enabled due to file/ file group content changes."};

char* CopyName(const char* name) {
    const size_t n = name != nullptr ? std::strlen(name) : 0;
    char* copy = new char[n + 1];
    if (n != 0) std::memcpy(copy, name, n);
    copy[n] = '\0';
    return copy;
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

bool CSQLBackup::ReadConversionDatabases(std::vector<std::string>& databases) {
    const std::string path = CollectFilePath();
    JXFile file;
    if (file.open(path.c_str(), JXFile::kRead) != 0) {
        EV_ERROR(m_logger, "Failed to open the collect file [%s]. ErrorCode [%d]", path.c_str(), file.getLastError());
        return false;
    }
    const uint64_t offset = getCollectFileOffset();
    if (offset != 0 && file.seek(static_cast<int64_t>(offset), JXFile::kFromStart) < 0) {
        EV_ERROR(m_logger, "Failed to seek in the file [%s] seek value [%lu]. ErrorCode [%d]", path.c_str(),
                 static_cast<unsigned long>(offset), file.getLastError());
        (void)file.close();  // opened for reading only
        return false;
    }
    char line[kMaxLine + 1];
    int rc;
    while ((rc = file.getLine(line, sizeof line)) == 1) {
        if (line[0] != '\0') databases.emplace_back(line);
    }
    (void)file.close();  // opened for reading only
    if (rc < 0) {
        // A longer line is no database name; asking about a part of the list
        // would leave the rest unconverted without a word.
        EV_ERROR(m_logger, "Failed to read the collect file [%s]. ErrorCode [%d]", path.c_str(), file.getLastError());
        return false;
    }
    return true;
}

void CSQLBackup::populateBackupConversionRulesMap(std::wstring databaseName) {
    const bool databaseSubclient = m_subclientType == 1;
    if (m_bkpPhase == JXSQL_BACKUP_FULL && databaseSubclient) return;

    std::vector<std::string> databases;
    if (!databaseSubclient) {
        databases.push_back(FXString::ToString(databaseName));
    } else if (!ReadConversionDatabases(databases)) {
        return;
    }

    std::vector<SqlDatabaseBackupInfo_V2> records(databases.size());
    for (size_t i = 0; i < databases.size(); ++i) records[i].databaseName = databases[i].data();
    std::string instanceName = m_sServername;
    SqlBackupConversionRulesReq_V4_t request;
    request.databaseCount = static_cast<uint32_t>(records.size());
    request.databases = records.empty() ? nullptr : records.data();
    request.instanceId = static_cast<int64_t>(static_cast<int32_t>(m_instanceId));
    request.instanceName = instanceName.data();
    request.applicationId = m_appNumber;
    request.jobId = static_cast<uint32_t>(m_jobId);

    CSQLClientDll requester;
    requester.getDataBuffer()->setExternalBuffer(&request, sizeof request);
    SqlBackupConversionRulesRsp_V2_t reply;
    requester.getReceiveDataBuffer()->setExternalBuffer(&reply, sizeof reply);
    if (!requester.checkBackupConversionRules()) {
        EV_DEBUG(m_logger, 1, "Get Backup conversion message failed.");
        return;
    }
    // Only the count is kept: the records are copied, and the reply's own
    // memory is released below.
    m_conversionRules.databaseCount = reply.databaseCount;
    m_conversionRules.databases = nullptr;
    for (uint32_t i = 0; reply.databases != nullptr && i < reply.databaseCount; ++i) {
        const SqlDatabaseBackupInfo_V2& received = reply.databases[i];
        const std::string name = received.databaseName != nullptr ? received.databaseName : "";
        if (name.empty() || m_conversionMap.count(name) != 0) continue;  // the first entry of a name stays
        SqlDatabaseBackupInfo_V2 copy = received;
        copy.databaseName = CopyName(received.databaseName);
        m_conversionMap.emplace(name, copy);
    }
    if (requester.FreeReceivedMessage(kSqlConversionRulesRsp).IsError()) {
        EV_WARN(m_logger, "Failed to release the backup conversion reply.");
    }
}

bool CSQLBackup::ConvertForRule(uint32_t event, JXSQLExeBackupType newLevel, const std::string& text,
                                bool textIsArgument, const std::string& name, std::string& message,
                                JXSQLExeBackupType& level) {
    message = text;
    if (textIsArgument) {
        m_logger << message.c_str();
    } else {
        m_logger << m_backupLevelName.c_str() << name.c_str();
    }
    m_logger.InfoEvent(event, 0, 0);
    EV_INFO(m_logger, "%s", message.c_str());
    level = newLevel;
    // The level is converted all the same; the caller fails the database,
    // which no phase would back up otherwise.
    if (!AddConvertedDBToCollectFile(name, newLevel)) m_bConvertedListRefused = true;
    return true;
}

bool CSQLBackup::isLogThreshHoldKeyPresent(unsigned long& value) {
    value = 0;
    std::string text;
    if (JXGlobalParam::getProperty("SQLPmnLogThreshHoldCount", text) == 0) {
        text = Trimmed(text);
        if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos && text.size() < 20) {
            value = std::stoul(text);
        }
    }
    uint64_t local = 0;
    if (JXPlatformInfo().getNumber("MSSQLAgent", "nLogThreshHoldValue", &local) != 0) {
        value = static_cast<unsigned long>(local);
        EV_DEBUG(m_logger, 2, "LogThreshold key has value %lu", value);
    } else {
        EV_DEBUG(m_logger, 2, "LogThreshold key not present, Log threshhold value [%lu]. This feature is [%s]", value,
                 value != 0 ? "Enabled" : "Disabled");
    }
    return value != 0;
}

bool CSQLBackup::isDatabaseNeedConversion(CsqlDMO& dmo, std::wstring databaseName, std::string& message,
                                          JXSQLExeBackupType& level) {
    m_bConvertedListRefused = false;
    const std::string name = FXString::ToString(databaseName);
    uint64_t id = 0;
    if (!getDatabaseId(name, id)) {
        EV_DEBUG(m_logger, 3, "get databaseid failed for database %s", name.c_str());
        id = 0;
    }
    const auto found = m_conversionMap.find(name);
    if (found == m_conversionMap.end()) {
        EV_DEBUG(m_logger, 2, "Did not find database [%s] in conversion map.", name.c_str());
        return false;
    }
    const SqlDatabaseBackupInfo_V2& info = found->second;
    const char* dbName = info.databaseName != nullptr ? info.databaseName : name.c_str();
    if (!dmo.isDatabaseExists(dbName)) {
        EV_INFO(m_logger, "The database[%s] does not exist.", dbName);
        message = std::string("The database[") + dbName + "] does not exist.";
        return true;
    }
    auto convert = [&](const Conversion& c, bool textIsArgument = false) {
        const std::string text = std::string(c.prefix) + m_backupLevelName + c.middle + name + c.reason;
        return ConvertForRule(c.event, c.level, text, textIsArgument, name, message, level);
    };
    if (isMasterDb(id)) return convert(kMaster);
    if (info.previousBackup != 0 && dmo.isDatabaseCreatedAfter(dbName, static_cast<unsigned long>(info.lastBackupTime))) {
        return convert(kRecreated);
    }
    if (info.previousBackup == 0) return convert(kFirstBackup);

    if (m_bkpPhase == JXSQL_BACKUP_DIFF && !m_isAGChild) {
        const char letter = getSqlBackupType(true);
        const int base = letter == 'G' ? 'F' : letter == 'Q' ? 'P' : 'D';
        if (!dmo.IsthePreviousBackupTypedoneusingOrvane(dbName, base, static_cast<unsigned long>(info.backupHistoryValue),
                                                        m_bCopyOnly ? 1 : 0)) {
            return convert(kBaseOutside);
        }
    }
    if (m_bkpPhase == JXSQL_BACKUP_LOG) {
        if (!m_isAGChild && dmo.isRecoveryModelSimple(dbName)) {
            if (m_isSnapJob && m_bkyType == JXSQL_BACKUP_LOG) return convert(kSnapSimple, true);
            return convert(kSimpleToDiff);
        }
        bool chainBroken = false;
        if (!m_isAGChild && (m_backupConversion & 0x4) == 0) {
            chainBroken = dmo.isLogBackupTakenOutside(dbName, static_cast<unsigned long>(m_instanceId));
        }
        if (chainBroken && !m_bLogFromFileSystem) return convert(kBrokenChain);
        if (chainBroken) {
            EV_DEBUG(m_logger, 2,
                     "Log backup has been performed since the last backup that is recored in CS and TL backup using "
                     "JXD is enabled hence, ignoring the conversion here.");
        } else {
            unsigned long threshold = 0;
            if (isLogThreshHoldKeyPresent(threshold)) {
                const unsigned long count = static_cast<unsigned long>(info.logBackupsSinceFull);
                EV_DEBUG(m_logger, 2, "LogBackupcount = [%lu] regkeyvalue = [%lu].", count, threshold);
                if (count >= threshold) {
                    const std::string countText = std::to_string(count);
                    m_logger << name.c_str() << countText.c_str();
                    m_logger.MinorEvent(kLogCountEvent, 0, 0);
                    message = "Database [" + name + "] has [" + countText +
                              "] Transaction Log Backups without a full backup. Having full backups will reduce the "
                              "chances of data loss if any log backup gets corrupted.";
                }
            }
        }
    }

    if (m_bFFG) {
        if (static_cast<uint64_t>(m_refTime.time()) > info.lastBackupTime) return convert(kContentChanged);
        return false;
    }
    if (info.pointInTimeRestored != 0) return convert(kPointInTime);
    if (info.systemDatabaseRestored != 0) return convert(kSystemRestored);
    if (!m_isAGChild && (m_backupConversion & 0x2) != 0) {
        const unsigned long since = static_cast<unsigned long>(info.lastBackupTime);
        if (dmo.isFileOrFileGroupChangedAfter(dbName, since)) {
            m_bFullConversion = true;
            return convert(kFilesChanged);
        }
        if (dmo.isFullTextCatalogAdded(databaseName.c_str(), since)) return convert(kFilesChanged);
    }
    return false;
}
