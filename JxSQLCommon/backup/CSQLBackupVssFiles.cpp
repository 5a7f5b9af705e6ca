// CSQLBackup: the files a VSS-style backup of one database reads. Each
// database file is read from its copy in the snapshot; a FILESTREAM folder
// is read file by file, so its files are listed.
#include <sys/stat.h>

#include <list>
#include <string>
#include <vector>

#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/records/SqlSnapshotRecords.h"
#include "WzUtils/WzFileSystem.h"

bool CSQLBackup::GetFilesForVssBackup(std::vector<std::string> databaseFiles, std::vector<std::string> snapFiles,
                                      std::list<SqlDatabaseVssFileInfo_t>& files, unsigned int& count) {
    files.clear();
    count = 0;
    if (databaseFiles.size() != snapFiles.size()) {
        EV_ERROR(m_logger, "The [%zu] database files and the [%zu] snapshot files do not pair up.",
                 databaseFiles.size(), snapFiles.size());
        return false;
    }
    for (size_t i = 0; i < databaseFiles.size(); ++i) {
        SqlDatabaseVssFileInfo_t file;
        file.originalFile = databaseFiles[i];
        file.snapFile = snapFiles[i];
        EV_DEBUG(m_logger, 2, "Original File [%s] & Snap File [%s]", file.originalFile.c_str(), file.snapFile.c_str());
        if (file.originalFile.empty() || file.snapFile.empty()) {
            EV_ERROR(m_logger, "Database file [%s] has no path in the snapshot.", file.originalFile.c_str());
            files.clear();
            count = 0;
            return false;
        }
        struct stat st {};
        if (wz::Fs().Stat(file.snapFile, &st) == 0 && S_ISDIR(st.st_mode)) {
            // A FILESTREAM folder: every file under it, at any depth.
            std::vector<std::string> found;
            if (!GetAllFilesInFolder(file.snapFile, "*", found, true)) {
                EV_ERROR(m_logger, "Failed to list the FILESTREAM folder [%s] in the snapshot.", file.snapFile.c_str());
                files.clear();
                count = 0;
                return false;
            }
            file.fileStreamFiles.assign(found.begin(), found.end());
            count += static_cast<unsigned int>(found.size());
        } else {
            ++count;
        }
        files.push_back(std::move(file));
    }
    return true;
}
