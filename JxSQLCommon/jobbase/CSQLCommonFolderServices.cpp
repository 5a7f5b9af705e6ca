// CSQLCommon: job-results staging folder, folder listings, folder creation,
// free space and file-name helpers.
#include <fnmatch.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <cinttypes>
#include <cstring>
#include <cwchar>
#include <strings.h>

#include <string>
#include <vector>

#include "JxLib/JXPIAgent.h"
#include "JxSQLCommon/jobbase/CSQLCommon.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzFileSystem.h"

namespace {

constexpr int kAgentAppType = 81;

// Creates one directory level (0755); an existing directory is fine.
bool MakeLevel(const std::string& path) {
    wz::FileSystem& fs = wz::Fs();
    if (fs.Mkdir(path, 0755) == 0) return true;
    struct stat st {};
    return errno == EEXIST && fs.Stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return wz::Fs().Stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// Calls `visit(name)` for every entry of `folder` but "." and "..". False when
// the folder cannot be opened or read to its end.
template <typename Visit>
bool ListFolder(const std::string& folder, Visit visit) {
    std::vector<std::string> names;
    if (wz::Fs().ReadDirectory(folder, names) != 0) return false;
    for (const std::string& name : names) visit(name);
    return true;
}

bool StartsWith(const wchar_t* text, const wchar_t* prefix) {
    return std::wcsncmp(text, prefix, std::wcslen(prefix)) == 0;
}

}  // namespace

uint64_t CSQLCommon::GetJobresultsDir(std::string& path, uint64_t id1, uint64_t id2) {
    JXPI_JxClient platform(kAgentAppType);
    std::string clientName;
    std::string directory;
    if (platform.invalidJXPlatform() || !platform.getClientName(clientName) ||
        !platform.getJobResultsDirectory(clientName, directory)) {
        EV_ERROR(m_logger, "Error [%x] obtaining location of staging directory.",
                 static_cast<unsigned>(platform.getLastError()));
        return 1;
    }
    while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
    if (wz::MakeDirectoryTree(directory) != 0) {
        EV_ERROR(m_logger, "Failed to create staging directory [%s] with error [%d].", directory.c_str(), errno);
        return 1;
    }
    std::string level = directory;
    for (const std::string& name :
         {std::string("JX_JobResults"), std::string("Pelmanode"), std::string("MSSQLAgent"), std::to_string(id1),
          std::to_string(id2)}) {
        level += "/" + name;
        if (!MakeLevel(level)) {
            EV_ERROR(m_logger, "Failed to create staging directory [%s] with error [%d].", level.c_str(), errno);
            return 1;
        }
    }
    path = level;
    return 0;
}

bool CSQLCommon::populateFiles(std::string folder, std::string pattern, std::vector<std::string>& files,
                               std::string& errorText) {
    std::vector<std::string> found;
    bool listed = ListFolder(folder, [&](const std::string& name) {
        if (::fnmatch(pattern.c_str(), name.c_str(), FNM_PERIOD) != 0) return;
        std::string full = folder + "/" + name;
        if (IsFolder(full)) {
            EV_DEBUG(m_logger, 3, "Folder: %s", full.c_str());
            return;
        }
        EV_DEBUG(m_logger, 3, "File: %s", full.c_str());
        found.push_back(std::move(full));
    });
    if (!listed) {
        EV_ERROR(m_logger, " Failed to get open file handle for %s", folder.c_str());
        errorText = "Error in finding files";
        return false;
    }
    files.insert(files.end(), found.begin(), found.end());
    return true;
}

bool CSQLCommon::GetAllFilesInFolder(std::string folder, std::string filter, std::vector<std::string>& files,
                                     bool recurse) {
    std::vector<std::string> subFolders;
    bool listed = ListFolder(folder, [&](const std::string& name) {
        std::string full = folder + "/" + name;
        if (IsFolder(full)) {
            if (recurse) subFolders.push_back(std::move(full));
        } else if (filter.empty() || ::fnmatch(filter.c_str(), name.c_str(), 0) == 0) {
            files.push_back(std::move(full));
        }
    });
    if (!listed) {
        EV_ERROR(m_logger, "Failed to list the files of folder [%s] with error [%d].", folder.c_str(), errno);
        return false;
    }
    bool ok = true;
    for (const std::string& sub : subFolders) ok = GetAllFilesInFolder(sub, filter, files, true) && ok;
    return ok;
}

bool CSQLCommon::CreateFolderInDirectory(std::string& parent, std::string name) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos || parent.empty()) {
        EV_ERROR(m_logger, "Failed to create folder [%s] in parent folder [%s] with error [%s].", name.c_str(),
                 parent.c_str(), "invalid folder name");
        return false;
    }
    std::string path = parent + (parent.back() == '/' ? "" : "/") + name;
    if (wz::MakeDirectoryTree(path) != 0) {
        EV_ERROR(m_logger, "Failed to create folder [%s] in parent folder [%s] with error [%s].", name.c_str(),
                 parent.c_str(), std::strerror(errno));
        return false;
    }
    parent = path;
    return true;
}

