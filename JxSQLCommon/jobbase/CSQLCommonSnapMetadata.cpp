// CSQLCommon::getAttachMsgFromMetadata: the databases of a snapshot backup
// as its metadata files describe them. The writer file names the instance;
// the backup-components file lists each database with the paths its files
// had on the source. Both come from the snapshot engine, so they are
// checked before anything of them is used. A name or path holding a control
// character is refused with a pending cause that names the database, on
// the job client of whichever job reads the files (a backup's integrity
// check or a restore's attach).

#include <sstream>
#include <string>
#include <vector>

#include "JxJobClient/JXJobClient.h"
#include "JxSQLCommon/jobbase/CSQLCommon.h"
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "JxSQLCommon/records/AttachEntryCheck.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "WzUtils/WzFileSystem.h"

namespace {

constexpr size_t kMaxMetadataBytes = 16u * 1024 * 1024;
constexpr size_t kMaxDatabases = 32767;
constexpr size_t kMaxFilesPerDatabase = 32767;
constexpr size_t kMaxPath = 4096;

bool IsCleanAbsolutePath(const std::string& path) {
    if (path.empty() || path[0] != '/' || path.size() > kMaxPath || path.find('\0') != std::string::npos) {
        return false;
    }
    std::istringstream levels(path);
    std::string level;
    while (std::getline(levels, level, '/')) {
        if (level == "." || level == "..") return false;
    }
    return true;
}

}  // namespace

bool CSQLCommon::getAttachMsgFromMetadata(std::string componentFile, std::string writerFile,
                                          SQLPmn::AttachDBMsg& message, std::string jobTag) {
    std::string writerText, componentText;
    SQLPmn::AttachDBMsg writer, components;
    if (!wz::ReadSmallFile(writerFile, writerText, kMaxMetadataBytes) || writer.unserialize(writerText) != kMsgOk) {
        EV_ERROR(m_logger, "Cannot read the writer metadata file [%s] of [%s].", writerFile.c_str(), jobTag.c_str());
        return false;
    }
    if (!wz::ReadSmallFile(componentFile, componentText, kMaxMetadataBytes) ||
        components.unserialize(componentText) != kMsgOk) {
        EV_ERROR(m_logger, "Cannot read the backup-components metadata file [%s] of [%s].", componentFile.c_str(),
                 jobTag.c_str());
        return false;
    }
    std::vector<SQLPmn::AttachDB> databases;
    if (components.isSet(SQLPmn::AttachDBMsg::kDatabases) &&
        !components.getlistobject(SQLPmn::AttachDBMsg::kDatabases, databases)) {
        EV_ERROR(m_logger, "The metadata file [%s] holds an unreadable database list.", componentFile.c_str());
        return false;
    }
    if (databases.size() > kMaxDatabases) {
        EV_ERROR(m_logger, "The metadata file [%s] lists [%zu] databases.", componentFile.c_str(), databases.size());
        return false;
    }
    std::vector<SQLPmn::AttachDB> checked;
    for (const SQLPmn::AttachDB& entry : databases) {
        const std::string name = entry.getstring(SQLPmn::AttachDB::kAttachName);
        if (AttachEntryHasControlCharacter(entry)) {
            const std::string shown = ShowControlCharacters(name);
            EV_ERROR(m_logger, "The metadata file [%s] names database [%s] or its files with a control character.",
                     componentFile.c_str(), shown.c_str());
            if (m_pJobClnt != nullptr) {
                *m_pJobClnt << shown.c_str();
                (void)m_pJobClnt->setPendingCauseAndCriticalEvent(kCauseCheckAttach, 0, false, kPendingCauseEventType,
                                                                  false, 0, 0, 0, 0);  // the refusal fails the caller
            } else if (m_pRstJobClnt) {
                *m_pRstJobClnt << shown.c_str();
                (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseCheckAttach);  // the refusal fails the caller
            }
            return false;
        }
        const std::vector<std::string> files = entry.getliststring(SQLPmn::AttachDB::kFilePaths);
        bool clean = !name.empty() && name.size() <= 128 && !files.empty() && files.size() <= kMaxFilesPerDatabase;
        for (const std::string& file : files) clean = clean && IsCleanAbsolutePath(file);
        if (!clean) {
            EV_ERROR(m_logger, "The metadata file [%s] holds a malformed entry for database [%s].",
                     componentFile.c_str(), name.c_str());
            return false;
        }
        SQLPmn::AttachDB copy;
        copy.setstring(SQLPmn::AttachDB::kAttachName, name);
        copy.setliststring(SQLPmn::AttachDB::kFilePaths, files);
        checked.push_back(copy);
    }
    for (const SQLPmn::AttachDB& entry : checked) message.addlistobject(SQLPmn::AttachDBMsg::kDatabases, entry);
    return true;
}
