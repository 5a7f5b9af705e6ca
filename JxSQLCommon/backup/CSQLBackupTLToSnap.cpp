// CSQLBackup: the full collect file of a log-to-snapshot job. The log job
// leaves its databases in "TLToSnap_<source job id>.jxf" in the
// log-to-snapshot directory; they are appended to the full collect file
// (each name once) and the list is removed.
#include <unistd.h>

#include <cerrno>
#include <set>
#include <string>

#include "JxSQLCommon/backup/CSQLBackup.h"
#include "WzUtils/WzFileSystem.h"

bool CSQLBackup::GenerateTLToSnapCollectFile() {
    const std::string list =
        m_tlToSnapDirectory + "/TLToSnap_" + std::to_string(static_cast<unsigned long long>(m_tlToSnapSourceJobId)) +
        ".jxf";
    std::set<std::string> names;
    if (!populateDBNamesFromCollectFile(names, list)) return false;
    if (names.empty()) {
        EV_WARN(m_logger, "No databases found from collect file [%s].", list.c_str());
        return false;
    }
    const std::string path = m_jobResultsDirectory + "/" + CSQLCommon::FULLCOLLECTFILENAME;
    // A database the full list holds already is backed up once.
    std::set<std::string> listed;
    if (access(path.c_str(), F_OK) == 0 && !populateDBNamesFromCollectFile(listed, path)) return false;
    std::set<std::string> added;
    for (const std::string& name : names) {
        if (listed.count(name) == 0) added.insert(name);
    }
    if (!added.empty() && !WriteToCollectFile(path, added, false)) return false;
    if (wz::Fs().Unlink(list) != 0) {
        EV_WARN(m_logger, "Failed to delete collect from TL job [%s]. with error [%u].", list.c_str(),
                static_cast<unsigned>(errno));
    }
    return true;
}
