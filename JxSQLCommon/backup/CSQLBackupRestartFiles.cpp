// The collect file of a restarted or promoted phase, rebuilt from the job's
// status tab when the file on disk is empty, and the counters a restarted
// job takes over from its earlier attempt.
#include <algorithm>
#include <string>
#include <vector>

#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/records/SqlJobCauses.h"

namespace {
constexpr size_t kLineBuffer = 1024;
}  // namespace

bool CSQLBackup::GenerateSQLRestartOrPromotedFile(unsigned long& collectFileSize, JobManager::SQLJobInfo& jobInfo,
                                                  bool promoted) {
    const std::string path = CollectFilePath();
    std::vector<std::string> names;
    if (collectFileSize != 0) {
        if (!promoted) return true;  // a restart keeps its list as it is
        if (!populateDBNamesFromCollectFile(names, path)) {
            EV_ERROR(m_logger, "Failed to read from collect file [%s].", path.c_str());
            return false;
        }
        EnterListedDatabases(names);
        return true;
    }
    if (!GetDBsFromJobStatusTabInfo(jobInfo, names, promoted)) return false;
    std::sort(names.begin(), names.end(), CSQLBackup::compareNoCase);
    if (names.empty()) {
        EV_DEBUG(m_logger, 2, "No information found from Status tab.");
        return false;
    }
    // Replaced in one go: a crash leaves no list (rebuilt again from the
    // status tab) or the whole one, never a cut one a restart would trust.
    if (!WriteToCollectFile(path, names, true)) {
        EV_DEBUG(m_logger, 2, "Failed to write collect file [%s].", path.c_str());
        // A promoted phase fails on this; a restart makes a new list instead.
        if (promoted) RaisePendingCause(kCauseJobFileOpen, path);
        return false;
    }
    long long size = 0;
    const int result = JXFile::getFileSize(path.c_str(), &size);
    if (result != 0 && result != 2) {
        EV_ERROR(m_logger, "JXFile::getFileSize() returned error. ErrorCode[%d].", result);
        RaisePendingCause(kCauseJobFileOpen, path);
        return false;
    }
    collectFileSize = static_cast<unsigned long>(size);
    if (promoted && collectFileSize != 0) EnterListedDatabases(names);
    return true;
}

bool CSQLBackup::populateDBNamesFromCollectFile(std::vector<std::string>& names, std::string path) {
    JXFile file;
    if (file.open(path.c_str(), JXFile::kRead) != 0) {
        EV_ERROR(m_logger, "Failed to open the collect file [%s]. ErrorCode [%d]", path.c_str(), file.getLastError());
        return false;
    }
    char line[kLineBuffer] = {};
    while (file.getLine(line, sizeof line) == 1) {
        if (line[0] != '\0') names.emplace_back(line);
    }
    return true;
}

// The databases of the earlier attempt that lie wholly before the restart
// offset count as that attempt left them. The walk of this attempt starts
// again at the line of the first failed database of the last run of
// failures, so that run is retried; the failures and successes from that
// line on are kept apart (m_retryFailures, m_retrySuccesses) so that the
// walk counts each of those databases once, by this attempt's outcome.
bool CSQLBackup::updateSuccessCount(JXFile* file, const SQLDatabaseStatusMap& restartMap,
                                    unsigned long restartOffset) {
    uint64_t success = 0;
    uint64_t failed = 0;
    uint64_t runFailures = 0;
    uint64_t runSuccesses = 0;
    bool inFailureRun = false;
    bool haveRun = false;
    unsigned long firstFailed = 0;
    char line[kLineBuffer];
    while (file != nullptr) {
        const int64_t lineStart = file->getCurOffset();
        if (file->getLine(line, sizeof line) != 1) break;
        const auto lineEnd = static_cast<unsigned long>(file->getCurOffset());
        const auto it = restartMap.find(line);
        if (it == restartMap.end() || lineEnd > restartOffset) continue;
        if (it->second.status == JobManager::kDBStatusBackedUp) {
            ++success;
            if (haveRun) ++runSuccesses;
            inFailureRun = false;
        } else if (it->second.status == JobManager::kDBStatusFailed) {
            if (!inFailureRun) {
                firstFailed = static_cast<unsigned long>(lineStart);
                runFailures = 0;
                runSuccesses = 0;
                inFailureRun = true;
                haveRun = true;
            }
            ++failed;
            ++runFailures;
        }
    }
    m_successCount = success;
    m_loggedDbCount = failed;
    m_firstFailedOffset = firstFailed;
    m_retryFailures = runFailures;
    m_retrySuccesses = runSuccesses;
    return true;
}

void CSQLBackup::RecreatePromotedCollectFile(const SQLDatabaseStatusMap& restartMap) {
    for (const auto& [name, info] : restartMap) {
        if (m_bkpPhase == JXSQL_BACKUP_LOG && info.databasePhase == JXSQL_BACKUP_DIFF) {
            if (!AddConvertedDBToCollectFile(name, JXSQL_BACKUP_DIFF)) {
                EV_ERROR(m_logger, "Failed to add database [%s] to the differential collect file.", name.c_str());
            }
        } else if ((m_bkpPhase == JXSQL_BACKUP_LOG || m_bkpPhase == JXSQL_BACKUP_DIFF) &&
                   info.databasePhase == JXSQL_BACKUP_FULL) {
            if (!AddConvertedDBToCollectFile(name, JXSQL_BACKUP_FULL)) {
                EV_ERROR(m_logger, "Failed to add database [%s] to the full collect file.", name.c_str());
            }
        }
    }
}
