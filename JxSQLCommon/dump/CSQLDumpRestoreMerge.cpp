// CSQLDumpRestore: the dump files of each database merged into its chain by
// LSN, what the merge needs to know about the databases (their last restore
// and their subclients), and the application ids to mount.
#include <strings.h>

#include <cinttypes>
#include <memory>

#include "JXAppMgr/ApplProperties.h"
#include "JXAppMgr/ApplicationId.h"
#include "JXAppMgr/ClientApplicationList.h"
#include "JxSQLCommon/dump/CSQLDumpRestore.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlStringUtils.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlDbState.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/FXString.h"

namespace {

constexpr char kEntrySeparator = '\x12';
constexpr uint64_t kAppTypeSql = 81;
constexpr unsigned int kDatabaseSubclientType = 1;
constexpr const char* kDoNotBackup = "Do Not Backup";

// The name the database's dumps and markers carry.
std::string SourceName(const SqlRestoreDbInfo_t& db) { return db.sDbName.substr(0, db.sDbName.find(kEntrySeparator)); }

}  // namespace

CWzError Populate(SqlAFilesPerBackup_t& out, const LogFileInfo& in) {
    out.jobId = 0;
    out.applicationId = 0;
    out.backupType = 'L';
    out.vssFlag = false;
    out.sFirstLsn = in.firstLSN;
    out.sLastLsn = in.lastLSN;
    out.sFullPathLogFile = in.backupFile;
    out.startTime = static_cast<uint64_t>(in.startTime);
    out.endTime = static_cast<uint64_t>(in.finishTime);
    out.afileType = AFileType_RestoreFromMediaAgentDump;
    return CWzError::Success();
}

std::string GetDMOErrorString(CsqlDMO& dmo, const std::string& text) {
    const std::string error = FXString::ToString(dmo.getErrorString());
    return error.empty() ? text : error + " " + text;
}

CWzError CSQLDumpRestore::AddBackupInfoFromMountedShare(std::list<SqlRestoreDbInfo_t>& dbs) {
    if (dbs.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "db is empty");
    CWzError error = PreRestore(m_settings, m_restoreDbList);
    if (error.IsError()) {
        EV_DEBUG(m_logger, 1, "PreRestore() failed with [%s] wont be able to restore from dump location",
                 error.AsString().c_str());
        bRestoreFromDump = false;
        EV_DEBUG(m_logger, 1, "AddBackupInfoFromMountedShare() bypassed restore from dump off");
        EV_INFO(m_logger, "Restore from dump location is off; restoring the backups of the central server.");
        return CWzError::Success();
    }
    for (SqlRestoreDbInfo_t& db : dbs) {
        error = AddBackupInfoFromMountedShare(db, db.restoreChain);
        if (error.IsError()) {
            EV_ERROR(m_logger, "AddBackupInfoFromMountedShare(%s) failed with %s", db.sDbName.c_str(),
                     error.AsString().c_str());
            continue;
        }
        bRestoreFromDump = true;
        EV_DEBUG(m_logger, 1, "Turning on restore from dump for %s", db.sDbName.c_str());
    }
    return CWzError::Success();
}

