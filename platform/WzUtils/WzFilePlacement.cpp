// All-or-none placing of new files over old ones.
#include "WzUtils/WzFilePlacement.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "WzUtils/WzFileSystem.h"

namespace wz {

bool FilePlacement::Place(const std::string& file, const std::string& target, std::string& error) {
    Placed placed{target, ""};
    struct stat st {};
    if (Fs().Lstat(target, &st) == 0) {
        placed.aside = UniqueSiblingName(target, "jxold");
        if (Fs().Rename(target, placed.aside) != 0) {
            error = "Cannot place \"" + target + "\": cannot set the file there aside: " + std::strerror(errno);
            return false;
        }
    } else if (errno != ENOENT) {
        error = "Cannot place \"" + target + "\": " + std::strerror(errno);
        return false;
    }
    if (Fs().Rename(file, target) != 0) {
        error = "Cannot place \"" + target + "\": " + std::strerror(errno);
        if (!placed.aside.empty() && Fs().Rename(placed.aside, target) != 0) {
            error += "; its earlier content could not be put back and lies in \"" + placed.aside +
                     "\": " + std::strerror(errno);
        }
        return false;
    }
    m_placed.push_back(placed);
    return true;
}

bool FilePlacement::PutBack(std::string& error) {
    bool ok = true;
    for (auto it = m_placed.rbegin(); it != m_placed.rend(); ++it) {
        const int rc = it->aside.empty() ? Fs().Unlink(it->target) : Fs().Rename(it->aside, it->target);
        if (rc == 0 || (it->aside.empty() && errno == ENOENT)) continue;
        ok = false;
        if (!error.empty()) error += "; ";
        error += it->aside.empty()
                     ? "\"" + it->target + "\" could not be removed: " + std::strerror(errno)
                     : "\"" + it->target + "\" could not be put back (its earlier content lies in \"" + it->aside +
                           "\"): " + std::strerror(errno);
    }
    m_placed.clear();
    return ok;
}

void FilePlacement::Keep() {
    for (const Placed& p : m_placed) {
        if (!p.aside.empty()) (void)Fs().Unlink(p.aside);  // a leftover only takes space
    }
    m_placed.clear();
}

}  // namespace wz
