// HighAvailLiveSync: the dumps of each run read from loginfo.db, and the
// references the job holds on them.
#include "JxSQLCommon/dump/HighAvailLiveSync.h"

#include <sys/stat.h>

#include "JxSQLCommon/records/SqlStringUtils.h"
#include "JxSQLCommon/state/CLogInfoDB.h"
#include "JxSQLCommon/state/LsnOrder.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/FXPath.h"
#include "WzUtils/WzFileSystem.h"

namespace {

bool FileExists(const std::string& path) {
    struct stat info {};
    return wz::Fs().Stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

HighAvailLiveSync::~HighAvailLiveSync() { ReleaseAllReferences(); }

bool HighAvailLiveSync::startRestore(RestoreOptionsParser& parser) {
    EV_INFO(m_logger, "Started High availability Live Sync process");
    const bool result = CSQLDumpLiveSync::startRestore(parser);
    ReleaseAllReferences();
    return result;
}

void HighAvailLiveSync::BeforeLastUnmount() { ReleaseAllReferences(); }

bool HighAvailLiveSync::HoldsOnDiskLibrary() const { return m_references.HeldCount() != 0; }

void HighAvailLiveSync::ReleaseAllReferences() {
    m_references.SetJobId(static_cast<long long>(m_jobId));
    CWzError error = m_references.ReleaseAll();
    if (error.IsError()) {
        EV_WARN(m_logger, "Could not release %zu reference(s) on dumps: %s", m_references.HeldCount(),
                error.AsString().c_str());
    }
}

bool HighAvailLiveSync::UseRestoreCollectFile() {
    m_unreadThisRun.clear();  // asked once per run, after its mounts
    bool all = true;
    for (const auto& [name, info] : m_settings.databases) {
        for (const std::string& path : info.mountPaths) {
            CLogInfoDB db(path, DB_LOCALITY_1MIN_RPO);
            db.SetJobId(static_cast<long long>(m_jobId));
            if (!db.Exists()) {
                all = false;
                EV_INFO(m_logger, "Cannot find SQLite database: [%s]. Falling back to traversing the file system",
                        db.GetFullDatabaseName().c_str());
                break;  // on with the next database
            }
        }
    }
    m_logInfoDbOnAllPaths = all;
    return !all;
}

bool HighAvailLiveSync::NothingOnDisk(const LSNS&) { return false; }

CWzError HighAvailLiveSync::AddAFilesFromMountedShare(const DB_LSNS::const_iterator& dbEntry, std::string& lastLSN,
                                                      std::map<std::string, SqlAFilesPerBackup_t>& items) {
    if (!m_logInfoDbOnAllPaths) return CSQLDumpLiveSync::AddAFilesFromMountedShare(dbEntry, lastLSN, items);
    m_references.SetJobId(static_cast<long long>(m_jobId));
    const std::string& dbName = dbEntry->first;
    const DbInfo& info = dbEntry->second;

    // Dumps after the newer of the standby's last restore and the central
    // server's newest full or differential backup, compared by value.
    std::string useLSN;
    if (!lastLSN.empty() && !info.LastLSN.empty()) {
        useLSN = CompareLSN(lastLSN, info.LastLSN) > 0 ? lastLSN : info.LastLSN;
    } else {
        useLSN = lastLSN.empty() ? info.LastLSN : lastLSN;
    }
    EV_INFO(m_logger,
            "Using LastLSN [%s]. Latest LastLSN from standby node [%s], LastLSN of latest FULL/DIFF: [%s] for db [%s]",
            useLSN.c_str(), info.LastLSN.c_str(), lastLSN.c_str(), dbName.c_str());

    const size_t before = items.size();
    for (const std::string& path : info.mountPaths) {
        CLogInfoDB db(path, DB_LOCALITY_1MIN_RPO);
        db.SetJobId(static_cast<long long>(m_jobId));
        // Checked again: the database must not be created by the look-up.
        if (!db.Exists()) {
            m_unreadThisRun.insert(dbName);
            return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "Cannot find SQLite database: [%s]",
                                             db.GetFullDatabaseName().c_str());
        }
        unsigned int serial = 0;
        CWzError error = db.GetDatabaseSerialNo("", dbName, serial);
        if (error.IsError() && FXErrorUtil::GetHResult(error) == WZ_E_FAIL) {
            // Not listed there: no dumps of it on this path; the next path
            // may have them.
            EV_INFO(m_logger, "The SQLite DB [%s] does not list the database [%s]", db.GetFullDatabaseName().c_str(),
                    dbName.c_str());
            continue;
        }
        if (error.IsError()) {
            m_unreadThisRun.insert(dbName);
            return error.Push(FXCODELOC, "Failed to find the serial number for the database [%s] in the SQLite DB: [%s]",
                              dbName.c_str(), db.GetFullDatabaseName().c_str());
        }
        error = PopulateHybridList(db, path, serial, useLSN, items);
        if (error.IsError()) {
            m_unreadThisRun.insert(dbName);
            return error.Push(FXCODELOC, "Failed to get the records from SQLite DB: [%s]",
                              db.GetFullDatabaseName().c_str());
        }
    }
    if (items.size() == before) EV_INFO(m_logger, "No records found from the SQLite db for the database [%s] ", dbName.c_str());
    return CWzError::Success();
}

CWzError HighAvailLiveSync::BuildArchiveList(const std::string& dbName,
                                             std::map<std::string, SqlAFilesPerBackup_t>& items,
                                             std::list<SqlAFilesPerBackup_t>& chain) {
    if (m_unreadThisRun.count(dbName) != 0) {
        EV_ERROR(m_logger, "The dumps of database [%s] could not be read from its SQLite databases in this run",
                 dbName.c_str());
        return CWzError::Success();
    }
    return CSQLDumpLiveSync::BuildArchiveList(dbName, items, chain);
}

CWzError HighAvailLiveSync::PopulateHybridList(const CLogInfoDB& db, const std::string& mountPath, unsigned int serial,
                                               const std::string& afterLSN,
                                               std::map<std::string, SqlAFilesPerBackup_t>& items) {
    std::vector<CLogInfoDB::LogRow> rows;
    CWzError error = m_references.TakeAndCollect(db, mountPath, serial, afterLSN, rows);
    if (error.IsError()) {
        return error.Push(FXCODELOC, "Could not take the records of the SQLite db [%s]",
                          db.GetFullDatabaseName().c_str());
    }
    unsigned int added = 0;
    for (const CLogInfoDB::LogRow& row : rows) {
        std::string padded;
        error = PaddLSN(row.lastLSN, padded, kPaddedLSNWidth);
        if (error.IsError()) return error.Push(FXCODELOC, "PaddLSN failed %s", row.lastLSN.c_str());
        if (items.count(padded) != 0) {
            EV_INFO(m_logger, "Item with Last LSN [%s] is already in hybrid list. Ignoring", padded.c_str());
            continue;
        }
        LogFileInfo file;
        file.backupFile = mountPath;
        error = FXPath::Append(file.backupFile, row.fileName);
        if (error.IsError()) return error.Push(FXCODELOC, "FXPath::Append failed %s", row.fileName.c_str());
        if (!FileExists(file.backupFile)) {
            EV_INFO(m_logger, "The bak file [%s] was not found. Skipping it", file.backupFile.c_str());
            continue;
        }
        const std::string xmlPath = CLogInfoDB::DumpMetadataPath(file.backupFile);
        if (!FileExists(xmlPath)) {
            EV_INFO(m_logger, "The xml file [%s] was not found. Skipping it", xmlPath.c_str());
            continue;
        }
        file.firstLSN = row.firstLSN;
        file.lastLSN = row.lastLSN;
        file.startTime = row.startTime;
        file.finishTime = row.endTime;
        SqlAFilesPerBackup_t entry{};
        error = Populate(entry, file);
        if (error.IsError()) return error.Push(FXCODELOC, "Populate failed");
        if (added == 0) EV_INFO(m_logger, "Inserting records from SQLite into hybrid list");
        EV_INFO(m_logger, "  Inserted [%s] - FirstLSN[%s], LastLSN[%s]", row.fileName.c_str(), row.firstLSN.c_str(),
                row.lastLSN.c_str());
        items.emplace(padded, std::move(entry));
        ++added;
    }
    if (added != 0) {
        EV_INFO(m_logger, "Added %u %s to hybrid list", added, added == 1 ? "entry" : "entries");
    } else {
        EV_INFO(m_logger, "No log entry found in [%s] for live-syncing. Nothing added to hybrid list",
                db.GetFullDatabaseName().c_str());
    }
    return CWzError::Success();
}

CWzError HighAvailLiveSync::DoDbRestore(std::shared_ptr<CJxSQLVDIDumpRestore>& vdi, const std::string& databaseName,
                                        const std::string& fullPathLogFile) {
    CWzError result = CSQLDumpLiveSync::DoDbRestore(vdi, databaseName, fullPathLogFile);
    if (result.IsError() || fullPathLogFile.empty()) return result;
    // Only a dump this job took a reference on (in database mode) has one
    // to release.
    m_references.SetJobId(static_cast<long long>(m_jobId));
    bool released = false;
    CWzError error = m_references.Release(fullPathLogFile, released);
    if (error.IsError()) {
        EV_WARN(m_logger, "Failed to reduce the reference count of the record [%s]; released at the end of the job: %s",
                fullPathLogFile.c_str(), error.AsString().c_str());
    } else if (released) {
        EV_DEBUG(m_logger, 1, "Released the reference on [%s]", fullPathLogFile.c_str());
    }
    return result;
}
