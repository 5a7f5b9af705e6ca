// Appending text to a file.
#include "WzUtils/WzAppendFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace wz {

bool AppendToFile(const std::string& path, const std::string& text) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        p += n;
        left -= static_cast<size_t>(n);
    }
    int err = errno;
    ::close(fd);
    errno = err;
    return left == 0;
}

}  // namespace wz
