// Stream counts of a phase and the stream-info file that keeps the count a
// phase started with, so that a restarted job can tell whether its restart
// text still fits.
#include <fcntl.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "WzUtils/WzFileSystem.h"

namespace {
// The stream-info file holds one decimal number; 19 digits hold any count.
constexpr size_t kStreamInfoLineLength = 19;
}  // namespace

int CSQLBackup::GetStreamCount(unsigned int type) {
    if (!m_isSnapBackup && (type == JXSQL_BACKUP_FULL || type == JXSQL_BACKUP_DIFF) && m_vss.isVSSEnabled()) return 1;
    return type == JXSQL_BACKUP_LOG ? m_logStreamCount : m_dataStreamCount;
}

std::string CSQLBackup::GenerateStreamInfoFileName(unsigned int type) {
    std::string path = m_jobResultsDirectory + "/";
    switch (type) {
        case JXSQL_BACKUP_FULL:
            return path + SI_FULL_COLL_FILE;
        case JXSQL_BACKUP_DIFF:
            return path + SI_DIFF_COLL_FILE;
        case JXSQL_BACKUP_LOG:
            return path + SI_LOG_COLL_FILE;
        default:
            return path;
    }
}

bool CSQLBackup::GenerateStreamInfoFile(unsigned int type, int count) {
    const std::string path = GenerateStreamInfoFileName(type);
    if (count == 0) count = GetStreamCount(type);
    // Written whole or not at all: a reader never sees half a number.
    if (!wz::WriteFileAtomically(path, std::to_string(count) + "\n")) {
        const int error = errno;
        EV_ERROR(m_logger, "Failed to write stream info to file [%s] with error code [%d]", path.c_str(), error);
        RaisePendingCause(kCauseJobFileOpen, path);
        return false;
    }
    EV_DEBUG(m_logger, 2, "Added stream count [%d] to stream info file [%s].", count, path.c_str());
    return true;
}

int CSQLBackup::GetStreamInfoFromFile(unsigned int type) {
    const std::string path = GenerateStreamInfoFileName(type);
    JXFile file;
    if (file.open(path.c_str(), JXFile::kRead) != 0) {
        EV_WARN(m_logger, "Failed to open stream info file [%s] with error code [%d].", path.c_str(),
                file.getLastError());
        return 0;
    }
    char line[kStreamInfoLineLength + 1] = {};
    if (file.getLine(line, sizeof line) != 1) {
        EV_WARN(m_logger, "Failed to read stream info file [%s] with error code [%d]", path.c_str(),
                file.getLastError());
        return 0;
    }
    // The leading decimal number; anything else reads as 0.
    long value = 0;
    for (const char* p = line; *p >= '0' && *p <= '9' && value < 1000000000L; ++p) value = value * 10 + (*p - '0');
    return static_cast<int>(value);
}
