// The backup transfer: one thread per stream writes the engine's blocks to
// the stream's archive file, the database's piece appended at its end.
#include "JxSqlDataReaderWriter/SqlBackupTransfer.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "JxJobClient/JXJobClient.h"
#include "JxLib/EvDebug.h"
#include "JxSQLVDIBase/CJxSQLVDIBase.h"
#include "JxSQLVDIBase/VdiDevice.h"
#include "JxSQLVDIBase/VdiServeWait.h"
#include "JxSQLVDIBase/VdiStreamFormat.h"
#include "JxSqlDataReaderWriter/DataReaderWriter.h"
#include "JxJobClient/JXJobCtrlClient.h"
#include "JxSqlDataReaderWriter/SqlTransferState.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzFileSystem.h"
#include "WzUtils/WzFormat.h"

namespace {

// The outcome of one stream's thread.
struct StreamRun {
    int stream = 0;
    std::shared_ptr<DataReaderWriter> writer;
    int fd = -1;
    uint64_t offset = 0;
    uint64_t written = 0;
    MediaPiece piece;
    bool ok = false;
    bool stopJob = false;
    std::string error;
};

void Fail(SqlTransferState& st, CJxSQLVDIBase* engine, StreamRun& run, const std::string& text, bool stopJob) {
    run.ok = false;
    run.error = text;
    run.stopJob = stopJob;
    if (engine != nullptr) engine->AbortOperation(text);
    (void)st;
}

void MoveStream(const std::shared_ptr<SqlTransferState>& st, CJxSQLVDIBase* engine, JXJobCtrlClient* control,
                VdiDevice* device, uint64_t quota, std::atomic<uint64_t>* mediaBytes, StreamRun& run) {
    const int64_t waitMs = VdiServeWaitMs(*engine);
    bool first = true;
    std::string stop;
    for (uint64_t blocks = 0;; ++blocks) {
        if (SqlTransferStopAsked(*st, control, blocks, stop)) {
            if (control != nullptr && control->checkQuitFlag()) engine->setQuit(true);
            return Fail(*st, engine, run, stop, false);
        }
        VdiBlock block;
        VdiWait w = device->Get(block, waitMs);
        if (w == VdiWait::End) break;
        if (w == VdiWait::Aborted) {
            run.ok = false;
            run.error = device->AbortReason();
            return;
        }
        if (w == VdiWait::TimedOut) {
            return Fail(*st, engine, run, "The virtual device of stream " + std::to_string(run.stream) + " gave no data.",
                        false);
        }
        if (first) {
            first = false;
            VdiStreamHeader header;
            if (block.size >= 16 && VdiDecodeStreamHeader(block.data.get(), block.size, header).IsSuccess()) {
                run.piece.database = header.database;
                run.piece.type = std::string(1, header.type);
                run.piece.backupSetId = wz::Format("%016llx", static_cast<unsigned long long>(header.backupSetId));
                run.piece.firstLsn = std::to_string(header.firstLsn);
                run.piece.lastLsn = std::to_string(header.lastLsn);
                run.piece.streams = header.streams;
            }
        }
        if (quota > 0 && mediaBytes->fetch_add(block.size) + block.size > quota) {
            device->Release(std::move(block));
            return Fail(*st, engine, run,
                        wz::Format("The media is full: the disk library's quota of %llu bytes was reached.",
                                   static_cast<unsigned long long>(quota)),
                        true);
        }
        if (!wz::PWriteAll(run.fd, block.data.get(), block.size, static_cast<off_t>(run.offset + run.written))) {
            std::string text = "Cannot write archive file [" + run.writer->getArchiveFilePath() +
                               "]: " + std::strerror(errno);
            device->Release(std::move(block));
            return Fail(*st, engine, run, text, true);
        }
        run.written += block.size;
        run.writer->addBytesTransferred(block.size);
        device->Release(std::move(block));
    }
    run.ok = true;
}

}  // namespace

