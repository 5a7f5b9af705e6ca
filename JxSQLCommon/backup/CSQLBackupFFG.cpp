// File and filegroup subclients: one database, or chosen file groups and
// files of it, backed up in one VDI backup.
//
// The database and its file groups and files come from the subclient's
// content (a database property and file-group properties "group" or
// "group:file") or from an on-demand file, whose lines are TAB-separated
// fields: database [, file group [, file]].
#include <strings.h>

#include <list>
#include <string>
#include <vector>

#include "JXAppMgr/ApplProperties.h"
#include "JXAppMgr/Subclient.h"
#include "JxJobClient/JXBkpJobClient.h"
#include "JxLib/JXFile.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSqlDataReaderWriter/SqlDataTransferHandler.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/CStopWatch.h"
#include "WzUtils/FXString.h"

namespace {

constexpr int kContentUnreadableCause = 0x1E00012F;
constexpr int kContentInvalidCause = 0x1E00014B;
constexpr int kDatabaseIdCause = 0x1E00014A;
constexpr int kOnDemandFileCause = 0x1E00017A;
constexpr size_t kMaxLine = 1024;
constexpr const char* kConnectFailed = "Failed to initialize SQL server. Check if SQL Services are offline.";

}  // namespace

// Splits one on-demand line into its TAB-separated fields. A field may be
// enclosed in double quotes (a TAB inside them belongs to the field) and a
// backslash takes the next character as it is. A line of blanks only has
// no field.
std::vector<std::string> CSQLBackup::SplitOnDemandLine(const std::string& line) {
    std::vector<std::string> fields;
    if (line.find_first_not_of(" \t\r") == std::string::npos) return fields;
    std::string field;
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\\' && i + 1 < line.size()) {
            field += line[++i];
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == '\t' && !quoted) {
            fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    fields.push_back(field);
    return fields;
}

bool CSQLBackup::validateSubclientContent(std::wstring& databaseName, std::list<std::wstring>& fileGroups,
                                          std::list<std::wstring>& files) {
    PropertiesList content;
    if (m_pSubclient == nullptr || ApplProperties(m_pSubclient->getId()).getProperties(content, nullptr) != 0) {
        EV_ERROR(m_logger,
                 "AppManager failed to lookup properties of the subclient. Please check if orvane and SQL services are "
                 "running on CS.");
        RaisePendingCause(kContentUnreadableCause);
        return false;
    }
    CsqlDMO dmo;
    if (!dmo.initialize(m_sServername, false)) {
        // The caller counts the failed database once.
        EV_ERROR(m_logger, "%s", kConnectFailed);
        return false;
    }
    std::string database;
    for (const auto& property : content.getList()) {
        if (property->getType() == kApplPropertyTypeSqlDatabase) {
            database = property->getValue();
            break;
        }
    }
    if (database.empty()) {
        EV_ERROR(m_logger, "FFG Subclient does not have database name in the jxserve db.");
        return false;
    }
    EV_INFO(m_logger, "Database [%s] found in content.", database.c_str());
    databaseName = FXString::ToWstring(database);
    if (m_bkpPhase == JXSQL_BACKUP_LOG) {
        if (dmo.isDatabaseExists(database)) return true;
        EV_ERROR(m_logger, "Database does not exist on sql server.");
        return false;
    }
    for (const auto& property : content.getList()) {
        if (property->getType() != kApplPropertyTypeSqlFileGroup) continue;
        const std::string& text = property->getValue();
        const size_t colon = text.find(':');
        if (colon != std::string::npos) {
            const std::string group = text.substr(0, colon), file = text.substr(colon + 1);
            if (file.empty() || !dmo.isFileorFileGroupsExists(database, group, file)) {
                EV_ERROR(m_logger, "FileGroup [%s] does not exist in database [%s].", text.c_str(), database.c_str());
                return false;
            }
            files.push_back(FXString::ToWstring(file));
            EV_INFO(m_logger, "FileGroup [%s] File [%s]found in content.", text.c_str(), file.c_str());
        } else {
            if (text.empty() || !dmo.isFileorFileGroupsExists(database, text, "")) {
                EV_ERROR(m_logger, "FileGroup [%s] does not exist in database [%s].", text.c_str(), database.c_str());
                return false;
            }
            fileGroups.push_back(FXString::ToWstring(text));
            EV_INFO(m_logger, "FileGroup [%s] found in content.", text.c_str());
        }
    }
    return true;
}

