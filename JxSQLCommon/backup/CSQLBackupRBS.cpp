// Remote-blob-store databases of the collect file: the walk skips them in a
// subclient that is not itself an RBS subclient.
#include <string>

#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxsqlDMO/CsqlDMO.h"

bool CSQLBackup::isRBSSubclient(CsqlDMO& sqlConnection, JXFile& collectFile) {
    const int64_t position = collectFile.getCurOffset();
    m_rbsBlobPaths.clear();
    char line[1024];
    while (collectFile.getLine(line, sizeof line) == 1) {
        const std::string name = line;
        if (name.empty()) continue;
        if (!sqlConnection.isDatabaseExists(name)) {
            EV_DEBUG(m_logger, 2, "The database %s doesn't exist, cannot find RBS information", name.c_str());
            continue;
        }
        bool enabled = false;
        std::string blobPath;
        if (!sqlConnection.getDatabaseRBSStatus(name, enabled, blobPath)) continue;
        EV_DEBUG(m_logger, 2, "RBS status for the database [%s]: JX RBS enabled[%s], Path [%s]", name.c_str(),
                 enabled ? "true" : "false", blobPath.c_str());
        if (!enabled) continue;
        if (blobPath.empty()) EV_ERROR(m_logger, "Error: RBS blob path is empty for DB %s.", name.c_str());
        m_rbsBlobPaths[name] = blobPath;
    }
    if (collectFile.seek(position, JXFile::kFromStart) < 0) {
        // The walk cannot start where it should: report no RBS databases and
        // let the walk's own reads fail visibly rather than skip lines.
        EV_ERROR(m_logger, "Failed to return to offset [%lld] of the collect file with error [%d].",
                 static_cast<long long>(position), collectFile.getLastError());
    }
    return !m_rbsBlobPaths.empty();
}