bool SqlOpenArchiveStream(SqlTransferState& st, DiskLibrary& library, int stream) {
    SqlTransferState::ArchiveStream& a = st.archiveFiles[stream];
    if (a.fd >= 0) return true;
    if (!st.mediaReclaimed) {
        // The job's first archive file: what failed or killed jobs left
        // uncommitted goes first, so that it neither fills the media nor
        // counts against its quota. The library logs what it could not
        // reclaim; that is left for a later job and does not hold this one up.
        st.mediaReclaimed = true;
        (void)library.ReclaimAbandoned();
    }
    CWzError e = library.CreateArchiveFileForWriting(static_cast<uint32_t>(st.jxCellId), st.jobId,
                                                     static_cast<uint32_t>(stream), a.file, a.fd);
    if (e.IsError()) {
        st.archiveFiles.erase(stream);
        st.lastError = "Cannot set up the pipeline to the media: " + e.GetMessage();
        st.stopJob = true;
        return false;
    }
    a.size = 0;
    return true;
}

bool SqlRunBackupTransfer(const std::shared_ptr<SqlTransferState>& st) {
    CJxSQLVDIBase* engine = nullptr;
    JXJobCtrlClient* control = nullptr;
    int streams = 0;
    std::string dbName;
    unsigned long collectOffset = 0;
    {
        std::lock_guard<std::mutex> lock(st->mutex);
        engine = st->engine;
        control = st->control;
        streams = st->streams;
        dbName = st->dbName;
        collectOffset = st->collectFileOffset;
        st->setupCompleted = false;
        st->writers.clear();
    }
    auto fail = [&](const std::string& text, bool stopJob) {
        std::lock_guard<std::mutex> lock(st->mutex);
        st->lastError = text;
        if (stopJob) st->stopJob = true;
        return false;
    };
    if (engine == nullptr) return fail("No virtual-device engine was given to the data pipeline.", false);
    if (streams < 1 || streams > 64 || streams != engine->getNumberOfStreams()) {
        std::string text = wz::Format("The data pipeline has %d streams, the engine %d.", streams,
                                      engine->getNumberOfStreams());
        engine->AbortOperation(text);
        return fail(text, false);
    }

    // Set-up: one archive file per stream for the job, opened once.
    DiskLibrary library;
    std::vector<StreamRun> runs(static_cast<size_t>(streams));
    {
        std::lock_guard<std::mutex> lock(st->mutex);
        for (int i = 1; i <= streams; ++i) {
            if (!SqlOpenArchiveStream(*st, library, i)) return false;
            SqlTransferState::ArchiveStream& a = st->archiveFiles[i];
            StreamRun& run = runs[static_cast<size_t>(i - 1)];
            run.stream = i;
            run.fd = a.fd;
            run.offset = a.size;
            run.writer = std::make_shared<DataReaderWriter>(i, a.file.id, a.size, a.file.path);
            run.piece.archiveFileId = a.file.id.archiveFileId;
            run.piece.offset = a.size;
            run.piece.jobId = st->jobId;
            run.piece.database = dbName;
            run.piece.stream = static_cast<uint32_t>(i);
            run.piece.streams = static_cast<uint32_t>(streams);
            st->writers[i] = run.writer;
        }
        st->setupCompleted = true;
    }

    if (!engine->StartVDIOperation()) return fail(engine->getJXErrorString(), false);
    const uint64_t quota = DiskLibrary::QuotaBytes();
    std::atomic<uint64_t> mediaBytes{0};
    uint64_t used = 0;
    if (quota > 0 && library.TotalBytes(used).IsSuccess()) mediaBytes = used;
    std::vector<std::thread> threads;
    for (int i = 0; i < streams; ++i) {
        threads.emplace_back(MoveStream, st, engine, control, engine->getDevice(i), quota, &mediaBytes,
                             std::ref(runs[static_cast<size_t>(i)]));
    }
    for (std::thread& t : threads) t.join();

    bool ok = true;
    bool stopJob = false;
    std::string error;
    for (const StreamRun& run : runs) {
        if (!run.ok && ok) error = run.error;
        ok = ok && run.ok;
        stopJob = stopJob || run.stopJob;
    }
    std::lock_guard<std::mutex> lock(st->mutex);
    for (StreamRun& run : runs) {
        SqlTransferState::ArchiveStream& a = st->archiveFiles[run.stream];
        a.size = run.offset + run.written;
        st->bytesTransferred += run.written;
        if (!ok) {
            SqlDropFailedPiece(a, run.offset);
            continue;
        }
        run.piece.length = run.written;
        if (CWzError e = library.AddPiece(run.piece); e.IsError()) {
            ok = false;
            error = "Cannot index the piece of stream " + std::to_string(run.stream) + ": " + e.GetMessage();
            continue;
        }
        st->pendingPieces.push_back(run.piece.id);
    }
    if (!ok) {
        // A failed database leaves nothing for a later commit.
        st->writers.clear();
        st->lastError = error;
        if (stopJob) st->stopJob = true;
        return false;
    }
    st->pendingNextLine = collectOffset + static_cast<unsigned long>(dbName.size()) + 1;
    return true;
}

