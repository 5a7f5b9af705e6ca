// The transfer of staged log dumps: each dump file, as the engine once wrote
// it, copied onto stream 1 of the job as a piece of its own, so that a
// restore reads it back like any other log backup.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "JxSQLVDIBase/VdiStreamFormat.h"
#include "JxSqlDataReaderWriter/DataReaderWriter.h"
#include "JxSqlDataReaderWriter/SqlBackupTransfer.h"
#include "JxSqlDataReaderWriter/SqlDataTransferHandler.h"
#include "JxSqlDataReaderWriter/SqlTransferState.h"
#include "WzUtils/WzFileSystem.h"
#include "WzUtils/WzFormat.h"

namespace {

constexpr size_t kCopyBlock = 64 * 1024;

// Copies `file` to the end of the stream's archive file and describes the
// piece; false with `error` set.
bool CopyDump(SqlTransferState& st, SqlTransferState::ArchiveStream& a, const std::string& file, MediaPiece& piece,
              std::string& error, bool& stopJob) {
    const int in = wz::Fs().Open(file, O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        error = "Cannot open the log dump [" + file + "]: " + std::strerror(errno);
        return false;
    }
    std::unique_ptr<char[]> buffer(new char[kCopyBlock]);
    uint64_t written = 0;
    bool ok = true;
    for (uint64_t block = 0; ok; ++block) {
        if (SqlTransferStopAsked(st, st.control, block, error)) {
            ok = false;
            break;
        }
        const ssize_t n = wz::Fs().Read(in, buffer.get(), kCopyBlock);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = "Cannot read the log dump [" + file + "]: " + std::strerror(errno);
            ok = false;
            break;
        }
        if (n == 0) break;
        if (block == 0) {
            VdiStreamHeader header;
            if (VdiDecodeStreamHeader(buffer.get(), static_cast<size_t>(n), header).IsSuccess()) {
                piece.database = header.database;
                piece.type = std::string(1, header.type);
                piece.backupSetId = wz::Format("%016llx", static_cast<unsigned long long>(header.backupSetId));
                piece.firstLsn = std::to_string(header.firstLsn);
                piece.lastLsn = std::to_string(header.lastLsn);
            }
        }
        if (!wz::WriteAll(a.fd, buffer.get(), static_cast<size_t>(n))) {
            error = "Cannot write archive file [" + a.file.path + "]: " + std::strerror(errno);
            stopJob = true;
            ok = false;
            break;
        }
        written += static_cast<uint64_t>(n);
    }
    (void)wz::Fs().Close(in);  // read only
    a.size += written;
    piece.length = written;
    return ok;
}

}  // namespace

bool SqlDataTransferHandler::backupDBLogFiles(const std::list<std::string>& files) {
    std::shared_ptr<SqlTransferState> st = m_state;
    std::lock_guard<std::mutex> lock(st->mutex);
    st->setupCompleted = false;
    st->writers.clear();
    st->fileWriters.clear();
    st->lastError.clear();
    st->cancel = std::make_shared<std::atomic<bool>>(false);
    DiskLibrary library;
    if (!SqlOpenArchiveStream(*st, library, 1)) return false;
    SqlTransferState::ArchiveStream& a = st->archiveFiles[1];
    // The descriptor appends through its own offset: start at the end.
    if (lseek(a.fd, static_cast<off_t>(a.size), SEEK_SET) < 0) {
        st->lastError = "Cannot position archive file [" + a.file.path + "]: " + std::strerror(errno);
        st->stopJob = true;
        return false;
    }
    st->setupCompleted = true;
    // A failed dump fails the database: nothing of its dumps is left for a
    // later commit of the job, neither their pieces nor their bytes.
    const uint64_t start = a.size;
    std::vector<int64_t> added;
    const auto fail = [&](const std::string& error) {
        st->lastError = error;
        st->fileWriters.clear();
        for (int64_t id : added) {
            // A piece left indexed is uncommitted and reclaimed with the file.
            (void)library.DropPiece(id);
            std::erase(st->pendingPieces, id);
        }
        SqlDropFailedPiece(a, start);
        return false;
    };
    for (const std::string& file : files) {
        auto writer = std::make_shared<DataReaderWriter>(1, a.file.id, a.size, a.file.path);
        MediaPiece piece;
        piece.archiveFileId = a.file.id.archiveFileId;
        piece.offset = a.size;
        piece.jobId = st->jobId;
        piece.database = st->dbName;
        piece.type = "L";
        piece.stream = 1;
        piece.streams = 1;
        std::string error;
        bool stopJob = false;
        if (!CopyDump(*st, a, file, piece, error, stopJob)) {
            if (stopJob) st->stopJob = true;
            return fail(error);
        }
        writer->addBytesTransferred(piece.length);
        st->bytesTransferred += piece.length;
        if (CWzError e = library.AddPiece(piece); e.IsError()) {
            return fail("Cannot index the piece of the log dump [" + file + "]: " + e.GetMessage());
        }
        added.push_back(piece.id);
        st->pendingPieces.push_back(piece.id);
        st->fileWriters[file] = writer;
        st->writers[1] = writer;
    }
    st->pendingNextLine = st->collectFileOffset + static_cast<unsigned long>(st->dbName.size()) + 1;
    return true;
}
