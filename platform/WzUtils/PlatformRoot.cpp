// The platform root and path resolution under it.
#include "WzUtils/PlatformRoot.h"

#include <cstdlib>

#include "WzUtils/WzFileSystem.h"

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

std::string PlatformFilePath(std::string_view relative) {
    std::string path = PlatformPath(relative);
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0) (void)MakeDirectoryTree(path.substr(0, slash));
    return path;
}

void SetPlatformRoot(const std::string& root) { ::setenv(kPlatformRootEnv, root.c_str(), 1); }

}  // namespace wz