CWzError CSQLDumpRestore::AddBackupInfoFromMountedShare(const SqlRestoreDbInfo_t& db,
                                                        std::list<SqlAFilesPerBackup_t>& chain) {
    const std::string source = SourceName(db);
    auto entry = m_settings.databases.find(source);
    if (entry == m_settings.databases.end()) {
        EV_DEBUG(m_logger, 1, "db %s not found", source.c_str());
        return CWzError::Success();
    }
    DbInfo& info = entry->second;
    info.selected = true;
    (void)NothingOnDisk(info.logFiles);  // its answer changes nothing here

    std::map<std::string, SqlAFilesPerBackup_t> items;
    std::string lastLSN;
    bool addDumps = true;
    EV_INFO(m_logger, "Processing db [%s]", source.c_str());
    const bool pointInTime = (m_restoreOptions.optionFlags & kRstPointInTime) != 0 || m_restoreOptions.pointInTime != 0;
    for (SqlAFilesPerBackup_t backup : chain) {
        std::string padded;
        CWzError error = PaddLSN(backup.sLastLsn, padded, kPaddedLSNWidth);
        if (error.IsError()) return error.Push(FXCODELOC, "PaddLSN failed %s", backup.sLastLsn.c_str());
        if (items.count(padded) != 0) {
            EV_DEBUG(m_logger, 1, "  Item %s in list", backup.sLastLsn.c_str());
            continue;
        }
        if (!info.PaddedLastLSN.empty() && padded <= info.PaddedLastLSN) {
            EV_INFO(m_logger, "  Item %s older than %s. Skipped", backup.sLastLsn.c_str(), info.LastLSN.c_str());
            continue;
        }
        if (backup.backupType == 'D' || backup.backupType == 'I') lastLSN = backup.sLastLsn;
        backup.afileType = 0;
        const uint64_t stamp = backup.referenceTime;
        items.emplace(padded, std::move(backup));
        if (pointInTime && m_restoreOptions.pointInTime <= stamp) {
            addDumps = false;
            break;
        }
    }
    if (!lastLSN.empty()) EV_DEBUG(m_logger, 1, "Using %s as last LSN", lastLSN.c_str());
    if (addDumps) {
        CWzError added = AddAFilesFromMountedShare(entry, lastLSN, items);
        if (added.IsError()) EV_DEBUG(m_logger, 1, "No dump files added: %s", added.GetMessage().c_str());
    } else {
        EV_DEBUG(m_logger, 1, "Skipping logs on disc");
    }
    return BuildArchiveList(source, items, chain);
}

CWzError CSQLDumpRestore::AddAFilesFromMountedShare(const DB_LSNS::const_iterator& dbEntry, std::string& lastLSN,
                                                    std::map<std::string, SqlAFilesPerBackup_t>& items) {
    std::string paddedLast;
    CWzError error = PaddLSN(lastLSN, paddedLast, kPaddedLSNWidth);
    if (error.IsError()) return error.Push(FXCODELOC, "PaddLSN failed %s", lastLSN.c_str());
    const DbInfo& info = dbEntry->second;
    const bool pointInTime = (m_restoreOptions.optionFlags & kRstPointInTime) != 0 || m_restoreOptions.pointInTime != 0;
    for (const auto& [key, file] : info.logFiles) {
        std::string padded;
        error = PaddLSN(file.lastLSN, padded, kPaddedLSNWidth);
        if (error.IsError()) return error.Push(FXCODELOC, "PaddLSN failed %s", file.lastLSN.c_str());
        if (items.count(padded) != 0) {
            EV_DEBUG(m_logger, 1, "Item %s in list", file.lastLSN.c_str());
            continue;
        }
        if (!info.PaddedLastLSN.empty() && padded <= info.PaddedLastLSN) {
            EV_DEBUG(m_logger, 1, "Item %s older than %s [%s]. Skipping it", file.lastLSN.c_str(),
                     info.LastLSN.c_str(), file.backupFile.c_str());
            continue;
        }
        if (!lastLSN.empty() && padded < paddedLast) {
            EV_DEBUG(m_logger, 1, "%s too old, skipping %s", file.lastLSN.c_str(), file.backupFile.c_str());
            continue;
        }
        SqlAFilesPerBackup_t entry{};
        error = Populate(entry, file);
        if (error.IsError()) return error.Push(FXCODELOC, "Populate failed");
        items.emplace(padded, std::move(entry));
        if (!pointInTime) continue;
        if (m_restoreOptions.pointInTime <= static_cast<uint64_t>(file.finishTime)) {
            CSQLClientDll client;
            std::string when, finished;
            client.convertUnixTimeToAsciiDate(static_cast<long>(m_restoreOptions.pointInTime), when, m_dateFormat,
                                              true);
            client.convertUnixTimeToAsciiDate(static_cast<long>(file.finishTime), finished, m_dateFormat, true);
            EV_DEBUG(m_logger, 1, "Last log: %s %s %s %s", file.lastLSN.c_str(), file.backupFile.c_str(), when.c_str(),
                     finished.c_str());
            return CWzError::Success();
        }
    }
    return CWzError::Success();
}

CWzError CSQLDumpRestore::BuildArchiveList(const std::string&, std::map<std::string, SqlAFilesPerBackup_t>& items,
                                           std::list<SqlAFilesPerBackup_t>& chain) {
    if (items.empty()) return CWzError::Success();
    chain.clear();
    for (auto& [key, backup] : items) chain.push_back(backup);
    return CWzError::Success();
}

bool CSQLDumpRestore::NothingOnDisk(const LSNS& logFiles) { return logFiles.empty(); }

