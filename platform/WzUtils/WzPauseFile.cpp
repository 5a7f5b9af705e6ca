// Pause files: where they are looked for and the wait while one exists.
#include "WzUtils/WzPauseFile.h"

#include <sys/stat.h>

#include <cstdlib>

#include "WzUtils/WzClock.h"

namespace wz {

std::string PauseFilePath(const std::string& name) {
    const char* root = std::getenv(kPauseRootEnv);
    if (root == nullptr || *root == '\0') return name;
    std::string path = root;
    if (!name.empty() && name[0] != '/') path += '/';
    return path + name;
}

bool WaitWhilePauseFile(const std::string& name, int stepMs, int maxSteps) {
    const std::string path = PauseFilePath(name);
    struct stat st {};
    for (int step = 0; step < maxSteps; ++step) {
        if (::stat(path.c_str(), &st) != 0) return true;
        WZSLEEP_InTeRnAl(static_cast<uint32_t>(stepMs));
    }
    return ::stat(path.c_str(), &st) != 0;
}

}  // namespace wz
