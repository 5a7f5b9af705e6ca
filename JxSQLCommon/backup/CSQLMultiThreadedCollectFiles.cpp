// CSQLMultiThreadedBackup: the subclient's databases with their sizes,
// spread over size-balanced collect files, and the map that lists them.
#include <algorithm>
#include <cerrno>
#include <functional>
#include <queue>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include "JXAppMgr/ApplProperties.h"
#include "JXAppMgr/Subclient.h"
#include "JxJobClient/JXBkpJobClient.h"
#include "JxSQLCommon/backup/CSQLMultiThreadedBackup.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/WzFileSystem.h"

namespace {

constexpr uint64_t kMaxCollectFiles = 10;
constexpr int kReasonDoesNotExist = 6;

}  // namespace

void CSQLMultiThreadedBackup::RaiseCause(int cause, const std::vector<std::string>& arguments) {
    if (m_pJobClnt == nullptr) return;
    for (const std::string& a : arguments) *m_pJobClnt << a.c_str();
    (void)m_pJobClnt->setPendingCauseAndCriticalEvent(cause, 0, false, 300, false, 0, 0, 0, 0);
}

bool CSQLMultiThreadedBackup::createCollectFiles(std::vector<CollectFileInfo>& files) {
    CSQLCommon::COLLECTFILENAME = "MultiThreadedCollectFile";
    if (generateMultiThreadedCollectFiles(files) == 0) {
        EV_ERROR(m_logger, "Failed to create multi threaded collect file.");
        return false;
    }
    if (!populateRestartOffsetMap(m_restartOffsets, m_restartString)) {
        EV_WARN(m_logger, "Failed to populate restart offset map.");
    }
    return true;
}

uint32_t CSQLMultiThreadedBackup::generateMultiThreadedCollectFiles(std::vector<CollectFileInfo>& files) {
    std::vector<DBInfo> dbs;
    if (!getDatabases(dbs)) {
        EV_ERROR(m_logger, "Failed to get the list of databases.");
        return 0;
    }
    std::stable_sort(dbs.begin(), dbs.end(), [](const DBInfo& a, const DBInfo& b) { return a.size > b.size; });
    m_nDatabases = dbs.size();
    const uint32_t written = writeDatabasesToCollectFiles(dbs, files);
    if (written == 0) EV_ERROR(m_logger, "Failed to write the list of databases to collect files");
    return written;
}

bool CSQLMultiThreadedBackup::getDatabases(std::vector<DBInfo>& dbs) {
    if (m_pSubclient == nullptr) {
        EV_ERROR(m_logger, "m_pSubclient not valid");
        return false;
    }
    CsqlDMO dmo;
    if (!dmo.initialize(m_sServername, false)) {
        EV_ERROR(m_logger, "Failed to initialize SQL server. Check if SQL Services are offline.");
        ++m_failedCount;
        return false;
    }
    PropertiesList content;
    if (ApplProperties(m_pSubclient->getId()).getProperties(content, nullptr) != 0) {
        EV_ERROR(m_logger,
                 "AppManager failed to lookup properties of the subclient. Please check connectivity between CS and CC.");
        RaiseCause(kCauseSubclientProperties, {});
        return false;
    }
    std::vector<std::string> names;
    for (const auto& property : content.getList()) {
        if (property->getType() != kApplPropertyTypeSqlDatabase) continue;
        const std::string& name = property->getValue();
        EV_INFO(m_logger, "Database [%s] found in content.", name.c_str());
        if (!m_contentFilters.ShouldSelectDBForBackup(name)) continue;
        if (!dmo.isDatabaseExists(name)) {
            EV_WARN(m_logger, "Database [%s] does not exist.", name.c_str());
            (void)UpdateSkippedFailedCountAndJobInfo(
                name, "Database [" + name + "] does not exists. Skipped it from backup.", kReasonDoesNotExist,
                JobManager::kDBStatusSkippedAtCollect);
            continue;
        }
        names.push_back(name);
    }
    if (names.empty()) return false;
    std::string xml;
    m_dbSizesResult = dmo.getDatabaseSizes(names, xml) ? 1 : 0;
    if (m_dbSizesResult == 0) {
        EV_WARN(m_logger, "Failed to get the size of the databases. Check if SQL Services are offline.");
        ++m_failedCount;
        return false;
    }
    SQLPmn::SQLDatabaseSizesResp reply;
    if (reply.unserialize(xml) != 0) {
        EV_ERROR(m_logger, "Failed to unserialize database sizes details from [%s].", xml.c_str());
        return false;
    }
    const std::vector<uint64_t> sizes = reply.getlistulong(SQLPmn::SQLDatabaseSizesResp::kSizes);
    if (sizes.size() != names.size()) {
        // Paired by position, a shorter or longer list would give databases
        // the sizes of others.
        EV_ERROR(m_logger, "The size query answered [%zu] sizes for [%zu] databases.", sizes.size(), names.size());
        return false;
    }
    for (size_t i = 0; i < names.size(); ++i) dbs.push_back({names[i], sizes[i]});
    return !dbs.empty();
}

