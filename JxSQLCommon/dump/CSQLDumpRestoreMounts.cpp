// CSQLDumpRestore: the disk-library storage of each application id mounted
// under the job's mount root, the databases' mount paths, and the restore
// markers beside their dumps.
//
// A mount point is a symbolic link or a directory on another device
// (FXFile::IsReparsePoint). Nothing here ever descends into one: a folder
// that holds mounts is emptied by unmounting, never by deleting through it,
// so the dumps on the disk library stay whatever happens to the job.
#include <cinttypes>
#include <sys/stat.h>

#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/dump/CSQLDumpRestore.h"
#include "JxSQLCommon/dump/DumpSweepUtils.h"
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "JxSQLCommon/records/SqlConvert.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/FXFile.h"
#include "WzUtils/FXPath.h"
#include "WzUtils/WzFileSystem.h"

namespace {

// The mounting service cannot mount the application id's storage (Win32
// 4306): the id is left out and the others are mounted. The code comes as
// the service answered it (Win32 kind) or turned into a result.
bool StorageNotMountable(const CWzError& error) {
    constexpr int32_t kAsResult = static_cast<int32_t>(0x80070000u | kNoMountPointsCode);
    return FXErrorUtil::GetWin32(error) == kNoMountPointsCode || FXErrorUtil::GetHResult(error) == kAsResult;
}

bool FolderExists(const std::string& folder) {
    struct stat info {};
    return !folder.empty() && wz::Fs().Stat(folder, &info) == 0 && S_ISDIR(info.st_mode);
}

// `text` with the wildcard characters of a file search escaped.
std::string EscapeWildcards(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '*' || c == '?' || c == '[' || c == ']' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

// Removes a folder of the mount root's: its mounts are unlinked, never
// entered; ordinary entries are removed below it.
bool RemoveUnmounted(const std::string& path) {
    wz::FileSystem& fs = wz::Fs();
    if (FXFile::IsReparsePoint(path)) {
        struct stat info {};
        return fs.Lstat(path, &info) == 0 && S_ISLNK(info.st_mode) && fs.Unlink(path) == 0;
    }
    struct stat info {};
    if (fs.Lstat(path, &info) != 0) return true;
    if (!S_ISDIR(info.st_mode)) return fs.Unlink(path) == 0;
    std::vector<std::string> names;
    if (fs.ReadDirectory(path, names) != 0) return false;
    bool all = true;
    for (const std::string& name : names) {
        if (name != "." && name != "..") all = RemoveUnmounted(path + "/" + name) && all;
    }
    return all && fs.Rmdir(path) == 0;
}

}  // namespace

CWzError CSQLDumpRestore::GetLocalMangledName(std::string& name) {
    if (m_clientName.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "Client name is not setup");
    std::string mangled;
    const int result = JXPlatformInfo().getClientHostNameMangled(m_clientName, mangled);
    if (result == 0) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "pi.getClientHostNameMangled failed with %d", result);
    }
    name = mangled;
    EV_DEBUG(m_logger, 1, "Mangled name is [%s], cn=[%s]", name.c_str(), m_clientName.c_str());
    return CWzError::Success();
}

CWzError CSQLDumpRestore::MountAll(DumpRestoreSettings& settings) {
    if (settings.AppIDs.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "AppIDs are empty");
    std::string mangled;
    CWzError error = GetLocalMangledName(mangled);
    if (error.IsError()) return error.Push(FXCODELOC, "GetLocalMangledName failed");
    EV_INFO(m_logger, "Apps ids %s before filter", std::to_string(settings.AppIDs.size()).c_str());
    std::set<uint64_t> mounted;
    for (uint64_t id : settings.AppIDs) {
        std::string folder = settings.mountRoot;
        error = FXPath::Append(folder, std::to_string(id));
        if (error.IsError()) return error.Push(FXCODELOC, "strAppIDMountRoot append failed");
        std::set<std::string> paths;
        if (Mounted(folder)) {
            // Left by an earlier run of this job or a live-sync run: reused.
            error = GetExistingMountPaths(folder, paths);
            if (error.IsError()) return error.Push(FXCODELOC, "GetExistingMountPaths failed");
        } else {
            error = PrepareMountPath(folder);
            if (error.IsError()) return error.Push(FXCODELOC, "PrepareMountPath failed");
            error = MountRemoteStorages(id, mangled, folder, paths);
            if (error.IsError() && StorageNotMountable(error)) {
                EV_INFO(m_logger, "Skipping app id %s. Error[%s]", std::to_string(id).c_str(),
                        error.GetMessage().c_str());
                continue;
            }
            if (error.IsError()) return error;
        }
        error = AddMountPointsToDatabase(settings, id, paths);
        if (error.IsError()) return error.Push(FXCODELOC, "AddMountPointsToDatabase failed");
        mounted.insert(id);
    }
    if (mounted.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "No app ids mounted");
    settings.AppIDs = mounted;
    EV_INFO(m_logger, "Apps ids %s after filter", std::to_string(mounted.size()).c_str());
    return CWzError::Success();
}

