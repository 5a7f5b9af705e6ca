// CSQLBackup: the collect file of a remote-blob-store subclient: the
// SharePoint content databases of the subclient's configuration that exist
// and are online on the instance.
#include <string>
#include <vector>

#include "JxJobClient/JXBkpJobClient.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/CStopWatch.h"

namespace {

constexpr int kSkipNotOnline = 1;
constexpr int kSkipMissing = 6;

}  // namespace

bool CSQLBackup::ReadRBSContentDatabases(const std::string& path, std::vector<std::string>& names) {
    if (m_pSubclient == nullptr) {
        EV_ERROR(m_logger, "Subclient cannot be NULL. Failed to generate collect file [%s].", path.c_str());
        RaisePendingCause(kCauseJobFileOpen, path);
        return false;
    }
    if (const int rc = m_pSubclient->getSharepointContentDBName(names); rc != 0) {
        EV_ERROR(m_logger,
                 "Failed to get sharepoint content databases with error code [%d]. Failed to generate collect file [%s].",
                 rc, path.c_str());
        RaisePendingCause(kCauseJobFileOpen, path);
        return false;
    }
    return true;
}

bool CSQLBackup::generateRBSCollectFile() {
    const std::string path = CollectFilePath();
    CsqlDMO sql;
    if (!InitializeCollectConnection(sql)) return false;
    if (!GenerateStreamInfoFile(m_bkpPhase, 0)) return false;
    CStopWatch watch;
    std::vector<std::string> candidates;
    if (!ReadRBSContentDatabases(path, candidates)) return false;
    const bool ignoreNonExistent = m_ignoreNonExistentDb.isEnabled();
    std::vector<std::string> selected;
    for (const std::string& name : candidates) {
        if (ignoreNonExistent && !sql.isDatabaseExists(name)) {
            EV_WARN(m_logger, "Database [%s] doesn't exist. It might have been deleted. Skipping from backup.",
                    name.c_str());
            (void)UpdateSkippedFailedCountAndJobInfo(name, "Database [" + name + "] does not exists. Skipped from backup.",
                                                     kSkipMissing, JobManager::kDBStatusSkippedAtCollect);
        } else if (ignoreNonExistent && !sql.isDatabaseOnline(m_sServername, name)) {
            EV_WARN(m_logger, "Database [%s] is not online. Skipping from backup.", name.c_str());
            (void)UpdateSkippedFailedCountAndJobInfo(name, "Database [" + name + "] is not online. Skipped from backup.",
                                                     kSkipNotOnline, JobManager::kDBStatusSkippedAtCollect);
        } else if (sql.isDatabaseOffline(m_sServername, name)) {
            ReportCollectSkip(CollectSkip::kOffline, name);
        } else {
            selected.push_back(name);
        }
    }
    const uint64_t count = selected.size();
    if (!WriteSelectedCollectFile(path, selected, true)) return false;
    watch.Stop();
    SetDatabasesToBackup(count);
    EV_DEBUG(m_logger, 1, "Time taken to generate collect file = %f", watch.Time());
    return CollectFileHoldsData(path, false);
}