void CSQLMultiThreadedBackup::RemoveStaleCollectFiles(const std::string& basePath, int64_t from) {
    for (int64_t index = from;; ++index) {
        const std::string path = basePath + "_" + std::to_string(index);
        struct stat st {};
        if (wz::Fs().Stat(path, &st) != 0) break;
        if (wz::Fs().Unlink(path) != 0) {
            EV_WARN(m_logger, "Failed to remove the stale collect file [%s]. ErrorCode [%d]", path.c_str(), errno);
        }
    }
}

uint32_t CSQLMultiThreadedBackup::writeDatabasesToCollectFiles(const std::vector<DBInfo>& dbs,
                                                               std::vector<CollectFileInfo>& files) {
    if (m_nDbsPerCollectFile == 0) {
        EV_ERROR(m_logger, "Invalid setting for m_nDbsPerCollectFile as 0");
        return 0;
    }
    if (m_nMinCollectFiles == 0) {
        EV_ERROR(m_logger, "Invalid setting for m_nMinCollectFiles as 0");
        return 0;
    }
    const std::string basePath = m_jobResultsDirectory + "/" + CSQLCommon::COLLECTFILENAME;
    uint64_t n = dbs.size() / m_nDbsPerCollectFile;
    n = std::max(n, m_nMinCollectFiles);
    n = std::min(n, kMaxCollectFiles);
    if (dbs.size() == 1) n = 1;

    // (accumulated size, index); index -1 is a slot without a file yet.
    using Slot = std::pair<uint64_t, int32_t>;
    std::priority_queue<Slot, std::vector<Slot>, std::greater<Slot>> slots;
    for (uint64_t i = 0; i < n; ++i) slots.push({0, -1});
    std::vector<std::string> contentOf, namesOf, sizesOf;
    int32_t nextIndex = 0;
    uint64_t counted = 0;
    const size_t first = files.size();
    for (const DBInfo& db : dbs) {
        Slot slot = slots.top();
        slots.pop();
        if (slot.second == -1) {
            slot = {db.size, ++nextIndex};
            CollectFileInfo info;
            info.index = nextIndex;
            info.path = basePath + "_" + std::to_string(nextIndex);
            files.push_back(info);
            contentOf.emplace_back();
            namesOf.emplace_back();
            sizesOf.emplace_back();
        } else {
            slot.first += db.size;
        }
        slots.push(slot);
        const size_t k = static_cast<size_t>(slot.second - 1);
        namesOf[k] += (namesOf[k].empty() ? "" : ", ") + db.name;
        sizesOf[k] += (sizesOf[k].empty() ? "" : " + ") + std::to_string(db.size);
        contentOf[k] += db.name + "\n";
        ++counted;
    }
    EV_INFO(m_logger, "Load balanced across [%d] collect file(s)", static_cast<int>(n));
    while (!slots.empty()) {
        const Slot slot = slots.top();
        slots.pop();
        if (slot.second < 1) continue;
        const size_t k = static_cast<size_t>(slot.second - 1);
        EV_INFO(m_logger, "  DB names in collect file %02d: %s", slot.second, namesOf[k].c_str());
        EV_INFO(m_logger, "  DB sizes in collect file %02d: %lu {%s}", slot.second,
                static_cast<unsigned long>(slot.first), sizesOf[k].c_str());
    }

    // Each file, then the map, is replaced in one go (synced, renamed, its
    // folder synced): a crash leaves an old or a whole new file, never a cut
    // one, and a map is only in place once every file it lists is.
    for (size_t k = 0; k < contentOf.size(); ++k) {
        const std::string& path = files[first + k].path;
        if (!wz::WriteFileAtomically(path, contentOf[k])) {
            const int error = errno;
            EV_ERROR(m_logger,
                     "Failed to write the collect file [%s] ErrorCode[%d]. Please check the permissions for user "
                     "configured at the SQL instance.",
                     path.c_str(), error);
            RaiseCause(kCauseJobFileOpen, {path});
            return 0;
        }
    }
    // The map is written whole, so no line of an earlier, longer split stays.
    const std::string mapPath = m_jobResultsDirectory + "/" + CSQLCommon::COLLECTFILEMAP;
    std::string map;
    for (size_t i = first; i < files.size(); ++i) map += files[i].path + "\n";
    if (!wz::WriteFileAtomically(mapPath, map)) {
        const int error = errno;
        EV_ERROR(m_logger, "Failed to write the collectFileMap file [%s]. Error: [%d].", mapPath.c_str(), error);
        RaiseCause(kCauseJobFileOpen, {mapPath});
        return 0;
    }
    RemoveStaleCollectFiles(basePath, static_cast<int64_t>(contentOf.size()) + 1);
    // The databases enter the status tab once their lists are in place.
    for (const DBInfo& db : dbs) {
        (void)UpdateStatusTabDBInfo(db.name.c_str(), "", JobManager::kDBStatusListed, 0, JobManager::kDBPhaseNone);
    }
    if (counted == 0) {
        EV_ERROR(m_logger, "The collect file content is empty. There are no databases to be backed up.");
        RaiseCause(kCauseCollectFileEmpty, {});
        return 0;
    }
    m_nCollectFiles = n;
    m_databasesToBackup = counted;
    if (m_pBkpJobClnt != nullptr) {
        (void)m_pBkpJobClnt->setFilesToXfer(static_cast<int64_t>(counted));
        (void)m_pBkpJobClnt->updateInfo(false, nullptr);
    }
    return static_cast<uint32_t>(contentOf.size());
}
