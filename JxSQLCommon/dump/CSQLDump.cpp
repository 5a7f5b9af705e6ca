// CSQLDump: the collect file of the dump, the dump through the dump library,
// the per-database results and the keeping of the cache.
#include "JxSQLCommon/dump/CSQLDump.h"

#include <dlfcn.h>

#include <algorithm>
#include <string>
#include <vector>

#include "JxJobClient/JXBkpJobClient.h"
#include "JxLib/JXFile.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/FXPath.h"

namespace {

constexpr int kCauseCollectFileOpen = 0x1E00017A;
constexpr int kCauseCollectFileWrite = 0x1E000130;
constexpr int kCauseSqlServer = 0x1E000139;
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
    JXFile file;
    if (file.open(path.c_str(), JXFile::kWrite) != 0) {
        EV_ERROR(m_logger, "Failed to open the collect file [%s] for writing. Error code [%d].", path.c_str(),
                 file.getLastError());
        RaisePendingCause(kCauseCollectFileOpen, path);
        return false;
    }
    if (file.truncate() != 0 || file.putLine(m_sServername) < 0) {
        EV_ERROR(m_logger, "Failed to write the instance name [%s] to collect file [%s]. Error code [%d].",
                 m_sServername.c_str(), path.c_str(), file.getLastError());
        (void)file.close();  // the write failure is what is reported
        return false;
    }
    m_subClientCache.ClearDBList();
    std::sort(names.begin(), names.end(), compareNoCase);
    for (const std::string& name : names) {
        if (!DoesDatabaseQualify(name)) continue;
        if (file.putLine(name) < 0) {
            EV_ERROR(m_logger, "Failed to write db [%s] to collect file [%s]. Error [%d].", name.c_str(),
                     path.c_str(), file.getLastError());
            if (m_pJobClnt != nullptr) *m_pJobClnt << name.c_str();
            RaisePendingCause(kCauseCollectFileWrite, path);
            (void)file.close();  // the write failure is what is reported
            return false;
        }
        m_subClientCache.m_databaseNames.insert(name);
    }
    if (int rc = file.close(); rc != 0) {
        EV_ERROR(m_logger, "Failed to write the collect file [%s]. Error [%d].", path.c_str(), rc);
        RaisePendingCause(kCauseCollectFileWrite, path);
        return false;
    }
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
        RaisePendingCause(kCauseSqlServer);
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
