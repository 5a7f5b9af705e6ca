// The restore transfer: one thread per stream reads the committed piece of
// its archive file into the engine's device.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

#include "JxPipelineSetupUtility/DiskLibrary.h"
#include "JxSQLVDIBase/CJxSQLVDIBase.h"
#include "JxSQLVDIBase/VdiDevice.h"
#include "JxSQLVDIBase/VdiServeWait.h"
#include "JxSqlDataReaderWriter/DataReaderWriter.h"
#include "JxSqlDataReaderWriter/SqlBackupTransfer.h"
#include "JxJobClient/JXJobCtrlClient.h"
#include "JxSqlDataReaderWriter/SqlTransferState.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"
#include "WzUtils/WzFormat.h"

namespace {

struct ReadRun {
    int stream = 0;
    MediaPiece piece;
    std::string path;
    int fd = -1;
    std::shared_ptr<DataReaderWriter> reader;
    bool ok = false;
    std::string error;
};

void ReadStream(const std::shared_ptr<SqlTransferState>& st, CJxSQLVDIBase* engine, JXJobCtrlClient* control,
                VdiDevice* device, ReadRun& run) {
    const int64_t waitMs = VdiServeWaitMs(*engine);
    uint64_t done = 0;
    auto fail = [&](const std::string& text) {
        run.error = text;
        engine->AbortOperation(text);
    };
    std::string stop;
    for (uint64_t blocks = 0; done < run.piece.length; ++blocks) {
        if (SqlTransferStopAsked(*st, control, blocks, stop)) {
            // A stream the handler stopped no longer asks the job's control
            // client: the job may have let go of this transfer.
            if (!st->cancel->load() && control != nullptr && control->checkQuitFlag()) engine->setQuit(true);
            return fail(stop);
        }
        VdiBlock block;
        VdiWait w = device->Acquire(block, waitMs);
        if (w == VdiWait::Aborted) {
            run.error = device->AbortReason();
            return;
        }
        if (w != VdiWait::Ok) return fail(wz::Format("The engine took no data of stream %d.", run.stream));
        size_t want = static_cast<size_t>(std::min<uint64_t>(block.capacity, run.piece.length - done));
        ssize_t n = wz::Fs().PRead(run.fd, block.data.get(), want, static_cast<off_t>(run.piece.offset + done));
        if (n < 0 && errno == EINTR) {
            device->Release(std::move(block));
            continue;
        }
        if (n <= 0) {
            device->Release(std::move(block));
            return fail("Archive file " + std::to_string(run.piece.archiveFileId) + " [" + run.path +
                        "] is damaged: " + (n < 0 ? std::strerror(errno) : "it ends before its piece"));
        }
        block.size = static_cast<size_t>(n);
        if (device->Put(std::move(block)) != VdiWait::Ok) {
            run.error = device->AbortReason();
            return;
        }
        done += static_cast<uint64_t>(n);
        run.reader->addBytesTransferred(static_cast<uint64_t>(n));
        st->restorePipeline.setStreamBytes(run.stream, done);
    }
    device->Close();
    run.ok = true;
}

// Restore to disk: the piece goes to a file of its own under `folder`.
void CopyToDisk(const std::shared_ptr<SqlTransferState>& st, JXJobCtrlClient* control, const std::string& folder,
                size_t streams, ReadRun& run) {
    const std::string path = folder + wz::Format("/%s_%s_%dof%zu.bak", run.piece.backupSetId.c_str(),
                                                 run.piece.type.c_str(), run.stream, streams);
    int out = wz::Fs().Open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        run.error = "Cannot create [" + path + "]: " + std::strerror(errno);
        return;
    }
    std::vector<char> buffer(1024 * 1024);
    uint64_t done = 0;
    std::string stop;
    for (uint64_t blocks = 0; done < run.piece.length && run.error.empty(); ++blocks) {
        if (SqlTransferStopAsked(*st, control, blocks, stop)) {
            run.error = stop;
            break;
        }
        size_t want = static_cast<size_t>(std::min<uint64_t>(buffer.size(), run.piece.length - done));
        ssize_t n = wz::Fs().PRead(run.fd, buffer.data(), want, static_cast<off_t>(run.piece.offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            run.error = "Archive file " + std::to_string(run.piece.archiveFileId) + " is damaged: it ends before its piece";
        } else if (!wz::WriteAll(out, buffer.data(), static_cast<size_t>(n))) {
            run.error = "Cannot write [" + path + "]: " + std::strerror(errno);
        } else {
            done += static_cast<uint64_t>(n);
            run.reader->addBytesTransferred(static_cast<uint64_t>(n));
        }
    }
    if (run.error.empty() && wz::Fs().Fsync(out) != 0) run.error = "Cannot sync [" + path + "]: " + std::strerror(errno);
    if (wz::Fs().Close(out) != 0 && run.error.empty()) run.error = "Cannot close [" + path + "]: " + std::strerror(errno);
    if (!run.error.empty()) {
        (void)wz::Fs().Unlink(path);  // a partial copy is no backup
        return;
    }
    run.ok = true;
}

}  // namespace

