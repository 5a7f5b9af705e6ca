// CSQLDump: the collect file of the dump, the dump through the dump library,
// the per-database results and the keeping of the cache.
#include "JxSQLCommon/dump/CSQLDump.h"

#include <dlfcn.h>

#include <algorithm>
#include <string>
#include <vector>

#include "JxJobClient/JXBkpJobClient.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/FXPath.h"

namespace {

constexpr uint32_t kAGDumpType = 6;
constexpr const char* kDumpEntryName = "PerformSQLDump";

using PerformSQLDumpFn = bool (*)(SubClientCache*);

}  // namespace

bool CSQLDump::generateCollectFile() {
    const std::string path = CollectFilePath();
    if (!CSQLBackup::generateCollectFile()) {
        EV_DEBUG(m_logger, 1, "Failed to create the collect file: %s", path.c_str());
        return false;
    }
    if (m_bkpPhase != JXSQL_BACKUP_LOG || isPromoteToFullSet()) return true;

    std::vector<std::string> names;
    if (!ReadFromCollectFile(path, names)) {
        EV_ERROR(m_logger, "Failed to read from collect file: %s", path.c_str());
        return false;
    }
    // A restart that kept the list an earlier attempt may already have
    // rewritten for the library: its first line then names the instance, not
    // a database. A list this attempt built holds databases only, and one of
    // them may bear the instance's name (a default instance is named after
    // its host).
    if (m_bKeptEarlierList && !names.empty() && names.front() == m_sServername) names.erase(names.begin());
    m_subClientCache.ClearDBList();
    std::sort(names.begin(), names.end(), compareNoCase);
    std::vector<std::string> lines{m_sServername};
    for (const std::string& name : names) {
        if (DoesDatabaseQualify(name)) lines.push_back(name);
    }
    // Replaced in one go: a crash or a full disk leaves the old list or the
    // whole new one, never a cut one that the library or a restart would
    // take for the whole and so leave the databases after the cut undumped.
    if (!WriteToCollectFile(path, lines, true)) {
        RaisePendingCause(kCauseCollectFileWrite, path);
        return false;
    }
    m_subClientCache.m_databaseNames.insert(lines.begin() + 1, lines.end());
    m_subClientCache.SetCollectFile(path);
    return true;
}

bool CSQLDump::DoesDatabaseQualify(const std::string& db) {
    if (db.empty() || m_bInstanceUnreachable) return false;
    CsqlDMO sql;
    if (!sql.initialize(m_sServername, false)) {
        EV_ERROR(m_logger,
                 "Failed to connect to the sql server instance [%s]. Check if sql service for this instance is "
                 "running",
                 m_sServername.c_str());
        // One cause for the job: the other databases would only repeat it.
        m_bInstanceUnreachable = true;
        RaisePendingCause(kCauseSqlConnect);
        return false;
    }
    return !SkipDatabase(sql, db);
}

bool CSQLDump::doDbSubclientBackup() {
    if (m_bkpPhase != JXSQL_BACKUP_LOG || m_bkyType != JXSQL_BACKUP_LOG || isPromoteToFullSet()) {
        return CSQLBackup::doDbSubclientBackup();
    }
    if (m_subClientCache.m_databaseNames.empty()) {
        m_successCount = 0;
        // Nothing qualified. That is a success unless the instance could not
        // be reached, in which case no database was even looked at.
        if (m_bInstanceUnreachable) {
            EV_ERROR(m_logger, "No database could be checked: the instance [%s] did not answer.",
                     m_sServername.c_str());
            return false;
        }
        return true;
    }
    // The failures that listing the databases counted (skipped databases
    // the job marks failed) stay; the dump's own failures are added to them.
    m_successCount = 0;
    EV_INFO(m_logger, "SQL TL dump initiated for [%d] database(s)",
            static_cast<int>(m_subClientCache.m_databaseNames.size()));
    if (PreTLDump()) {
        const bool dumped = DoTLDump();
        UpdateDBStatus();
        if (dumped || m_successCount != 0) (void)PostTLDump();  // failures to keep the cache are logged
    }
    return m_successCount != 0;
}

