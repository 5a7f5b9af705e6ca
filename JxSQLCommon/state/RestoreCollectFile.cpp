// RestoreCollectFile: scanning dump folders, and writing and reading the
// restore collect file.
#include "JxSQLCommon/state/RestoreCollectFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/DumpLayoutConstants.h"
#include "JxSQLCommon/records/SqlConvert.h"
#include "JxSQLCommon/state/DumpXMLFile.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/FXPath.h"
#include "WzUtils/WzFileSystem.h"

namespace {

// Longest line Read accepts: a path plus two LSNs with their brackets.
constexpr size_t kMaxLineBytes = 8192;

#define RCF_DEBUG(format, ...) \
    EvDebug().Tagged(__FILE_NAME__, __LINE__, EvDebug::kDebug, 1, format __VA_OPT__(, ) __VA_ARGS__)

// Callers pass a name that is not empty, so the append cannot fail.
std::string Join(std::string folder, const std::string& name) {
    (void)FXPath::Append(folder, name);
    return folder;
}

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return wz::Fs().Stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

bool IsDumpOf(const std::string& name, const std::string& prefix) {
    static const std::string kExt = sqlosc::BAK_EXT;
    return name.size() >= prefix.size() + kExt.size() && name.compare(0, prefix.size(), prefix) == 0 &&
           name.compare(name.size() - kExt.size(), kExt.size(), kExt) == 0;
}

// The names in a folder, sorted, so that scans do not depend on the order
// the file system lists them in.
CWzError ListFolder(const std::string& path, std::vector<std::string>& names) {
    if (wz::Fs().ReadDirectory(path, names) != 0) return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "opendir failed");
    std::sort(names.begin(), names.end());
    return CWzError::Success();
}

// The backup path of a line: the whole line, or what follows
// "[<first>] [<last>] " in the detailed form.
std::string BackupPathOfLine(const std::string& line) {
    if (line.empty() || line.front() != '[') return line;
    const size_t middle = line.find("] [", 1);
    if (middle == std::string::npos) return line;
    const size_t end = line.find("] ", middle + 3);
    if (end == std::string::npos) return line;
    return line.substr(end + 2);
}

std::string ParentOf(const std::string& path) {
    std::string parent;
    std::string name;
    (void)FXPath::SplitParentPath(path, parent, name);  // a path that names no folder gives ""
    return parent;
}

// Reads a dump's metadata into `info` and adds it to `lsns` under its key.
// A dump whose metadata cannot be read is skipped (logged), so one damaged
// file does not hide the dumps beside it.
CWzError AddDump(const DumpXMLFile& xmlFile, const std::string& backupPath, const std::string& folder, LSNS& lsns) {
    std::string metadataPath;
    CWzError error = xmlFile.GetXMLFileFromBAKFile(backupPath, metadataPath);
    if (error.IsError()) return error.Push(FXCODELOC, "GetXMLFileFromBAKFile failed %s", backupPath.c_str());
    LogFileInfo info;
    error = xmlFile.GetSweepMetadataFromXML(metadataPath, info);
    if (error.IsError()) {
        EvDebug().Tagged(__FILE_NAME__, __LINE__, EvDebug::kWarn, 0, "GetSweepMetadataFromXML failed %s: %s. Skipping it",
                         metadataPath.c_str(), error.AsString().c_str());
        return CWzError::Success();
    }
    info.backupFile = backupPath;
    info.folder = folder;
    std::string key;
    error = LSNSKey(info, key);
    if (error.IsError()) return error;
    if (lsns.count(key) != 0) {
        RCF_DEBUG("Item %s %s in list", backupPath.c_str(), key.c_str());
        return CWzError::Success();
    }
    lsns.emplace(std::move(key), std::move(info));
    return CWzError::Success();
}

}  // namespace

CWzError RestoreCollectFile::GetDatabaseFiles(const std::string& db, const std::string& path, LSNS& lsns) const {
    if (db.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "db is empty");
    if (path.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "path is empty");
    const std::string prefix = SqlConvert::ToLower(db) + "_log_backup_";
    const std::string pattern = Join(path, prefix + "*" + sqlosc::BAK_EXT);
    RCF_DEBUG("Looking for db files '%s', db='%s'", pattern.c_str(), db.c_str());

    std::vector<std::string> names;
    CWzError error = ListFolder(path, names);
    if (error.IsError()) {
        RCF_DEBUG("JXFindFirstFile('%s') failed with %s", pattern.c_str(), error.AsString().c_str());
        return CWzError::Success();
    }
    const DumpXMLFile xmlFile;
    for (const std::string& name : names) {
        if (!IsDumpOf(name, prefix)) continue;
        const std::string backupPath = Join(path, name);
        // A line break in a name would break the collect file's lines.
        if (!IsRegularFile(backupPath) || name.find_first_of("\r\n") != std::string::npos) continue;
        if (!xmlFile.DoesXMLFileExists(backupPath)) {
            RCF_DEBUG("No xml file found for %s", backupPath.c_str());
            continue;
        }
        error = AddDump(xmlFile, backupPath, path, lsns);
        if (error.IsError()) return error;
    }
    return CWzError::Success();
}

