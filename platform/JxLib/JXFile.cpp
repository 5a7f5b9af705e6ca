// File queries over stat(2).
#include "JxLib/JXFile.h"

#include <sys/stat.h>

#include <cerrno>

int JXFile::getFileSize(const char* path, long long* size) {
    if (path == nullptr || size == nullptr) return EINVAL;
    struct stat st {};
    if (::stat(path, &st) != 0) return errno == ENOENT ? 2 : errno;
    if (!S_ISREG(st.st_mode)) return EISDIR;
    *size = static_cast<long long>(st.st_size);
    return 0;
}
