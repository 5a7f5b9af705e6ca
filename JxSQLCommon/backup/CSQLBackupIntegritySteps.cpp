// CSQLBackup: the steps of the integrity check of a snapshot copy, shared by
// the check in the source job and the one in the proxy process: the version
// test of the SQL Server that hosts the check, mounting the job's snapshots,
// rewriting the database file paths to the mounts, the file and database
// tests, and attach, DBCC and detach. Each database goes to SQL Server as
// its serialised attach entry, so no name or path can add a file of its own.
// What this check detaches is what it attached itself, or a leftover whose
// files all lie under this check's mount base, so a live database of the
// same name is left alone.
#include <unistd.h>

#include <cinttypes>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "JXSnapHandler/JXSnapClientAPI.h"
#include "JxJobClient/JXJobClient.h"
#include "JxLib/JXGlobalParam.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/backup/SqlVersionParts.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/WzFileSystem.h"
#include "WzUtils/WzPauseFile.h"

namespace {

constexpr uint32_t kMountActionFlags = 2;
constexpr uint32_t kMountRetrieveFlags = 1061;

const char* const kBeforeAttach = "/opt/veltrassa/Pelmanode/BeforeAttach.sleep";
const char* const kAfterAttach = "/opt/veltrassa/Pelmanode/AfterAttach.sleep";
const char* const kBeforeDbcc = "/opt/veltrassa/Pelmanode/BeforeDBCCCheck.sleep";
const char* const kAfterDbcc = "/opt/veltrassa/Pelmanode/AfterDBCCCheck.sleep";
const char* const kAfterDetach = "c:\\AfterDetach.sleep";

std::vector<SQLPmn::AttachDB> Databases(const SQLPmn::AttachDBMsg& message) {
    std::vector<SQLPmn::AttachDB> list;
    if (message.isSet(SQLPmn::AttachDBMsg::kDatabases)) {
        (void)message.getlistobject(SQLPmn::AttachDBMsg::kDatabases, list);  // an unreadable list stays empty
    }
    return list;
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

bool HasDotLevel(const std::string& path) {
    std::istringstream levels(path);
    std::string level;
    while (std::getline(levels, level, '/')) {
        if (level == "." || level == "..") return true;
    }
    return false;
}

}  // namespace

bool CSQLBackup::performSQLVersionCompatibilityCheck(std::string instance, int major, int minor, int build,
                                                     std::string) {
    try {
        CsqlDMO sql;
        std::string version, level, edition;
        if (!sql.getInstanceVersion(instance, version, level, edition)) {
            EV_ERROR(m_logger, "Unable to get instance version not performing the attach operation.");
            RaisePendingCause(kCauseSqlServerNotRunning, instance);
            return false;
        }
        const SqlVersionParts proxy = ParseSqlVersionParts(version);
        const bool compatible =
            proxy.major != major ? proxy.major > major
                                 : (proxy.minor != minor ? proxy.minor > minor : proxy.build >= build);
        if (compatible) return true;
        const std::string source = std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(build);
        if (m_pJobClnt != nullptr) *m_pJobClnt << source.c_str() << instance.c_str();
        RaisePendingCause(kCauseCheckVersionTooOld, version);
        EV_ERROR(m_logger,
                 "Source SQL version is [%s] and proxy SQL Server [%s] version is [%s]. Please make sure the SQL "
                 "version on proxy is equal or greater than source.",
                 source.c_str(), instance.c_str(), version.c_str());
        return false;
    } catch (...) {
        EV_ERROR(m_logger, "!!!Caught exception");
        return false;
    }
}

bool CSQLBackup::mountSnapsForIntegrityCheck(SQLPmn::SQLIntegrityCheckInit& init, SMVolSnapInfo& snaps,
                                             std::string mountBase, std::map<std::string, std::string>& volumes) {
    using I = SQLPmn::SQLIntegrityCheckInit;
    try {
        snaps.reset(0);
        snaps.setJobId(static_cast<uint64_t>(init.getint64(I::kJobId)));
        snaps.setSourceClientId(static_cast<uint64_t>(init.getint64(I::kSourceClientId)));
        snaps.setJxCellId(static_cast<uint32_t>(init.getint64(I::kJxCellId)));
        snaps.setSnapJobId(static_cast<uint64_t>(init.getint64(I::kJobId)));
        snaps.setSnapActionFlags(kMountActionFlags);
        snaps.setRetrieveValidFlags(kMountRetrieveFlags);
        EV_DEBUG(m_logger, 3, "%s", snaps.dump().c_str());
        if (!JXSnapClientAPI::getVolumeSnaps(snaps)) {
            EV_ERROR(m_logger, "Failed to get SnapShot info for snapshot JID [%" PRIu64 "].", snaps.getJobId());
            return false;
        }
        if (snaps.numOfSnap() == 0) {
            EV_ERROR(m_logger, "No snapshot info returned for snapshot JID [%" PRIu64 "].", snaps.getJobId());
            return false;
        }
        EV_DEBUG(m_logger, 2, "[%d] SnapShot info returned for snapshot JID [%" PRIu64 "].", snaps.numOfSnap(),
                 snaps.getJobId());
        uint64_t clientId = 0;
        std::string hostName;
        if (!getClientInfo(clientId, hostName)) {
            EV_ERROR(m_logger, "Failed to get client id.");
            return false;
        }
        std::string base = mountBase;
        if (base.empty() || base.back() != '/') base += "/";
        for (auto v = snaps.volumeListBegin(); v != snaps.volumeListEnd(); ++v) {
            const std::string mountPath = base + getGUID() + "/";
            EV_DEBUG(m_logger, 2, "Mount path for volume [%s] is [%s]", v->getSourcePath().c_str(), mountPath.c_str());
            volumes[v->getSourcePath()] = mountPath;
            v->setMountPath(mountPath);
            v->setMountHostId(clientId);
            v->setMountPathFlag(1);
        }
        if (!JXSnapClientAPI::mountVolumes(snaps)) {
            EV_ERROR(m_logger, "Failed to mount snapshots");
            return false;
        }
        m_integrityMountBase = WithoutTrailingSlash(mountBase);
        EV_DEBUG(m_logger, 2, "Successfully mounted all snaps");
        return true;
    } catch (...) {
        EV_ERROR(m_logger, "!!!Caught exception");
        return false;
    }
}

bool CSQLBackup::replaceFileNamesWithMountPath(SQLPmn::AttachDBMsg& message,
                                               std::map<std::string, std::string>& volumes) {
    try {
        std::vector<SQLPmn::AttachDB> rewritten;
        for (const SQLPmn::AttachDB& entry : Databases(message)) {
            SQLPmn::AttachDB copy;
            copy.setstring(SQLPmn::AttachDB::kAttachName, entry.getstring(SQLPmn::AttachDB::kAttachName));
            std::vector<std::string> files;
            for (const std::string& file : entry.getliststring(SQLPmn::AttachDB::kFilePaths)) {
                // A path from the source or a proxy's peer never leads out of
                // its mount: "." and ".." levels are refused.
                if (HasDotLevel(file)) {
                    EV_ERROR(m_logger, "File path [%s] has a relative level.", file.c_str());
                    return false;
                }
                for (const auto& [source, mount] : volumes) {
                    const std::string volume = WithoutTrailingSlash(source);
                    EV_DEBUG(m_logger, 2, "srcVol = [%s] value = [%s].", volume.c_str(), mount.c_str());
                    // Whole path levels, with case: "/data" does not hold "/data2/x.mdf".
                    if (volume.empty() || !wz::PathIsUnder(file, volume) || file.size() == volume.size()) continue;
                    files.push_back(WithoutTrailingSlash(mount) + file.substr(volume == "/" ? 0 : volume.size()));
                    break;
                }
            }
            copy.setliststring(SQLPmn::AttachDB::kFilePaths, files);
            rewritten.push_back(copy);
        }
        message.setlistobject(SQLPmn::AttachDBMsg::kDatabases, rewritten);
        return true;
    } catch (...) {
        EV_ERROR(m_logger, "!!!Caught exception");
        return false;
    }
}

bool CSQLBackup::checkIfDatabaseFilesExists(SQLPmn::AttachDBMsg& message) {
    try {
        std::string missing;
        for (const SQLPmn::AttachDB& entry : Databases(message)) {
            for (const std::string& file : entry.getliststring(SQLPmn::AttachDB::kFilePaths)) {
                if (file.find('*') != std::string::npos) continue;
                if (::access(file.c_str(), F_OK) != 0) missing += "," + file;
            }
        }
        if (missing.empty()) return true;
        missing.erase(0, 1);
        EV_ERROR(m_logger, "Files not found in snap [%s]", missing.c_str());
        RaisePendingCause(kCauseCheckFilesMissing, missing);
        return false;
    } catch (...) {
        EV_ERROR(m_logger, "!!!Caught exception");
        return false;
    }
}

bool CSQLBackup::checkIfDatabaseExists(CsqlDMO& sql, SQLPmn::AttachDBMsg& message) {
    try {
        std::string missing;
        for (const SQLPmn::AttachDB& entry : Databases(message)) {
            const std::string name = entry.getstring(SQLPmn::AttachDB::kAttachName);
            if (!sql.isDatabaseExists(name)) missing += "," + name;
        }
        if (missing.empty()) return true;
        missing.erase(0, 1);
        RaisePendingCause(kCauseCheckAttach, missing);
        EV_ERROR(m_logger, "Unable to attach database(s) [%s]", missing.c_str());
        return false;
    } catch (...) {
        EV_ERROR(m_logger, "!!!Caught exception");
        return false;
    }
}

bool CSQLBackup::IsAttachedFromMountBase(CsqlDMO& sql, const std::string& instance, const std::string& database) {
    if (m_integrityMountBase.empty()) return false;
    DatabaseContents_t contents;
    if (!sql.getDatabaseContents(instance, 0, database, contents)) return false;
    bool any = false;
    for (const SqlFileGroup& group : contents.fileGroups) {
        for (const SqlDbFile& file : group.files) {
            if (!wz::PathIsUnder(file.physicalName, m_integrityMountBase)) return false;
            any = true;
        }
    }
    return any;
}

bool CSQLBackup::attachDatabasesForIntegrityCheck(SQLPmn::AttachDBMsg& message) {
    try {
        const std::string instance = message.getstring(SQLPmn::AttachDBMsg::kInstanceName);
        int64_t dbcc = 1;
        std::string global;
        if (JXGlobalParam::getProperty("RunDBCCCheckForDB", global) == 0) {
            const size_t first = global.find_first_not_of(" \t");
            if (first != std::string::npos) {
                global = global.substr(first, global.find_last_not_of(" \t") - first + 1);
                dbcc = std::strtoll(global.c_str(), nullptr, 10);
            }
        }
        (void)JXPlatformInfo().getNumber("MSSQLAgent", "bRunDBCCCheckForDB", &dbcc);  // absent: kept

        std::string text;
        if (message.serialize(text) != kMsgOk) {
            EV_ERROR(m_logger, "Failed to serialize SQLPmn::AttachDBMsg message");
            return false;
        }
        const std::vector<SQLPmn::AttachDB> databases = Databases(message);
        CsqlDMO sql;
        for (const SQLPmn::AttachDB& entry : databases) {
            const std::string name = entry.getstring(SQLPmn::AttachDB::kAttachName);
            bool exists = false;
            std::string error;
            if (sql.initialize(instance)) exists = sql.isDatabaseExists(name);
            if (exists && !IsAttachedFromMountBase(sql, instance, name)) {
                // A database of that name that this check did not attach is
                // someone's live database: it stays, and the attach fails.
                EV_WARN(m_logger, "Database [%s] on SQL Server [%s] is not a copy of this check; it is left attached.",
                        name.c_str(), instance.c_str());
                continue;
            }
            if (!sql.DetachDB(instance, name, error)) {
                EV_ERROR(m_logger,
                         "Failed to detach database [%s] from SQL Server [%s] during cleanup phase with error [%s].",
                         name.c_str(), instance.c_str(), error.c_str());
                RaisePendingCause(kCauseCheckDetach, instance);
                return false;
            }
        }
        EV_INFO(m_logger, "Starting to attach databases for integrity check, Msg [%s]...", text.c_str());
        (void)wz::WaitWhilePauseFile(kBeforeAttach);  // bounded: a forgotten file ends its wait

        bool result = true;
        std::set<std::string> attached;  // the databases this check attached
        for (const SQLPmn::AttachDB& entry : databases) {
            const std::string name = entry.getstring(SQLPmn::AttachDB::kAttachName);
            std::string entryText, error;
            if (entry.serialize(entryText) != kMsgOk) {
                EV_ERROR(m_logger, "Failed to serialize SQLPmn::AttachDB message");
                RaisePendingCause(kCauseCheckAttach, name);
                result = false;
                break;
            }
            if (!sql.AttachDatabase(instance, entryText, error)) {
                EV_ERROR(m_logger, "Failed to attach database [%s] to SQL Server [%s] with error [%s].", name.c_str(),
                         instance.c_str(), error.c_str());
                RaisePendingCause(kCauseCheckAttach, name);
                result = false;
                break;
            }
            attached.insert(name);
        }
        if (result) {
            EV_INFO(m_logger, "Attached databases successfully.");
            (void)wz::WaitWhilePauseFile(kAfterAttach);
            if (!checkIfDatabaseExists(sql, message)) {
                EV_ERROR(m_logger, "Check for existance of databases to perform integrity check failed.");
                result = false;
            }
        }
        if (result) {
            EV_INFO(m_logger, "Starting to run integrity check on attached databases...");
            (void)wz::WaitWhilePauseFile(kBeforeDbcc);
            for (const SQLPmn::AttachDB& entry : databases) {
                if (dbcc == 0) break;
                const std::string name = entry.getstring(SQLPmn::AttachDB::kAttachName);
                std::string error;
                if (!sql.runDBCCCheck(name, error)) {
                    EV_ERROR(m_logger, "DBCC CHECK Failed for database [%s] on proxy SQL Server [%s]. Error [%s]",
                             name.c_str(), instance.c_str(), error.c_str());
                    if (m_pJobClnt != nullptr) *m_pJobClnt << name.c_str() << instance.c_str();
                    RaisePendingCause(kCauseDbcc, error);
                    result = false;
                    break;
                }
            }
            EV_INFO(m_logger, "Finished running integrity check on attached databases.");
            (void)wz::WaitWhilePauseFile(kAfterDbcc);
        }

        EV_INFO(m_logger, "Detaching attached databases...");
        bool detachFailed = false;
        for (const SQLPmn::AttachDB& entry : databases) {
            const std::string name = entry.getstring(SQLPmn::AttachDB::kAttachName);
            // Never attached here and not a copy from this check's mounts:
            // absent, or someone else's database. Either way not touched.
            if (attached.count(name) == 0 &&
                !(sql.initialize(instance) && sql.isDatabaseExists(name) && IsAttachedFromMountBase(sql, instance, name))) {
                continue;
            }
            std::string error;
            if (!sql.DetachDB(instance, name, error)) {
                EV_ERROR(m_logger,
                         "Failed to detach database [%s] from SQL Server [%s] with error [%s]. Please delete the "
                         "database manually.",
                         name.c_str(), instance.c_str(), error.c_str());
                detachFailed = true;
            }
        }
        if (detachFailed && m_pJobClnt != nullptr) {
            *m_pJobClnt << instance.c_str();
            m_pJobClnt->InfoEvent(kCauseCheckDetach);
        }
        EV_INFO(m_logger, "Finished detaching attached databases...");
        (void)wz::WaitWhilePauseFile(kAfterDetach);
        return result;
    } catch (...) {
        EV_ERROR(m_logger, "!!!Caught exception");
        return false;
    }
}
