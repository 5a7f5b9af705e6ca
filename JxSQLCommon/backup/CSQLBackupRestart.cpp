// Restart offsets of a restarted job and the clean-up of databases whose
// backups the media agent never committed.
//
// A restart text holds one group per data stream: "-o ", a byte offset in
// the collect file, "|", a second number. A restarted job resumes at the
// smallest offset, provided the text has as many groups as the phase had
// streams when it started (the stream-info file keeps that count).
#include <cstdlib>
#include <string>
#include <vector>

#include "JxJobClient/JXBkpJobClient.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"

namespace {

constexpr size_t kLineBuffer = 1024;

// The groups of a restart text: every "-o " starts one, blanks carry no
// meaning. The text before the first "-o " is not a group.
std::vector<std::string> RestartGroups(const std::string& restart) {
    std::string text;
    for (size_t i = 0; i < restart.size();) {
        if (restart.compare(i, 3, "-o ") == 0) {
            text += '@';
            i += 3;
        } else {
            if (restart[i] != ' ') text += restart[i];
            ++i;
        }
    }
    std::vector<std::string> pieces;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find('@', start);
        pieces.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) break;
        start = at + 1;
    }
    pieces.erase(pieces.begin());
    return pieces;
}

// The leading decimal digits of a text as a number; 0 without any.
unsigned long LeadingNumber(const std::string& text) {
    unsigned long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        if (value > (~0UL - 9) / 10) break;  // larger than any file offset
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    return value;
}

std::string Joined(const std::vector<std::string>& names, const char* separator, bool trailing) {
    std::string text;
    for (size_t i = 0; i < names.size(); ++i) {
        text += names[i];
        if (trailing || i + 1 < names.size()) text += separator;
    }
    return text;
}

}  // namespace

bool CSQLBackup::populateRestartOffsetMap(std::map<int, int64_t>& offsets, const std::string& restart) {
    for (const std::string& group : RestartGroups(restart)) {
        const size_t bar = group.find('|');
        if (bar == std::string::npos || group.find('|', bar + 1) != std::string::npos) continue;
        const int key = std::atoi(group.substr(0, bar).c_str());
        const int64_t value = std::strtoll(group.c_str() + bar + 1, nullptr, 10);
        offsets[key] = value;
        EV_DEBUG(m_logger, 2, "Found restart offset [%d:%lld].", key, static_cast<long long>(value));
    }
    return true;
}

int64_t CSQLBackup::getRestartOffset(const std::map<int, int64_t>& offsets, int key) {
    const auto it = offsets.find(key);
    if (it == offsets.end() || it->second == -1) return 0;
    return it->second;
}

bool CSQLBackup::VerifyAndGenerateRestartOffset(std::string& restart, bool fromJobClient) {
    int streams = GetStreamInfoFromFile(m_bkpPhase);
    if (!fromJobClient && streams == 0) {
        if (!GenerateStreamInfoFile(m_bkpPhase, 0)) return false;
        streams = GetStreamCount(m_bkpPhase);
    }
    if (streams != GetStreamCount(m_bkpPhase) && !GenerateStreamInfoFile(m_bkpPhase, GetStreamCount(m_bkpPhase))) {
        return false;
    }
    if (restart.empty()) return true;

    const std::vector<std::string> groups = RestartGroups(restart);
    if (groups.size() != static_cast<size_t>(streams)) {
        restart.clear();
        EV_ERROR(m_logger,
                 "Old number of stream [%d] is not same as number of streams offset [%lu]. Starting backup from "
                 "begining.",
                 streams, static_cast<unsigned long>(groups.size()));
        return true;
    }
    const std::string* chosen = nullptr;
    for (const std::string& group : groups) {
        if (group.empty()) continue;
        if (chosen == nullptr || LeadingNumber(group) < LeadingNumber(*chosen)) chosen = &group;
    }
    restart = chosen == nullptr ? std::string() : *chosen;
    return true;
}