bool SqlRunRestoreTransfer(const std::shared_ptr<SqlTransferState>& st) {
    CJxSQLVDIBase* engine = nullptr;
    JXJobCtrlClient* control = nullptr;
    std::list<RestoreArchiveInfo> archives;
    bool ignoreOffset = false;
    std::string toDisk;
    std::string dbName;
    {
        std::lock_guard<std::mutex> lock(st->mutex);
        engine = st->engine;
        toDisk = st->restoreToDiskPath;
        dbName = st->dbName;
        control = st->control;
        archives = st->archives;
        ignoreOffset = st->ignoreOffset;
        st->setupCompleted = false;
        st->writers.clear();
        st->bytesTransferred = 0;
    }
    auto fail = [&](const std::string& text) {
        if (engine != nullptr) engine->AbortOperation(text);
        std::lock_guard<std::mutex> lock(st->mutex);
        st->lastError = text;
        return false;
    };
    if (engine == nullptr && toDisk.empty()) {
        return fail("Neither a virtual-device engine nor a restore-to-disk location was given to the data pipeline.");
    }
    if (engine == nullptr) {
        if (archives.empty()) return fail("The restore names no archive files.");
        if (dbName.empty() || dbName.find('/') != std::string::npos || dbName == "." || dbName == "..") {
            return fail("Invalid database name [" + dbName + "] for a restore to disk.");
        }
        toDisk += "/" + dbName;
        if (wz::MakeDirectoryTree(toDisk) != 0) return fail("Cannot create [" + toDisk + "]: " + std::strerror(errno));
    } else if (archives.empty() || static_cast<int>(archives.size()) != engine->getNumberOfStreams()) {
        return fail(wz::Format("The restore names %zu archive files for %d streams.", archives.size(),
                               engine->getNumberOfStreams()));
    }
    if (CWzError e = st->restorePipeline.Setup(archives); e.IsError()) return fail(e.GetMessage());

    // Every archive file and its committed piece before anything moves.
    DiskLibrary library;
    // A restore job, too, reclaims what killed backups left; what it cannot
    // is logged by the library and left for a later job.
    (void)library.ReclaimAbandoned();
    std::vector<ReadRun> runs;
    int stream = 0;
    for (const RestoreArchiveInfo& a : archives) {
        ReadRun run;
        run.stream = ++stream;
        if (a.archiveFileId == 0 || a.archiveFileId > 0xFFFFFFFFull) {
            return fail(wz::Format("Invalid archive file id %llu.", static_cast<unsigned long long>(a.archiveFileId)));
        }
        uint32_t id = static_cast<uint32_t>(a.archiveFileId);
        MediaArchiveFile file;
        if (DiskLibrary::IsOffline()) return fail("The media (disk library) is offline.");
        if (CWzError e = library.FindArchiveFile(id, file); e.IsError()) {
            return fail(wz::Format("Archive file %u is missing from the media.", id));
        }
        if (CWzError e = library.FindPiece(id, a.offset, a.ignoreOffset || ignoreOffset, run.piece); e.IsError()) {
            return fail(wz::Format("Archive file %u holds no backup at offset %llu.", id,
                                   static_cast<unsigned long long>(a.offset)));
        }
        if (!run.piece.committed) {
            return fail(wz::Format("The backup in archive file %u at offset %llu was never committed to the media.",
                                   id, static_cast<unsigned long long>(run.piece.offset)));
        }
        struct stat info {};
        if (wz::Fs().Stat(file.path, &info) != 0) {
            // The index still knows the piece: the message names the backup that is gone.
            return fail(
                wz::Format("Archive file %u [%s] is missing from the media: it holds the backup of type %s "
                           "of database [%s] by job %llu.",
                           id, file.path.c_str(), run.piece.type.c_str(), run.piece.database.c_str(),
                           static_cast<unsigned long long>(run.piece.jobId)));
        }
        if (static_cast<uint64_t>(info.st_size) < run.piece.offset + run.piece.length) {
            return fail(wz::Format("Archive file %u is damaged: it is shorter than its backup.", id));
        }
        run.path = file.path;
        run.reader = std::make_shared<DataReaderWriter>(run.stream, file.id, run.piece.offset, file.path);
        runs.push_back(run);
    }
    for (ReadRun& run : runs) {
        run.fd = wz::Fs().Open(run.path, O_RDONLY | O_CLOEXEC);
        if (run.fd < 0) {
            std::string text = wz::Format("Cannot open archive file %u: %s", run.piece.archiveFileId, std::strerror(errno));
            for (ReadRun& r : runs) {
                if (r.fd >= 0) (void)wz::Fs().Close(r.fd);  // read-only descriptors
            }
            return fail(text);
        }
    }
    {
        std::lock_guard<std::mutex> lock(st->mutex);
        for (ReadRun& run : runs) st->writers[run.stream] = run.reader;
        st->setupCompleted = true;
    }

    bool ok = engine == nullptr || engine->StartVDIOperation();
    std::string error = ok ? "" : engine->getJXErrorString();
    if (ok && engine == nullptr) {
        for (ReadRun& run : runs) {
            CopyToDisk(st, control, toDisk, runs.size(), run);
            if (!run.ok && ok) error = run.error;
            ok = ok && run.ok;
        }
    } else if (ok) {
        std::vector<std::thread> threads;
        for (size_t i = 0; i < runs.size(); ++i) {
            threads.emplace_back(ReadStream, st, engine, control, engine->getDevice(static_cast<int>(i)), std::ref(runs[i]));
        }
        for (std::thread& t : threads) t.join();
        for (const ReadRun& run : runs) {
            if (!run.ok && ok) error = run.error;
            ok = ok && run.ok;
        }
    }
    uint64_t bytes = 0;
    for (ReadRun& run : runs) {
        bytes += run.reader->getBytesTransferred();
        (void)wz::Fs().Close(run.fd);  // read-only descriptor
    }
    std::lock_guard<std::mutex> lock(st->mutex);
    st->bytesTransferred = bytes;
    if (!ok) st->lastError = error;
    return ok;
}