bool CSQLDumpRestore::UseRestoreCollectFile() { return true; }

CWzError CSQLDumpRestore::GetDatabases(DB_LSNS& databases) {
    for (const SqlRestoreDbInfo_t& db : m_restoreDbList) {
        DbInfo info;
        for (const SqlAFilesPerBackup_t& backup : db.restoreChain) info.appIDs.insert(backup.applicationId);
        // Keyed by the name the dumps carry; the last restore is asked of the
        // database on the instance, which may have a new name.
        const std::string key = SourceName(db);
        info.restoreName = TargetName(db);
        EV_DEBUG(m_logger, 1, "GetRestoreInfo(%s)", info.restoreName.c_str());
        if (GetRestoreInfo(info.restoreName, info).IsSuccess()) {
            EV_DEBUG(m_logger, 1, "XmlDBLastRestoreInfo=%s", info.XmlDBLastRestoreInfo.c_str());
        }
        databases.emplace(key, std::move(info));
    }
    if (databases.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "No dbs found");
    return CWzError::Success();
}

CWzError CSQLDumpRestore::GetDatabases(std::vector<std::string>& names) {
    for (const SqlRestoreDbInfo_t& db : m_restoreDbList) names.push_back(SourceName(db));
    if (names.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "No dbs found");
    return CWzError::Success();
}

CWzError CSQLDumpRestore::GetRestoreInfo(const std::string& dbName, DbInfo& info) {
    if (dbName.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "databaseName is empty");
    CWzError error = GetRestoreInfo(dbName, info.XmlDBLastRestoreInfo);
    if (error.IsError()) return error.Push(FXCODELOC, "GetRestoreInfo(%s) failed", dbName.c_str());
    SQLPmn::DBLastRestoreInfo last;
    const int read = last.unserialize(info.XmlDBLastRestoreInfo);
    if (read != 0) {
        EV_WARN(m_logger, "Failed to unserialize the last restore info for database [%s] with error [%d]",
                dbName.c_str(), read);
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL,
                                         "Failed to unserialize the last restore info for database [%s] with error [%d]",
                                         dbName.c_str(), read);
    }
    if (last.isSet(SQLPmn::DBLastRestoreInfo::kText)) info.lastRestoreText = last.getstring(SQLPmn::DBLastRestoreInfo::kText);
    if (last.isSet(SQLPmn::DBLastRestoreInfo::kFirstLsn)) {
        info.FirstLSN = last.getstring(SQLPmn::DBLastRestoreInfo::kFirstLsn);
        error = PaddLSN(info.FirstLSN, info.PaddedFirstLSN, kPaddedLSNWidth);
        if (error.IsError()) return error.Push(FXCODELOC, "oDBLastRestoreInfo.getFirstLSN(%s) failed", dbName.c_str());
    }
    if (last.isSet(SQLPmn::DBLastRestoreInfo::kLastLsn)) {
        info.LastLSN = last.getstring(SQLPmn::DBLastRestoreInfo::kLastLsn);
        error = PaddLSN(info.LastLSN, info.PaddedLastLSN, kPaddedLSNWidth);
        if (error.IsError()) return error.Push(FXCODELOC, "oDBLastRestoreInfo.getLastLSN(%s) failed", dbName.c_str());
    }
    if (info.PaddedLastLSN.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "PaddedLastLSN is empty");
    if (info.PaddedFirstLSN.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "PaddedFirstLSN is empty");
    return CWzError::Success();
}

CWzError CSQLDumpRestore::GetRestoreInfo(const std::string& dbName, std::string& xml) {
    if (dbName.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "databaseName is empty");
    if (m_sServername.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "m_sServername is empty");
    CsqlDMO dmo;
    if (!dmo.initialize(m_sServername, false)) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "dmo.initialize() failed [%s]",
                                         GetDMOErrorString(dmo, m_sServername).c_str());
    }
    int status = 1;
    std::string text;
    if (!dmo.getDatabaseStatus(m_sServername, dbName, status, text)) {
        EV_WARN(m_logger, "Failed to get status of database [%s].", dbName.c_str());
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "Failed to get status of the database [%s]",
                                         dbName.c_str());
    }
    if (status != SQLDB_STATE_RESTORING && status != SQLDB_STATE_STANDBY) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "Database [%s] is not in StandBy/Restoring state.",
                                         dbName.c_str());
    }
    if (!dmo.getDBLastRestoreInfo(FXString::ToWstring(dbName), m_nzdstHandling, xml)) {
        EV_ERROR(m_logger, "Failed to get last restore info of database [%s].", dbName.c_str());
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "Failed to get last restore info of database [%s]",
                                         dbName.c_str());
    }
    return CWzError::Success();
}

