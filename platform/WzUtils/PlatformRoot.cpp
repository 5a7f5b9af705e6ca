// The platform root and path resolution under it.
#include "WzUtils/PlatformRoot.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

namespace wz {

std::string PlatformRoot() {
    const char* env = std::getenv(kPlatformRootEnv);
    std::string root = (env != nullptr && *env != '\0') ? env : kDefaultPlatformRoot;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    return root;
}

std::string PlatformPath(std::string_view relative) {
    while (!relative.empty() && relative.front() == '/') relative.remove_prefix(1);
    std::string path = PlatformRoot();
    if (!relative.empty()) {
        path += '/';
        path.append(relative);
    }
    return path;
}

bool MakeDirectories(const std::string& path) {
    if (path.empty()) return false;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeDirectories(path.substr(0, slash))) return false;
    if (::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST) {
        return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    return false;
}

std::string PlatformFilePath(std::string_view relative) {
    std::string path = PlatformPath(relative);
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0) MakeDirectories(path.substr(0, slash));
    return path;
}

void SetPlatformRoot(const std::string& root) { ::setenv(kPlatformRootEnv, root.c_str(), 1); }

}  // namespace wz
