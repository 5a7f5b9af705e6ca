// CSQLBackup: the size of a FILESTREAM container, a folder whose files hold
// the database's blobs: the sum of the sizes of the regular files below it.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "JxSQLCommon/backup/CSQLBackup.h"

namespace {

// Adds the sizes of the regular files below the open directory `fd` (which
// it closes) to `sum`. Symbolic links are not followed: a link may lead out
// of the container, or back into it. 0, or the errno of the first failure.
uint32_t SumDirectory(int fd, unsigned long long& sum) {
    DIR* dir = fdopendir(fd);
    if (dir == nullptr) {
        const int error = errno;
        close(fd);
        return static_cast<uint32_t>(error != 0 ? error : EIO);
    }
    uint32_t result = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir);
        if (entry == nullptr) {
            result = static_cast<uint32_t>(errno);
            break;
        }
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        struct stat st {};
        if (fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            result = static_cast<uint32_t>(errno != 0 ? errno : EIO);
            break;
        }
        if (S_ISDIR(st.st_mode)) {
            const int child = openat(dirfd(dir), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child < 0) {
                result = static_cast<uint32_t>(errno != 0 ? errno : EIO);
                break;
            }
            result = SumDirectory(child, sum);
            if (result != 0) break;
        } else if (S_ISREG(st.st_mode)) {
            sum += static_cast<unsigned long long>(st.st_size);
        }
    }
    closedir(dir);
    return result;
}

}  // namespace

uint32_t CSQLBackup::CalculateSizeOfFileStreamDirectory(const std::string& folder, unsigned long long& total) {
    // The container itself may not be a link either; its size is only added
    // when every file below it could be sized, so a failure adds nothing.
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return static_cast<uint32_t>(errno != 0 ? errno : EIO);
    unsigned long long sum = 0;
    const uint32_t result = SumDirectory(fd, sum);
    if (result == 0) total += sum;
    return result;
}
