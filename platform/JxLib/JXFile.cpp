// JXFile: line-oriented file access over the file-system seam, and queries.
#include "JxLib/JXFile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "WzUtils/WzFileSystem.h"

namespace {

constexpr size_t kReadChunk = 64 * 1024;

}  // namespace

JXFile::~JXFile() {
    // A destructor cannot report; callers that care flush or close first.
    (void)close();
}

int JXFile::Fail(int error) {
    m_lastError = error != 0 ? error : EIO;
    return m_lastError;
}

int JXFile::open(const char* path, int mode, int, int) {
    (void)close();
    if (path == nullptr || *path == '\0') return Fail(EINVAL);
    int flags = 0;
    switch (mode) {
        case kRead: flags = O_RDONLY; break;
        case kReadWrite: flags = O_RDWR; break;
        case kWrite: flags = O_RDWR | O_CREAT; break;
        default: return Fail(EINVAL);
    }
    int fd = wz::Fs().Open(path, flags | O_CLOEXEC);
    if (fd < 0) return Fail(errno);
    m_fd = fd;
    m_path = path;
    m_offset = 0;
    m_read.clear();
    m_readStart = 0;
    m_write.clear();
    return 0;
}

int JXFile::close() {
    if (m_fd < 0) return 0;
    int rc = bufWriteFlush();
    if (wz::Fs().Close(m_fd) != 0 && rc == 0) rc = Fail(errno);
    m_fd = -1;
    m_read.clear();
    m_write.clear();
    return rc;
}

int JXFile::bufWriteFlush() {
    if (m_fd < 0) return Fail(EBADF);
    size_t done = 0;
    while (done < m_write.size()) {
        ssize_t n = wz::Fs().PWrite(m_fd, m_write.data() + done, m_write.size() - done,
                                    static_cast<off_t>(m_writeStart + static_cast<int64_t>(done)));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // Keep what was not written, so that a later flush may retry it.
            m_write.erase(0, done);
            m_writeStart += static_cast<int64_t>(done);
            return Fail(n < 0 ? errno : EIO);
        }
        done += static_cast<size_t>(n);
    }
    m_write.clear();
    return 0;
}

int JXFile::sync() {
    if (const int rc = bufWriteFlush(); rc != 0) return rc;
    if (wz::Fs().Fsync(m_fd) != 0) return Fail(errno);
    return 0;
}

int JXFile::truncate() {
    if (m_fd < 0) return Fail(EBADF);
    m_write.clear();
    m_read.clear();
    // Reopening with O_TRUNC empties the file through the seam.
    if (wz::Fs().Close(m_fd) != 0) {
        m_fd = -1;
        return Fail(errno);
    }
    m_fd = wz::Fs().Open(m_path, O_RDWR | O_TRUNC | O_CLOEXEC);
    if (m_fd < 0) return Fail(errno);
    m_offset = 0;
    return 0;
}

int JXFile::truncate(int64_t length) {
    if (m_fd < 0) return Fail(EBADF);
    m_write.clear();
    m_read.clear();
    if (length < 0) return Fail(EINVAL);
    if (wz::Fs().Ftruncate(m_fd, static_cast<off_t>(length)) != 0) return Fail(errno);
    m_offset = length;
    return 0;
}

int64_t JXFile::seek(int64_t offset, int origin) {
    if (m_fd < 0) {
        Fail(EBADF);
        return -1;
    }
    if (bufWriteFlush() != 0) return -1;
    int64_t base = 0;
    if (origin == kFromCurrent) {
        base = m_offset;
    } else if (origin == kFromEnd) {
        struct stat st {};
        if (wz::Fs().Stat(m_path, &st) != 0) {
            Fail(errno);
            return -1;
        }
        base = st.st_size;
    } else if (origin != kFromStart) {
        Fail(EINVAL);
        return -1;
    }
    if (offset > 0 && base > INT64_MAX - offset) {
        Fail(EOVERFLOW);
        return -1;
    }
    if (base + offset < 0) {
        Fail(EINVAL);
        return -1;
    }
    m_offset = base + offset;
    return m_offset;
}