CWzError CSQLDumpRestore::CreateCurrentApplicationIDMap(const std::list<SqlRestoreDbInfo_t>& dbList, AppIDMap& map) {
    if (dbList.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "dbList is empty");
    map.clear();
    // The dumps lie under the folders of the subclients that backed the
    // source databases up: the database subclients of the source instance's
    // default backup set, and its Do-Not-Backup subclient.
    const uint64_t clientId = m_restoreOptions.sourceClientId;
    uint64_t backupSetId = 0;
    std::string backupSetName;
    if (ClientApplicationList::getDefaultBackupSet(clientId, kAppTypeSql, m_restoreOptions.sourceInstanceId,
                                                   backupSetId, backupSetName) != 0) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "getDefaultBackupSet failed for %" PRIu64, clientId);
    }
    std::list<uint64_t> ids;
    std::list<std::string> names;
    if (ClientApplicationList::getSubclientList(ids, names, kAppTypeSql, backupSetId, nullptr, 6) != 0) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "getSubclientList failed");
    }
    auto name = names.begin();
    for (uint64_t id : ids) {
        const std::string subclientName = name != names.end() ? *name++ : std::string();
        ApplicationId application(m_jxCellId, id);
        MsSqlSubclient* subclient = application.getSubclient();
        if (subclient == nullptr) {
            return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "MsSqlBackpack pointer not found");
        }
        unsigned int type = 0;
        const bool databases = subclient->getSQLSubclientType(type) == 0 && type == kDatabaseSubclientType;
        if (!databases && strcasecmp(subclientName.c_str(), kDoNotBackup) != 0) continue;
        PropertiesList content;
        if (ApplProperties(id).getProperties(content, nullptr) != 0) continue;
        for (const std::shared_ptr<ApplProperty>& property : content.getList()) {
            if (property->getType() != kApplPropertyTypeSqlDatabase) continue;
            map[property->getValue()] = id;  // a later subclient wins
        }
    }
    if (map.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "ids is empty");
    return CWzError::Success();
}

CWzError CSQLDumpRestore::GetCurrentApplicationIDForDB(const AppIDMap& map, const std::string& db, uint64_t& id) {
    id = 0;
    if (db.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "database is empty");
    if (map.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "map is empty");
    auto found = map.find(db);
    if (found == map.end()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "database not found in map");
    id = found->second;
    return CWzError::Success();
}

CWzError CSQLDumpRestore::GetApplicationIDsFromAfiles(const SqlRestoreDbInfo_t& db, std::set<uint64_t>& ids) {
    for (const SqlAFilesPerBackup_t& backup : db.restoreChain) {
        if (backup.applicationId != 0) ids.insert(backup.applicationId);
    }
    return CWzError::Success();
}

CWzError CSQLDumpRestore::GetApplicationIDs(const std::list<SqlRestoreDbInfo_t>& dbList, std::set<uint64_t>& ids) {
    ids.clear();
    AppIDMap map;
    CWzError error = CreateCurrentApplicationIDMap(dbList, map);
    if (error.IsError()) EV_DEBUG(m_logger, 1, "CreateCurrentApplicationIDMap failed %s", error.GetMessage().c_str());
    std::set<uint64_t> candidates;
    for (const SqlRestoreDbInfo_t& db : dbList) {
        if (!map.empty()) {
            uint64_t id = 0;
            if (GetCurrentApplicationIDForDB(map, SourceName(db), id).IsSuccess()) {
                candidates.insert(id);
            } else {
                EV_DEBUG(m_logger, 3, "Could not find app ID for db [%s]", db.sDbName.c_str());
            }
        }
        error = GetApplicationIDsFromAfiles(db, candidates);
        if (error.IsError()) {
            EV_DEBUG(m_logger, 1, "GetApplicationIDsFromAfiles failed [%s] %s", db.sDbName.c_str(),
                     error.GetMessage().c_str());
        }
    }
    for (uint64_t id : candidates) {
        if (DumpSweepUtils().HasValidMountPoints(id, 0, true, true)) ids.insert(id);
    }
    if (ids.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "No appIDs could be found");
    return CWzError::Success();
}