bool CSQLDump::DoTLDump() {
    void* library = CSQLClientDll().LoadSQLPmnOscLibrary();
    if (library == nullptr) {
        EV_ERROR(m_logger, "Failed to load the SQL dump library.");
        return false;
    }
    auto entry = reinterpret_cast<PerformSQLDumpFn>(dlsym(library, kDumpEntryName));
    if (entry == nullptr) {
        EV_ERROR(m_logger, "Failed to find [%s] in the SQL dump library.", kDumpEntryName);
        dlclose(library);
        return false;
    }
    m_subClientCache.SetUseCache(true);
    m_subClientCache.SetValid(true);
    m_subClientCache.SetDumpRunOnSecondary(false);
    m_subClientCache.SetIsCSOnline(true);
    m_subClientCache.m_dumpType = m_dumpType;
    EV_INFO(m_logger, "Starting SQL Transaction log dump. Dump type: %s", m_dumpType == kAGDumpType ? "AG" : "Regular");
    const bool dumped = entry(&m_subClientCache);
    dlclose(library);
    EV_INFO(m_logger, "SQL Transaction log dump %s", dumped ? "completed successfully" : "could not be completed");
    return dumped;
}

void CSQLDump::UpdateDBStatus() {
    EV_INFO(m_logger, "Updating status of the databases in the CS");
    m_successCount = 0;  // the failure count keeps those of the collect step
    for (const auto& [db, info] : m_subClientCache.m_dbBackupInfo) {
        const bool dumped = !info.resultText.empty();
        const std::string reason = dumped ? "" : "Disk cache operation failed";
        const JobManager::SQLDBStatus status = dumped ? JobManager::kDBStatusBackedUp : JobManager::kDBStatusFailed;
        if (dumped) ++m_successCount;
        else ++m_loggedDbCount;
        EV_INFO(m_logger, "Updating status tab info for db [%s], reason [%s], status [%d]", db.c_str(), reason.c_str(),
                static_cast<int>(status));
        (void)UpdateStatusTabDBInfo(db.c_str(), reason.c_str(), status, 0, JobManager::kDBPhaseNone);  // logs its own failure
    }
}

bool CSQLDump::PostTLDump() {
    if (m_isAGChild) return SendDumpInfoToMasterProcess();
    const std::string text = m_subClientCache.GetCacheAsString();
    if (text.empty()) return false;
    std::string section = "MSSQLAgent";
    const unsigned long subclientId = static_cast<unsigned long>(m_subClientCache.m_subclientId);
    if (FXPath::Append(section, "SqlBackupDump").IsError() ||
        FXPath::Append(section, std::to_string(subclientId)).IsError() ||
        JXPlatformInfo().setString(section, "Cache", text) == 0) {
        EV_DEBUG(m_logger, 1, "Failed to persist subclient cache details for subclient id: %lu", subclientId);
    } else {
        EV_DEBUG(m_logger, 1, "Persisted subclient cache details for subclient id: %lu", subclientId);
    }
    return true;
}

bool CSQLDump::SendDumpInfoToMasterProcess() {
    if (!m_isAGChild) return false;
    const std::string text = m_subClientCache.GetCacheAsString();
    SQLPmn::SQLTLDumpCache message;
    message.setint64(SQLPmn::SQLTLDumpCache::kSubclientId, static_cast<int64_t>(m_subClientCache.m_subclientId));
    message.setint64(SQLPmn::SQLTLDumpCache::kOperation, 1);
    message.setstring(SQLPmn::SQLTLDumpCache::kCacheText, text);
    // Bounded: a master that stops reading fails the send within the time-out.
    if (CWzError err = SendToMasterProcess(message); err.IsError()) {
        EV_WARN(m_logger, "Failed to send dump info to master process with error [%s].", err.AsString().c_str());
        return false;
    }
    EV_DEBUG(m_logger, 1, "Sent dump info to master process.");
    return true;
}