int64_t JXFile::putLine(const std::string& text, bool flush) {
    if (m_fd < 0) {
        Fail(EBADF);
        return -1;
    }
    m_read.clear();  // what was read ahead may be overwritten
    if (!m_write.empty() && m_writeStart + static_cast<int64_t>(m_write.size()) != m_offset) {
        if (bufWriteFlush() != 0) return -1;
    }
    if (m_write.empty()) m_writeStart = m_offset;
    m_write += text;
    m_write += '\n';
    m_offset += static_cast<int64_t>(text.size()) + 1;
    if ((flush || m_write.size() >= kReadChunk) && bufWriteFlush() != 0) return -1;
    return static_cast<int64_t>(text.size()) + 1;
}

bool JXFile::FillReadBuffer() {
    // Appends the next chunk of the file after what the buffer holds.
    const int64_t end = m_readStart + static_cast<int64_t>(m_read.size());
    const size_t have = m_read.size();
    m_read.resize(have + kReadChunk);
    ssize_t n;
    do {
        n = wz::Fs().PRead(m_fd, m_read.data() + have, kReadChunk, static_cast<off_t>(end));
    } while (n < 0 && errno == EINTR);
    m_read.resize(have + static_cast<size_t>(n > 0 ? n : 0));
    if (n < 0) Fail(errno);
    return n >= 0;
}

int JXFile::getLine(char* buffer, size_t size) {
    if (buffer == nullptr || size == 0) {
        Fail(EINVAL);
        return -1;
    }
    buffer[0] = '\0';
    if (m_fd < 0) {
        Fail(EBADF);
        return -1;
    }
    if (bufWriteFlush() != 0) return -1;
    if (m_offset < m_readStart || m_offset > m_readStart + static_cast<int64_t>(m_read.size())) {
        m_read.clear();
        m_readStart = m_offset;
    } else if (m_offset - m_readStart > static_cast<int64_t>(kReadChunk)) {
        // Drops what earlier lines consumed.
        m_read.erase(m_read.begin(), m_read.begin() + (m_offset - m_readStart));
        m_readStart = m_offset;
    }
    size_t scanned = 0;  // bytes after the position searched for a line break so far
    for (;;) {
        const size_t pos = static_cast<size_t>(m_offset - m_readStart);
        const char* begin = m_read.data() + pos;
        const size_t available = m_read.size() - pos;
        const void* nl = available > scanned ? std::memchr(begin + scanned, '\n', available - scanned) : nullptr;
        if (nl == nullptr) {
            // The line, and a "\r" before its break, must fit the buffer.
            if (available > size) {
                Fail(EOVERFLOW);
                return -1;
            }
            scanned = available;
            const size_t before = m_read.size();
            if (!FillReadBuffer()) return -1;
            if (m_read.size() > before) continue;
            if (available == 0) return 0;  // the end of the file
        }
        begin = m_read.data() + pos;
        size_t length = nl != nullptr ? static_cast<size_t>(static_cast<const char*>(nl) - begin) : available;
        const size_t consumed = nl != nullptr ? length + 1 : length;
        if (length > 0 && begin[length - 1] == '\r') --length;
        if (length >= size) {
            Fail(EOVERFLOW);
            return -1;
        }
        std::memcpy(buffer, begin, length);
        buffer[length] = '\0';
        m_offset += static_cast<int64_t>(consumed);
        return 1;
    }
}

int JXFile::getFileSize(const char* path, long long* size) {
    if (path == nullptr || size == nullptr) return EINVAL;
    struct stat st {};
    if (::stat(path, &st) != 0) return errno == ENOENT ? 2 : errno;
    if (!S_ISREG(st.st_mode)) return EISDIR;
    *size = static_cast<long long>(st.st_size);
    return 0;
}