bool CSQLBackup::initializeBackupRestartJob(SQLDatabaseStatusMap& statusMap) {
    // The job base reads the reduced text as the offset the walk starts at.
    if (!VerifyAndGenerateRestartOffset(m_fullRestartString, false)) return false;
    const unsigned long offset = LeadingNumber(m_fullRestartString);
    bool found = false;
    for (const auto& entry : statusMap) found = found || entry.second.status == JobManager::kDBStatusBackedUp;
    EV_DEBUG(m_logger, 3, "Collect file offset [%lu] and some databases [%s] in CS DB.", offset,
             found ? "FOUND" : "NOT FOUND");
    if (offset < 1 && !found) return true;

    const std::string path = CollectFilePath();
    JXFile file;
    if (file.open(path.c_str(), JXFile::kRead) != 0) {
        EV_WARN(m_logger, "Failed to open the collect file [%s]. ErrorCode [%d].", path.c_str(), file.getLastError());
        RaisePendingCause(kCauseCollectFileRead, path);
        return false;
    }
    (void)updateSuccessCount(&file, statusMap, offset);  // always true
    EV_DEBUG(m_logger, 2, "Get CurrentDb to be Backedup at collect file offset [%lu].", offset);

    bool result = true;
    if (!m_bLogFromFileSystem) {
        if (!cleanUncommitedEntries(&file, statusMap)) {
            EV_ERROR(m_logger,
                     "Failed to clean up CS Table entries for the DB's which were not actually committed to the "
                     "tape.");
            RaisePendingCause(kCauseJobTerminated, m_backupLevelName);
            result = false;
        }
    } else {
        EV_DEBUG(m_logger, 2, "TL backup using JXD is enabled hence uncommited entries will not be cleaned up.");
    }
    (void)file.close();  // opened for reading: nothing to lose
    RecreatePromotedCollectFile(statusMap);
    return result;
}

bool CSQLBackup::getLastBackedupDbName(JXFile* file, const SQLDatabaseStatusMap& statusMap, std::string& name) {
    const uint64_t offset = getCollectFileOffset();
    if (file == nullptr || file->seek(static_cast<int64_t>(offset), JXFile::kFromStart) < 0) {
        EV_ERROR(m_logger, "Failed to seek offset [%lu] in file with error [%d].", static_cast<unsigned long>(offset),
                 file == nullptr ? 0 : file->getLastError());
        return false;
    }
    char line[kLineBuffer];
    while (file->getLine(line, sizeof line) == 1) {
        const auto it = statusMap.find(line);
        if (it != statusMap.end() && it->second.status == JobManager::kDBStatusBackedUp) {
            name = line;
            break;
        }
    }
    EV_DEBUG(m_logger, 2, "Current database to be backed-up at collect file offset [%lu] is [%s].",
             static_cast<unsigned long>(offset), name.c_str());
    if (name.empty()) EV_WARN(m_logger, "No database returned for last backup.");
    return true;
}

bool CSQLBackup::cleanUncommitedEntries(JXFile* file, const SQLDatabaseStatusMap& statusMap) {
    std::string name;
    if (!getLastBackedupDbName(file, statusMap, name)) {
        EV_ERROR(m_logger, "Failed to get database name at collect file offset [%lu].",
                 static_cast<unsigned long>(getCollectFileOffset()));
        return false;
    }
    if (name.empty()) return true;
    CSQLClientDll requester;
    std::vector<std::string> cleaned;
    const bool result = requester.cleanUncommitedEntries(m_jobId, static_cast<unsigned long>(getSqlBackupType(true)),
                                                         name, cleaned);
    if (!cleaned.empty()) {
        EV_DEBUG(m_logger, 5, "Databases [%s] entries got cleaned up from CS DB.", Joined(cleaned, ",", false).c_str());
        const uint64_t n = cleaned.size();
        m_successCount = m_successCount > n ? m_successCount - n : 0;
        m_filesSoFar = m_filesSoFar > static_cast<int64_t>(n) ? m_filesSoFar - static_cast<int64_t>(n) : 0;
    }
    return result;
}