CWzError CSQLDumpRestore::UnMountAll(DumpRestoreSettings& settings) {
    if (settings.AppIDs.empty() && settings.unmountFailed.empty()) return CWzError::Success();  // nothing mounted
    for (auto& [name, info] : settings.databases) info.markerFiles.clear();
    std::string mangled;
    CWzError error = GetLocalMangledName(mangled);
    if (error.IsError()) return error.Push(FXCODELOC, "GetLocalMangledName failed");
    // The mounts of this run, and those an earlier unmount left behind.
    std::map<uint64_t, std::string> folders = settings.unmountFailed;
    for (uint64_t id : settings.AppIDs) {
        std::string folder = settings.mountRoot;
        error = FXPath::Append(folder, std::to_string(id));
        if (error.IsError()) return error.Push(FXCODELOC, "strAppIDMountRoot append failed");
        folders[id] = folder;
    }
    settings.unmountFailed.clear();
    for (const auto& [id, folder] : folders) {
        if (!Mounted(folder)) continue;
        m_dumpSweepUtils.SetClientMangledName(mangled);
        error = m_dumpSweepUtils.UnmountRemoteStorages(id, folder);
        if (error.IsError()) {
            // The job goes on; the mount is tried again at the next unmount
            // and the user is told which one is still there.
            EV_ERROR(m_logger, "Unmount of %s failed: %s", folder.c_str(), error.AsString().c_str());
            settings.unmountFailed[id] = folder;
            if (m_pRstJobClnt) {
                *m_pRstJobClnt << folder.c_str();
                m_pRstJobClnt->WarningEvent(kEventMountLeftBehind);
            }
        }
    }
    return CWzError::Success();
}

bool CSQLDumpRestore::Mounted(const std::string& folder) {
    if (!FolderExists(folder)) return false;
    return FXFile::IsReparsePoint(folder + "/1");
}

CWzError CSQLDumpRestore::PrepareMountPath(const std::string& folder) {
    if (folder.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "mountRoot is empty");
    EV_INFO(m_logger, "Starting PrepareMountPath mount of %s", folder.c_str());
    if (!FolderExists(folder)) {
        if (wz::MakeDirectoryTree(folder) != 0) {
            return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "%s", folder.c_str())
                .Push(FXCODELOC, "CreateFoldersIteratively failed");
        }
        return CWzError::Success();
    }
    std::vector<std::string> names;
    if (wz::Fs().ReadDirectory(folder, names) != 0) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "%s", folder.c_str())
            .Push(FXCODELOC, "JXFindFirstFile(%s) - failed", (folder + "/*").c_str());
    }
    for (const std::string& name : names) {
        if (name == "." || name == "..") continue;
        const std::string path = folder + "/" + name;
        struct stat info {};
        const bool directory = wz::Fs().Stat(path, &info) == 0 && S_ISDIR(info.st_mode);
        if (directory && !RemoveUnmounted(path)) EV_ERROR(m_logger, "Unable to delete folder %s", path.c_str());
    }
    EV_DEBUG(m_logger, 1, "Ending PrepareMountPath mount of %s", folder.c_str());
    return CWzError::Success();
}

CWzError CSQLDumpRestore::GetExistingMountPaths(const std::string& folder, std::set<std::string>& paths) {
    if (folder.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "mountRoot is empty");
    if (!FolderExists(folder)) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "mountRoot path is not there");
    paths.clear();
    EV_INFO(m_logger, "Looking for my files on '%s'", folder.c_str());
    std::vector<FXFile::CFileData> entries;
    CWzError error = FXFile::JXFindFiles(folder + "/*", entries);
    if (error.IsError()) {
        EV_INFO(m_logger, "JXFindFirstFile('%s') failed with %s", (folder + "/*").c_str(), error.GetMessage().c_str());
        return CWzError::Success();
    }
    for (const FXFile::CFileData& entry : entries) {
        if (entry.isReparsePoint()) paths.insert(folder + "/" + entry.name);
    }
    if (paths.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "No mps found");
    return CWzError::Success();
}

