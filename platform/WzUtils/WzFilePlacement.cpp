// All-or-none placing of new files over old ones.
#include "WzUtils/WzFilePlacement.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "WzUtils/WzFileSystem.h"

namespace wz {

namespace {

// Names tried before AsideName gives up: each is taken only by a leftover
// of an earlier process with the same id.
constexpr int kAsideNameTries = 64;

bool Exists(const std::string& path, int& err) {
    struct stat st {};
    if (Fs().Lstat(path, &st) == 0) return true;
    err = errno;
    return false;
}

}  // namespace

std::string FilePlacement::AsideName(const std::string& target) {
    int err = 0;
    if (!Exists(target, err)) {
        errno = err;
        return "";
    }
    for (int i = 0; i < kAsideNameTries; ++i) {
        std::string name = UniqueSiblingName(target, "jxold");
        if (Exists(name, err)) continue;
        if (err == ENOENT) return name;
        errno = err;
        return "";
    }
    errno = EEXIST;
    return "";
}

bool FilePlacement::Place(const std::string& file, const std::string& target, const std::string& aside,
                          std::string& error) {
    Placed placed{target, "", false};
    int err = 0;
    if (Exists(target, err)) {
        if (aside.empty()) {
            error = "Cannot place \"" + target + "\": a file stands there that was not expected";
            return false;
        }
        placed.aside = aside;
        if (Fs().Rename(target, placed.aside) != 0) {
            error = "Cannot place \"" + target + "\": cannot set the file there aside: " + std::strerror(errno);
            return false;
        }
    } else if (err != ENOENT) {
        error = "Cannot place \"" + target + "\": " + std::strerror(err);
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

void FilePlacement::Resume(const std::string& target, const std::string& aside) {
    m_placed.push_back({target, aside, true});
}

bool FilePlacement::PutBack(std::string& error) {
    bool ok = true;
    for (auto it = m_placed.rbegin(); it != m_placed.rend(); ++it) {
        const int rc = it->aside.empty() ? Fs().Unlink(it->target) : Fs().Rename(it->aside, it->target);
        if (rc == 0) continue;
        const int failed = errno;
        // Nothing to undo: no new file stands where none stood, or a resumed
        // placing never set its old file aside (the target still holds it).
        int err = 0;
        if (failed == ENOENT && (it->aside.empty() || (it->resumed && !Exists(it->aside, err) && err == ENOENT))) {
            continue;
        }
        errno = failed;
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