CWzError CSQLCommon::GetFreeSpaceOnFolder(std::string folder, uint64_t& freeBytes) {
    if (folder.compare(0, 2, "//") == 0 && folder.back() != '/') folder += "/";
    EV_DEBUG(m_logger, 6, "Get free space for folder [%s].", folder.c_str());
    struct statvfs vfs {};
    if (::statvfs(folder.c_str(), &vfs) != 0) {
        CWzError err = FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "statvfs failed");
        return err.Push(FXCODELOC, "Error fetching free bytes available on volume hosting the folder %s",
                        folder.c_str());
    }
    uint64_t available = static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
    EV_DEBUG(m_logger, 3, "Free space on path: [%s] is [%" PRIu64 "].", folder.c_str(), available);
    freeBytes = available;
    return CWzError::Success();
}

CWzError CSQLCommon::HasEnoughSpaceForFile(const std::string& path, int64_t size, bool& enough) {
    enough = true;
    size_t slash = path.find_last_of('/');
    std::string parent = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    uint64_t freeBytes = 0;
    CWzError err = GetFreeSpaceOnFolder(parent, freeBytes);
    if (err.IsError()) return err.Push(FXCODELOC, "Cannot tell whether [%s] fits", path.c_str());
    if (static_cast<uint64_t>(size) > freeBytes) enough = false;
    return CWzError::Success();
}

std::string CSQLCommon::MakeValidWinFSFolderFileName(std::string text) {
    for (char c : {':', '\\', '/', '*', '?', '"', '<', '>', '|'}) {
        for (char& ch : text) {
            if (ch == c) ch = '_';
        }
    }
    return text;
}

bool CSQLCommon::MakeLongPathRequest(const wchar_t* input, wchar_t* output, int size) {
    if (input == nullptr || output == nullptr || size <= 0) return false;
    static const wchar_t kLongUnc[] = L"\\\\?\\UNC\\";
    const size_t length = std::wcslen(input);
    const size_t capacity = static_cast<size_t>(size);
    if (length <= 3 || StartsWith(input, kLongUnc) || StartsWith(input, L"\\\\?\\") || StartsWith(input, L"\\\\.")) {
        if (length + 1 > capacity) return false;
        std::wmemcpy(output, input, length + 1);
        return true;
    }
    if (StartsWith(input, L"\\\\")) {
        const size_t prefix = std::wcslen(kLongUnc);
        if (prefix + (length - 2) + 1 > capacity) return false;
        std::wmemcpy(output, kLongUnc, prefix);
        std::wmemcpy(output + prefix, input + 2, length - 2 + 1);
        return true;
    }
    return false;
}

bool CSQLCommon::CreateUNCPath(const char* path, char* output, int& length) {
    if (path == nullptr || output == nullptr || length <= 0) return false;
    const size_t size = std::strlen(path);
    if (size + 1 > static_cast<size_t>(length)) return false;
    std::memcpy(output, path, size + 1);
    length = static_cast<int>(size);
    return true;
}

bool CSQLCommon::DeleteUNCPath(const char*, const char*) { return true; }

int CSQLCommon::computeStripLevel(const char* path) {
    if (path == nullptr || std::strchr("/\\.,", path[0]) == nullptr || path[0] == '\0') {
        EvDebug("JxSQLCommon").error("invalid path %s (no delimiter)", path != nullptr ? path : "");
        return -1;
    }
    if (path[1] == '\0') return 0;
    int count = 0;
    for (const char* p = path; *p != '\0'; ++p) count += *p == path[0];
    return count;
}

bool CSQLCommon::containsDriveLetter(const char* path) {
    if (path == nullptr) return false;
    const char* first = std::strpbrk(path, "/\\.");
    const char delimiter = first != nullptr ? *first : '/';
    const char* p = path[0] == delimiter ? path + 1 : path;
    if (p[0] == '\0' || p[1] == '\0') return false;
    const bool letter = (p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z');
    return letter && p[1] == ':' && (p[2] == delimiter || p[2] == '\0');
}

bool CSQLCommon::endswith(const std::string& text, const std::string& suffix) {
    if (suffix.size() > text.size()) return false;
    return ::strncasecmp(text.c_str() + text.size() - suffix.size(), suffix.c_str(), suffix.size()) == 0;
}