void SqlDropFailedPiece(SqlTransferState::ArchiveStream& a, uint64_t offset) {
    // Nothing will ever commit these bytes. Should the truncation fail, the
    // next piece goes after them and the file's end is reclaimed when the
    // job finishes it.
    if (a.size > offset && wz::Fs().Ftruncate(a.fd, static_cast<off_t>(offset)) == 0) a.size = offset;
}

bool SqlFinishArchiveFiles(SqlTransferState& st) {
    bool ok = true;
    DiskLibrary library;
    for (auto& [stream, a] : st.archiveFiles) {
        if (a.fd < 0) continue;
        // A failure is logged by the library and leaves the file to the
        // next job, which reclaims it once this descriptor's lock is gone.
        (void)library.FinishWriting(a.file, a.fd);
        if (wz::Fs().Close(a.fd) != 0) ok = false;
        a.fd = -1;
    }
    st.archiveFiles.clear();
    st.pendingPieces.clear();
    return ok;
}

bool SqlCommitPending(SqlTransferState& st) {
    std::string restart;
    for (auto& [stream, a] : st.archiveFiles) {
        if (a.fd >= 0 && wz::Fs().Fsync(a.fd) != 0) {
            st.lastError = "Cannot sync archive file [" + a.file.path + "]: " + std::strerror(errno);
            st.stopJob = true;
            return false;
        }
        if (!restart.empty()) restart += " ";
        restart += wz::Format("-o %lu|%llu", st.pendingNextLine, static_cast<unsigned long long>(a.size));
    }
    if (st.pendingPieces.empty()) return true;
    DiskLibrary library;
    if (CWzError e = library.CommitPieces(st.pendingPieces, st.jobId, restart); e.IsError()) {
        st.lastError = "Cannot commit the data on the media: " + e.GetMessage();
        st.stopJob = true;
        return false;
    }
    st.pendingPieces.clear();
    // The data are committed: callers keep the backup sets and drop the
    // staged dumps by this answer, so the restart string cannot change it.
    // The string only tells a restarted attempt where to resume; when it
    // cannot be saved the previous one stays whole and the next commit's
    // save supersedes it. Until then a restarted attempt backs up again the
    // databases committed since, which costs a backup and loses nothing.
    if (!JXJobClient::setRestartString(st.jobId, restart)) {
        EvDebug log("SqlDataTransferHandler");
        log.setJobId(st.jobId);
        EV_WARN(log,
                "Failed to save the restart string [%s] of job [%llu]. The data are committed; a restarted attempt "
                "resumes from the previous restart string.",
                restart.c_str(), static_cast<unsigned long long>(st.jobId));
    }
    return true;
}
