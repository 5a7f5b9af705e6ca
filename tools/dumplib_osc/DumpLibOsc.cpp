// Stand-in of the log-dump library: "dumps" the logs of the databases that
// the subclient's "DS" collect file lists, fills the cache's per-database
// results and records the cache it was given.
//
// The collect file is the cache's own when set, else
// <job-results directory>/<subclient id>_DS_OSCCollectFile.jxf: the instance
// name, then one database per line. A database dumps when it is ONLINE on
// the simulated instance; its log dump goes to the first active disk-library
// mount path of the subclient (when it has one) as a .bak, .xml and
// loginfo.db row. Each call appends one line describing the cache to
// <platform root>/dumplib/PerformSQLDump.log, so tests can check what the
// library was given.
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "ArMgrClientAPI/ArMgrClientAPI.h"
#include "JxLib/JXPIAgent.h"
#include "LogDumpWriter.h"
#include "JxSQLCommon/records/SubClientCache.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFormat.h"

namespace {

std::string CollectFilePath(const SubClientCache& cache) {
    if (!cache.m_collectFile.empty()) return cache.m_collectFile;
    JXPI_JxClient client;
    std::string node, directory;
    if (!client.getClientName(node) || !client.getJobResultsDirectory(node, directory)) return "";
    return directory + "/" +
           wz::Format("%u_DS_OSCCollectFile.jxf", static_cast<unsigned int>(cache.m_subclientId));
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

void Record(const SubClientCache& cache, const std::string& collectFile, const std::vector<std::string>& lines) {
    std::string databases;
    for (size_t i = 1; i < lines.size(); ++i) databases += (i > 1 ? "," : "") + lines[i];
    std::string line = wz::Format(
        "subclient=%" PRIu64 ":%s backupSet=%" PRIu64 " instance=%" PRIu64 ":%s client=%" PRIu64
        ":%s replicaClient=%" PRIu64 " dumpType=%u options=%" PRIu64 " useCache=%d valid=%d onSecondary=%d "
        "collect=%s databases=%s\n",
        cache.m_subclientId, cache.m_subclientName.c_str(), cache.m_backupSetId, cache.m_instanceId,
        cache.m_instanceName.c_str(), cache.m_clientId, cache.m_clientText1.c_str(), cache.m_replicaClientId,
        cache.m_dumpType, cache.m_genericOptions, cache.m_useCache, cache.m_valid, cache.m_dumpRunsOnSecondary,
        collectFile.c_str(), databases.c_str());
    std::ofstream out(wz::PlatformFilePath("dumplib/PerformSQLDump.log"), std::ios::app);
    out << line;
}

// The first active mount path of the subclient; empty when it has none.
std::string DumpFolder(uint64_t subclientId) {
    std::vector<ArMgrMountPath> paths;
    if (ArMgrClientAPI::getSubclientMountpathList(subclientId, 0, true, true, paths) != 0) return "";
    for (const ArMgrMountPath& path : paths) {
        if (path.status == 0 || path.status == -1) return path.path;
    }
    return "";
}

}  // namespace

extern "C" __attribute__((visibility("default"))) bool PerformSQLDump(SubClientCache* cache) {
    if (cache == nullptr || !cache->m_valid) return false;
    std::string collectFile = CollectFilePath(*cache);
    std::vector<std::string> lines = collectFile.empty() ? std::vector<std::string>() : ReadLines(collectFile);
    Record(*cache, collectFile, lines);
    if (lines.size() < 2) return false;

    bool all = true;
    CsqlDMO dmo;
    dmo.setInstanceId(static_cast<unsigned long>(cache->m_instanceId));
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string& database = lines[i];
        if (!dmo.isDatabaseOnline(lines[0], database)) {
            all = false;
            continue;
        }
        const std::string folder = DumpFolder(cache->m_subclientId);
        std::string dump;
        if (!folder.empty() && WriteLogDump(lines[0], database, folder, dump).IsError()) {
            all = false;
            continue;
        }
        SqlDatabaseBackupInfo_Cache& result = cache->m_dbBackupInfo[database];
        result.detail.databaseName = database;
        result.number64 = static_cast<uint64_t>(std::time(nullptr));
        result.number32 = cache->m_dumpType;
        result.firstText = lines[0];
        result.resultText = "Log dump completed";
    }
    return all;
}