bool CSQLBackup::populateFFGForBackup(std::string onDemandFile, std::wstring& databaseName,
                                      std::list<std::wstring>& fileGroups, std::list<std::wstring>& files) {
    JXFile file;
    if (file.open(onDemandFile.c_str(), JXFile::kRead) != 0) {
        EV_ERROR(m_logger, "Failed to open OnDemand SC file %s", onDemandFile.c_str());
        RaisePendingCause(kOnDemandFileCause, onDemandFile);
        return false;
    }
    CsqlDMO dmo;
    if (!dmo.initialize(m_sServername, false)) {
        (void)file.close();  // opened for reading only
        EV_ERROR(m_logger, "%s", kConnectFailed);
        return false;
    }
    // Every line's file groups and files belong to the one database the
    // backup is made of: lines naming two databases cannot be served.
    std::string database;
    bool ok = true;
    char buffer[kMaxLine + 1];
    int rc;
    while (ok && (rc = file.getLine(buffer, sizeof buffer)) == 1) {
        const std::string line = buffer;
        EV_DEBUG(m_logger, 2, "Content = %s", line.c_str());
        const std::vector<std::string> fields = SplitOnDemandLine(line);
        if (fields.empty()) {
            EV_WARN(m_logger, "On-Demand file format is not correct skipping [%s]", line.c_str());
            continue;
        }
        if (fields.size() > 3) {
            EV_WARN(m_logger, "Ondemand file format is not wrong, skipping this entry");
            continue;
        }
        if (fields[0].empty() || !dmo.isDatabaseExists(fields[0])) {
            EV_WARN(m_logger, "database (%s) doesn't exist . It will not be included in On-Demand SC backup",
                    fields[0].c_str());
            continue;
        }
        if (!database.empty() && database != fields[0]) {
            EV_ERROR(m_logger, "On-Demand file [%s] names databases [%s] and [%s]; one backup takes one database.",
                     onDemandFile.c_str(), database.c_str(), fields[0].c_str());
            ok = false;
            break;
        }
        database = fields[0];
        if (fields.size() == 1) {
            DatabaseContents_t contents;
            if (!dmo.getDatabaseContents(m_sServername, 0, database, contents)) {
                EV_ERROR(m_logger, "Failed to get the file groups of database [%s].", database.c_str());
                ok = false;
                break;
            }
            for (const SqlFileGroup& group : contents.fileGroups) {
                if (strcasecmp(group.name.c_str(), "NULL") != 0) fileGroups.push_back(FXString::ToWstring(group.name));
            }
        } else if (fields.size() == 2) {
            fileGroups.push_back(FXString::ToWstring(fields[1]));
        } else {
            files.push_back(FXString::ToWstring(fields[2]));
        }
    }
    (void)file.close();  // opened for reading only
    if (ok && rc < 0) {
        EV_ERROR(m_logger, "Failed to read OnDemand SC file %s", onDemandFile.c_str());
        ok = false;
    }
    if (ok && database.empty()) {
        EV_ERROR(m_logger, "OnDemand SC file %s names no database that exists.", onDemandFile.c_str());
        ok = false;
    }
    if (!ok) {
        fileGroups.clear();
        files.clear();
        databaseName = FXString::ToWstring(database);
        return false;
    }
    databaseName = FXString::ToWstring(database);
    return true;
}

void CSQLBackup::FailFFGDatabase(const std::string& database) { CountFailedDatabase(database); }

uint32_t CSQLBackup::doFFGSubclientBackup() {
    m_bFFG = true;
    m_bPartial = false;
    m_bLogFromFileSystem = false;

    std::wstring wideName;
    std::list<std::wstring> fileGroups, files;
    std::string onDemand;
    bool read = false;
    if (getOnDemandFilePath(onDemand) && !onDemand.empty()) {
        EV_INFO(m_logger, "This is a on-demand sc backup [%s]", onDemand.c_str());
        read = populateFFGForBackup(onDemand, wideName, fileGroups, files);
    } else {
        read = validateSubclientContent(wideName, fileGroups, files);
    }
    const std::string database = FXString::ToString(wideName);
    if (!read) {
        RaisePendingCause(kContentInvalidCause, database);
        FailFFGDatabase(database);
        return 0;
    }

    populateBackupConversionRulesMap(wideName);
    m_dataTransferHandler =
        SqlDataTransferHandler(true, m_jobId, m_appNumber, m_jxCellId, m_jxServerHostName, getBkpType(), 0);
    if (getBufferSize() != 0) m_dataTransferHandler.setBufferSizeInKB(getBufferSize());

    if (m_bkpPhase != JXSQL_BACKUP_FULL) {
        CsqlDMO dmo;
        CStopWatch watch;
        if (!dmo.initialize(m_sServername, false)) {
            EV_ERROR(m_logger, "%s", kConnectFailed);
            FailFFGDatabase(database);
            return 0;
        }
        EV_DEBUG(m_logger, 2, "Time taken to initialize SQL Server %s = %f", m_sServername.c_str(), watch.Time());
        if (m_backupConversion & 0x1) {
            std::string reason;
            JXSQLExeBackupType level = JXSQL_BACKUP_NONE;
            if (isDatabaseNeedConversion(dmo, wideName, reason, level)) {
                if (m_bConvertedListRefused) {
                    (void)FailUnlistedDatabase(nullptr, database);  // logs the reason
                    FailFFGDatabase(database);
                    return 0;
                }
                EV_INFO(m_logger, "The database [%s] got promoted for reason [%s].", database.c_str(), reason.c_str());
                // A database dropped since is in no list: skipped, not backed up.
                if (level == JXSQL_BACKUP_NONE && m_pBkpJobClnt != nullptr) {
                    (void)m_pBkpJobClnt->setSkippedItemsToAdd(1);
                    (void)m_pBkpJobClnt->updateInfo(false, nullptr);
                }
                return 1;
            }
        }
    }

    uint64_t id = 0;
    if (!getDatabaseId(database, id)) {
        EV_WARN(m_logger, "Failed to get the database id for [%s]. Check if the database exists.", database.c_str());
        RaisePendingCause(kDatabaseIdCause, database);
        id = 0;
    }
    m_currentDatabaseId = id;

    uint32_t result = 0;
    if (doVDIBackup(wideName.c_str(), 0, nullptr, fileGroups, files)) {
        result = 1;
        ++m_successCount;
        ++m_filesSoFar;
    } else {
        FailFFGDatabase(database);
        EV_ERROR(m_logger, "Failed to backup FFG subclient");
    }
    if (!m_dataTransferHandler.closePipeline(m_successCount > 0 ? 1 : 0, quit())) m_bJobFailed = true;
    return result;
}