CWzError RestoreCollectFile::Create(DumpRestoreSettings& settings) {
    if (settings.databases.empty()) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "databases is empty");
    }
    if (settings.jobID.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "jobID is empty");
    for (auto& [name, info] : settings.databases) {
        for (const std::string& mountPath : info.mountPaths) {
            CWzError error = GetDatabaseFiles(name, mountPath, info.logFiles);
            if (error.IsError()) {
                RCF_DEBUG("Not finding '%s' on '%s', moving to next MP [%s]", name.c_str(), mountPath.c_str(),
                          error.AsString().c_str());
            }
        }
    }
    return CWzError::Success();
}

CWzError RestoreCollectFile::Save(const DB_LSNS& databases, const std::string& folder, const std::string& jobID,
                                  bool withLSNs) const {
    if (folder.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "folder is empty");
    if (jobID.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "jobID is empty");
    if (databases.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "lsns empty");
    for (const auto& [name, info] : databases) {
        std::string path;
        CWzError error = BuildFilePath(path, name, folder, jobID);
        if (error.IsError()) return error.Push(FXCODELOC, "BuildFilePath failed");
        error = Save(info.logFiles, path, withLSNs);
        if (error.IsError()) return error.Push(FXCODELOC, "Could not save rcf %s", path.c_str());
    }
    return CWzError::Success();
}

CWzError RestoreCollectFile::Save(const LSNS& lsns, const std::string& fullPath, bool withLSNs) const {
    if (fullPath.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "fullPath is empty");
    if (lsns.empty()) return CWzError::Success().Push(FXCODELOC, "LSNs empty");

    std::string content;
    for (const auto& [key, info] : lsns) {
        std::string line = withLSNs ? "[" + info.firstLSN + "] [" + info.lastLSN + "] " + info.backupFile
                                    : info.backupFile;
        // One dump, one line: a line break (the LSNs come from a dump's
        // metadata file) would make a reader see a dump that is not there.
        if (line.find_first_of("\r\n") != std::string::npos) {
            return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "%s Failed to putline: the entry of [%s] breaks the line",
                                             fullPath.c_str(), info.backupFile.c_str());
        }
        content += line + '\n';
    }
    if (!wz::WriteFileAtomically(fullPath, content)) {
        const int error = errno;
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "%s Failed to putline: %s", fullPath.c_str(),
                                         std::strerror(error));
    }
    return CWzError::Success();
}

CWzError RestoreCollectFile::BuildFilePath(std::string& out, const std::string& db, const std::string& folder,
                                           const std::string& jobID) const {
    if (db.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "db is empty");
    if (jobID.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "jobID is empty");
    if (folder.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "folder empty");
    const std::string name = db + "_" + jobID + sqlosc::RCF_EXT;
    if (name.find('/') != std::string::npos) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "Could not append fileName to rcf path");
    }
    out = folder;
    CWzError error = FXPath::Append(out, name);
    if (error.IsError()) return error.Push(FXCODELOC, "Could not append fileName to rcf path");
    return CWzError::Success();
}

CWzError RestoreCollectFile::Read(LSNS& lsns, const std::string& fullPath) const {
    if (fullPath.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "fullPath is empty");
    std::ifstream in(fullPath, std::ios::binary);
    if (!in) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "Could not open restore collect file %s",
                                         fullPath.c_str());
    }
    const DumpXMLFile xmlFile;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        if (line.size() > kMaxLineBytes) {
            RCF_DEBUG("Line of %zu bytes in %s is too long. Skipping it", line.size(), fullPath.c_str());
            continue;
        }
        const std::string backupPath = BackupPathOfLine(line);
        if (!IsRegularFile(backupPath)) {
            RCF_DEBUG("No bak file found for %s, could have been swept", backupPath.c_str());
            continue;
        }
        if (!xmlFile.DoesXMLFileExists(backupPath)) {
            RCF_DEBUG("No xml file found for %s", backupPath.c_str());
            continue;
        }
        CWzError error = AddDump(xmlFile, backupPath, ParentOf(backupPath), lsns);
        if (error.IsError()) return error;
    }
    if (lsns.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "No LSN files found");
    return CWzError::Success();
}
