// LiveSyncReferences: taking, remembering and releasing the references of
// one live-sync job.
#include "JxSQLCommon/state/LiveSyncReferences.h"

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/DumpLayoutConstants.h"
#include "JxSQLCommon/state/DB_LOCALITY.h"
#include "WzUtils/FXPath.h"
#include "WzUtils/FXString.h"
#include "WzUtils/WzClock.h"
#include "WzUtils/WzFileSystem.h"

namespace {

// Seconds from 1601-01-01 to 1970-01-01.
constexpr int64_t kEpochDifferenceSeconds = 11644473600LL;
constexpr int64_t kTicksPerSecond = 10000000LL;

int64_t NowSeconds() { return wz::NowTicks() / kTicksPerSecond - kEpochDifferenceSeconds; }

std::string Resolved(const std::string& path) {
    std::string resolved;
    return wz::Fs().RealPath(path, resolved) == 0 ? resolved : path;
}

}  // namespace

CWzError LiveSyncReferences::TakeAndCollect(const CLogInfoDB& db, const std::string& folder, unsigned int serial,
                                            const std::string& afterLSN, std::vector<CLogInfoDB::LogRow>& rows) {
    const std::string fileKey = Resolved(db.GetFullDatabaseName());
    std::set<int64_t> held;
    auto known = m_files.find(fileKey);
    if (known != m_files.end()) {
        for (const auto& [id, row] : known->second.rows) {
            if (row.serial == serial) held.insert(id);
        }
    }
    std::vector<int64_t> taken;
    std::vector<int64_t> dropped;
    CWzError error = db.ReferenceRowsAfter(serial, afterLSN, held, NowSeconds(), rows, taken, dropped);
    if (error.IsError()) return error;
    for (int64_t id : dropped) Forget(fileKey, id);
    if (!taken.empty() || !rows.empty()) {
        File& file = m_files[fileKey];
        if (file.folder.empty()) file.folder = Resolved(folder);
        for (int64_t id : taken) file.rows[id].serial = serial;
        for (const CLogInfoDB::LogRow& row : rows) {
            auto entry = file.rows.find(row.id);
            if (entry == file.rows.end()) continue;
            std::string backupPath = folder;
            if (FXPath::Append(backupPath, row.fileName).IsError()) continue;  // no path, nothing restores by it
            entry->second.backupPaths.insert(backupPath);
            m_byBackup[backupPath] = {fileKey, row.id};
        }
        if (file.rows.empty()) m_files.erase(fileKey);
    }
    EvDebug log;
    log.setJobId(static_cast<uint64_t>(m_jobId));
    log.Tagged(__FILE_NAME__, __LINE__, EvDebug::kInfo, 1,
               "References in [%s]: %zu listed, %zu taken, %zu released as no longer listed", fileKey.c_str(),
               rows.size(), taken.size(), dropped.size());
    return CWzError::Success();
}

CWzError LiveSyncReferences::Release(const std::string& backupPath, bool& released) {
    released = false;
    auto found = m_byBackup.find(backupPath);
    if (found == m_byBackup.end()) {
        // The dump may have been restored under its restore-collect name.
        std::string plain = backupPath;
        if (FXString::RemoveRightNoCase(plain, sqlosc::RESTORE_POSTFIX)) found = m_byBackup.find(plain);
    }
    if (found == m_byBackup.end()) return CWzError::Success();
    const auto [fileKey, id] = found->second;
    CLogInfoDB db(m_files[fileKey].folder, DB_LOCALITY_1MIN_RPO);
    db.SetJobId(m_jobId);
    CWzError error = db.ReleaseReferences({id});
    if (error.IsError()) return error;
    Forget(fileKey, id);
    released = true;
    return CWzError::Success();
}

CWzError LiveSyncReferences::ReleaseAll() {
    CWzError first = CWzError::Success();
    for (auto file = m_files.begin(); file != m_files.end();) {
        std::vector<int64_t> ids;
        for (const auto& [id, row] : file->second.rows) ids.push_back(id);
        CLogInfoDB db(file->second.folder, DB_LOCALITY_1MIN_RPO);
        db.SetJobId(m_jobId);
        CWzError error = db.ReleaseReferences(ids);
        if (error.IsError()) {
            if (!first.IsError()) first = error;
            ++file;
            continue;
        }
        for (int64_t id : ids) {
            for (const std::string& path : file->second.rows[id].backupPaths) m_byBackup.erase(path);
        }
        file = m_files.erase(file);
    }
    return first;
}

size_t LiveSyncReferences::HeldCount() const {
    size_t count = 0;
    for (const auto& [key, file] : m_files) count += file.rows.size();
    return count;
}

void LiveSyncReferences::Forget(const std::string& fileKey, int64_t id) {
    auto file = m_files.find(fileKey);
    if (file == m_files.end()) return;
    auto row = file->second.rows.find(id);
    if (row == file->second.rows.end()) return;
    for (const std::string& path : row->second.backupPaths) m_byBackup.erase(path);
    file->second.rows.erase(row);
    if (file->second.rows.empty()) m_files.erase(file);
}
