// JXFile: a text file of lines (collect files, lists), and file queries.
//
// Lines end with "\n". The file keeps its own position: getCurOffset() is
// the byte offset of the next byte read or written, however the reads are
// buffered, so an offset taken before a getLine() and given to seek() later
// reads the same line again. Writes are buffered until bufWriteFlush(),
// close() or a read or seek; a failed write keeps what it did not write for
// the next of these to try again, unless a cut (truncate(length)) drops it.
// Everything written goes through the file-system seam (wz::Fs()).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class JXFile {
public:
    // Open modes.
    static constexpr int kRead = 0;        // read an existing file
    static constexpr int kReadWrite = 1;   // read and write an existing file
    static constexpr int kWrite = 3;       // read and write, creating the file when missing
    // Seek origins.
    static constexpr int kFromStart = 0;
    static constexpr int kFromCurrent = 1;
    static constexpr int kFromEnd = 2;

    JXFile() = default;
    ~JXFile();
    JXFile(const JXFile&) = delete;
    JXFile& operator=(const JXFile&) = delete;

    // Opens `path` in `mode` (a file already open is closed first); the
    // position is the start. 0 on success, else the errno value (also kept
    // for getLastError()). The last two arguments are accepted and not used.
    int open(const char* path, int mode, int reserved1 = 0, int reserved2 = 0);
    bool isOpened() const { return m_fd >= 0; }
    // Writes what is buffered and closes; 0 or the errno value of a failed write.
    int close();

    // Empties the file; the position becomes 0. 0 or the errno value.
    int truncate();
    // Cuts the file to its first `length` bytes; what is buffered and not
    // yet written is dropped, never written. The position becomes `length`;
    // on failure (the errno value) it stays, and the buffer is dropped all
    // the same.
    int truncate(int64_t length);
    // Moves the position; the new offset, or -1 on failure.
    int64_t seek(int64_t offset, int origin);
    int64_t getCurOffset() const { return m_offset; }

    // Writes `text` and a line break: the bytes added, or -1 on failure.
    // `flush` writes the buffer out at once.
    int64_t putLine(const std::string& text, bool flush = false);
    // Writes the buffered lines out; 0 or the errno value.
    int bufWriteFlush();
    // Writes the buffered lines out and makes the file's contents durable
    // (fsync); 0 or the errno value.
    int sync();

    // Reads the next line without its line break (and a "\r" before it)
    // into `buffer`, zero-terminated: 1 for a line read, 0 at the end of the
    // file, -1 on failure, including a line that does not fit `size` - 1
    // bytes (the position then stays at the start of that line).
    int getLine(char* buffer, size_t size);

    // The errno value of the last failure.
    int getLastError() const { return m_lastError; }

    // The size in bytes of the regular file `path` into `*size`. 0 on
    // success; 2 when the file does not exist (`*size` untouched); another
    // errno value when it cannot be read or is no regular file.
    static int getFileSize(const char* path, long long* size);

private:
    int Fail(int error);
    bool FillReadBuffer();

    std::string m_path;
    int m_fd = -1;
    int64_t m_offset = 0;          // logical position
    std::vector<char> m_read;      // bytes of the file from m_readStart
    int64_t m_readStart = 0;
    std::string m_write;           // bytes to write at m_writeStart
    int64_t m_writeStart = 0;
    int m_lastError = 0;
};