CWzError CSQLDumpRestore::MountRemoteStorages(uint64_t appID, const std::string& mangledName,
                                              const std::string& folder, std::set<std::string>& paths) {
    if (appID == 0) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "nAppID is 0");
    if (mangledName.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "mangledName is empty");
    if (folder.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "mountRoot is empty");
    EV_DEBUG(m_logger, 1, "Starting mount of %s appid = %" PRIu64, folder.c_str(), appID);
    m_dumpSweepUtils.SetClientMangledName(mangledName);
    CWzError error = m_dumpSweepUtils.GetMountedRemoteStorages(appID, folder, paths);
    if (error.IsError()) return error.Push(FXCODELOC, "GetMountedRemoteStorages failed");
    EV_DEBUG(m_logger, 1, "Mount of %s appid = %" PRIu64 " done", folder.c_str(), appID);
    return CWzError::Success();
}

CWzError CSQLDumpRestore::AddMountPointsToDatabase(DumpRestoreSettings& settings, uint64_t appID,
                                                   const std::set<std::string>& paths) {
    if (paths.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "mountPaths are empty");
    if (appID == 0) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "AddMountPointsToDatabase nAppID is 0");
    if (settings.databases.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "DatabaseLsns are empty");
    for (auto& [name, info] : settings.databases) {
        bool found = info.appIDs.count(appID) != 0;
        for (auto path = paths.begin(); !found && path != paths.end(); ++path) {
            if (IsDatabaseOnPath(name, *path, found).IsError()) found = false;
        }
        if (found) info.mountPaths.insert(paths.begin(), paths.end());
    }
    return CWzError::Success();
}

CWzError CSQLDumpRestore::IsDatabaseOnPath(const std::string& db, const std::string& path, bool& found) {
    if (db.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "db is empty");
    if (path.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "path is empty");
    found = false;
    // A name that would leave the folder is no database of a dump folder.
    if (db.find('/') != std::string::npos) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "Database name [%s] holds a '/'", db.c_str());
    }
    const std::string pattern = path + "/" + EscapeWildcards(SqlConvert::ToLower(db)) + "_log_backup_*.bak";
    EV_INFO(m_logger, "Processing '%s', db='%s', wildcard='%s'", path.c_str(), db.c_str(), pattern.c_str());
    std::vector<FXFile::CFileData> entries;
    CWzError error = FXFile::JXFindFiles(pattern, entries);
    if (error.IsSuccess()) {
        found = true;
        return CWzError::Success();
    }
    const uint32_t code = FXErrorUtil::GetWin32(error);
    if (code == FXFile::kNoMoreFiles || code == FXFile::kFileNotFound) {
        EV_DEBUG(m_logger, 1, "'%s' has no files for db '%s'", path.c_str(), db.c_str());
        return CWzError::Success();
    }
    EV_DEBUG(m_logger, 1, "'%s' has no files for db '%s', ec='%s'", path.c_str(), db.c_str(), error.GetMessage().c_str());
    return error.Push(FXCODELOC, "JXFindFirstFile error '%s' on '%s'", pattern.c_str(), path.c_str());
}

CWzError CSQLDumpRestore::CreateMarkerFiles(DumpRestoreSettings& settings) {
    if (settings.databases.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "databases is empty");
    if (settings.jobID.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "jobID is empty");
    for (auto& [name, info] : settings.databases) {
        for (const std::string& path : info.mountPaths) {
            bool found = false;
            CWzError error = IsDatabaseOnPath(name, path, found);
            if (error.IsError()) return error.Push(FXCODELOC, "IsDatabaseOnPath(%s) failed", name.c_str());
            if (!found) {
                EV_DEBUG(m_logger, 1, "Mp '%s' has no '%s' files", path.c_str(), name.c_str());
                continue;
            }
            auto marker = std::make_shared<RestoreMarkerFile>();
            error = marker->Create(path, name, settings.jobID);
            if (error.IsError()) {
                const std::string text = error.GetMessage();
                return error.Push(FXCODELOC, "Could not make restore marker '%s' for '%s'", text.c_str(), name.c_str());
            }
            info.markerFiles.push_back(std::move(marker));
        }
    }
    return CWzError::Success();
}