bool CSQLBackup::checkForUncommittedDbs() {
    const std::string path = CollectFilePath();
    std::string restart = m_pJobClnt != nullptr ? m_pJobClnt->getRestartString(0) : std::string();
    EV_DEBUG(m_logger, 2, "RESTART STRING = %s", restart.c_str());
    std::string setting;
    if (JXPlatformInfo().getString("MSSQLAgent", "nCollectFileOffset", setting) != 0) restart = setting;
    if (!VerifyAndGenerateRestartOffset(restart, true)) return false;
    const unsigned long offset = LeadingNumber(restart);
    EV_DEBUG(m_logger, 2, "Restart offset after verifying restart string is [%lu].", offset);

    JXFile file;
    if (file.open(path.c_str(), JXFile::kRead) != 0) {
        EV_ERROR(m_logger, "Failed to open the collect file [%s]. ErrorCode [%d]", path.c_str(), file.getLastError());
        RaisePendingCause(kCauseCollectFileRead, path);
        return false;
    }

    std::vector<std::string> uncommitted;
    const bool stopped = quit() || m_dataTransferHandler.isStopJob() || m_bJobFailed;
    if (stopped && offset == 0) {
        JobManager::SQLJobInfo jobInfo;
        SQLDatabaseStatusMap statusMap;
        bool noJobInfo = false;
        if (!GetDatabasesStatusInfo(jobInfo, statusMap, noJobInfo)) {
            EV_WARN(m_logger, "Failed to get databases status from status tab info. Cleanup cannot be performed.");
            return false;
        }
        if (noJobInfo || statusMap.empty()) {
            EV_DEBUG(m_logger, 2, "Databases status not found from status tab info. There is nothing to cleanup.");
            return true;
        }
        std::string last;
        std::vector<JobManager::SQLStatusTab> rows;
        (void)jobInfo.getlistobject(JobManager::SQLJobInfo::kStatusTabs, rows);  // no rows: nothing backed up
        for (const auto& row : rows) {
            if (row.getint64(JobManager::SQLStatusTab::kStatus) == JobManager::kDBStatusBackedUp &&
                row.getint64(JobManager::SQLStatusTab::kBackupPhase) == static_cast<int64_t>(m_bkpPhase)) {
                last = row.getstring(JobManager::SQLStatusTab::kDatabaseName);
                break;
            }
        }
        if (last.empty()) {
            EV_DEBUG(m_logger, 2, "No databases got backed up in this phase so far. Nothing to cleanup.");
            return true;
        }
        CSQLClientDll requester;
        if (!requester.cleanUncommitedEntries(m_jobId, static_cast<unsigned long>(getSqlBackupType(true)), last,
                                              uncommitted)) {
            EV_WARN(m_logger, "Failed to cleanup uncommitted entries.");
            return false;
        }
    } else if (offset > 0) {
        if (file.seek(static_cast<int64_t>(offset), JXFile::kFromStart) < 0) {
            EV_ERROR(m_logger, "Failed to seek in the file [%s] seek value[%lu]. ErrorCode [%d]", path.c_str(), offset,
                     file.getLastError());
            return false;
        }
        char line[kLineBuffer];
        if (file.getLine(line, sizeof line) != 1 || file.getLine(line, sizeof line) != 1) return true;
        CSQLClientDll requester;
        if (!requester.cleanUncommitedEntries(m_jobId, static_cast<unsigned long>(getSqlBackupType(true)), line,
                                              uncommitted)) {
            EV_WARN(m_logger, "Failed to cleanup uncommitted entries");
            return false;
        }
        if (uncommitted.empty()) return true;
    } else {
        return true;
    }

    for (const std::string& name : uncommitted) HandleUncommittedDatabase(name);
    if (m_pBkpJobClnt != nullptr) {
        if (offset > 0) (void)m_pBkpJobClnt->setFilesSoFar(m_filesSoFar);
        (void)m_pBkpJobClnt->addBackupFileFailures(static_cast<int64_t>(uncommitted.size()));
    }
    EV_DEBUG(m_logger, 2, "Db backups that was not committed to media = %s", Joined(uncommitted, ", ", true).c_str());
    return true;
}

void CSQLBackup::HandleUncommittedDatabase(const std::string& name) {
    // In a log phase the log records were read but never reached the media:
    // only a full backup brings the database's chain back. When the full list
    // cannot take it, nothing would back it up: it fails instead.
    if (m_bkpPhase == JXSQL_BACKUP_LOG && AddConvertedDBToCollectFile(name, JXSQL_BACKUP_FULL)) {
        (void)UpdateStatusTabDBInfo(name.c_str(),
                                    "Data Commit failed in media agent, so database got promoted to [FULL].",
                                    JobManager::kDBStatusConverted, 2, JobManager::kDBPhaseFull);
        return;
    }
    logDatabaseBackupStatus(name, /*unused=*/false, /*count=*/true);
    (void)UpdateStatusTabDBInfo(name.c_str(), "Data Commit failed in media agent.", JobManager::kDBStatusFailed, 0,
                                JobManager::kDBPhaseNone);
    if (m_successCount > 0) --m_successCount;
    if (m_filesSoFar > 0) --m_filesSoFar;
}

bool CSQLBackup::isCopiedDB(const std::string& databaseName, const std::string& baseName) {
    constexpr size_t kCopyPrefixLength = 22;  // "jx_copy_" and a 14-digit stamp
    if (databaseName.size() <= kCopyPrefixLength) {
        EV_DEBUG(m_logger, 5, "DB [%s] is not copied DB.", databaseName.c_str());
        return false;
    }
    if (databaseName.compare(0, 8, "jx_copy_") != 0 || databaseName.substr(kCopyPrefixLength) != baseName) {
        return false;
    }
    EV_DEBUG(m_logger, 5, "DB [%s] is copied DB and will be deleted.", databaseName.c_str());
    return true;
}
