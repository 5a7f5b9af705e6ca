// SqlDataTransferHandler: the data pipeline of a job between a virtual-device
// engine and the media (the disk library). The job base holds one per job;
// the backup and restore drivers give it its work.
//
// Backup: bind it to a database (setDbName, setCollectFileOffset,
// setVDIBase, setStreams), then startTransfer() opens one archive file per
// stream for the job (kept across databases), starts the engine's statement
// and writes each stream to its archive file on a thread of its own, the
// database's piece appended at the file's end. commitData() makes the pieces
// written so far durable and records the restart string; closePipeline(1,
// ...) at the end of the job commits what is left, closePipeline(0, ...)
// does not. Either way what is left uncommitted when the pipeline closes
// (or the handler goes) is removed from the media: each archive file is
// cut back to its last committed piece, or deleted when it holds none. The
// job's first archive file also reclaims what killed jobs left (see
// DiskLibrary).
//
// Restore: setRestoreArchiveFileInfoList() names the archive files of one
// backup (one per stream); startTransfer() reads their committed pieces into
// the engine's devices.
//
// A failure of the media (offline, quota reached, a failed write) or the job
// manager's stop request ends the engine's statement at once with the
// pipeline's reason; isStopJob() then tells the job to stop.
//
// After startTransfer() returns the handler no longer uses the engine, so
// the caller may release it. removeDataReaderWriters() and reset() may run
// while startTransfer() still runs on another thread: they stop it and the
// transfer keeps what it uses alive until it ends.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>

#include "JxPipelineSetupUtility/RestoreArchiveInfo.h"

class CJxSQLVDIBase;
class DataReaderWriter;
class JXBkpJobClient;
class JXJobCtrlClient;
class JXRstJobClient;
class RestorePipelineSetup;
struct SqlTransferState;

class SqlDataTransferHandler {
public:
    SqlDataTransferHandler();
    // (backup, job id, application number, JxCell id, central-server host,
    // backup type, flags)
    SqlDataTransferHandler(bool backup, uint64_t jobId, uint64_t appNumber, uint64_t jxCellId,
                           const std::string& csHost, int bkpType, int flags);
    ~SqlDataTransferHandler();
    SqlDataTransferHandler(const SqlDataTransferHandler&) = delete;
    SqlDataTransferHandler& operator=(const SqlDataTransferHandler&) = delete;
    // Replacing the job's handler by a new one: the old one's open pipeline
    // is closed without commit first.
    SqlDataTransferHandler(SqlDataTransferHandler&& other) noexcept;
    SqlDataTransferHandler& operator=(SqlDataTransferHandler&& other) noexcept;

    // Whether the optional media headers (SendOptionalMediaHeaders) are sent;
    // process-wide.
    static void CanSendOptionalHeaders(bool enabled);

    // --- Binding ---------------------------------------------------------------
    void setBufferSizeInKB(unsigned long kb);
    void setJobControllerObject(JXJobCtrlClient* control);
    void setBkpJobControllerObject(JXBkpJobClient* client);
    void setRstJobControllerObject(JXRstJobClient* client);
    void setDbName(const std::string& name);
    void setOriginalDBName(const std::string& name);
    void setCollectFileOffset(unsigned long offset);
    void setVDIBase(CJxSQLVDIBase* engine);
    void setStreams(int streams);
    // The backup type letter ('D', 'I', 'L') or the job's numeric type.
    void setBkpType(int type);
    void setRestoreArchiveFileInfoList(const std::list<RestoreArchiveInfo>& archives);
    void setIgnoreArchiveFileOffset(bool ignore);
    bool getIgnoreArchiveFileOffset() const;
    void setRestoreStageFolder(const std::string& folder);
    // Restore to disk: a transfer without an engine copies each archive
    // file's piece to "<path>/<database>/<backup set>_<type>_<i>of<n>.bak".
    void setRestoreToDiskPath(const std::string& path);
    void setRestoreToDisk(bool on);
    void disableAuxCopyRestore();
    void disableRestoreOptimization();

    // --- Transfer --------------------------------------------------------------
    // Runs the whole transfer of the bound database; true when every stream
    // was moved. On failure the engine's statement has been ended with the
    // pipeline's reason.
    bool startTransfer();
    // Readies the handler for backups (`backup` true): false when it was made
    // for a restore or for no job, or the pipeline asked the job to stop. The
    // archive files themselves open with the first transfer.
    bool setupBackupPipeline(bool backup);
    // Moves staged log dumps of the bound database, in the given order, onto
    // stream 1 of the job: each dump becomes a piece of its own, appended to
    // the stream's archive file, that getStreamWriterForFile finds by the
    // dump's path. True when every dump was moved. Runs on the caller's
    // thread; the job manager's stop request ends it between blocks.
    bool backupDBLogFiles(const std::list<std::string>& files);
    // Whether the pipeline to the media was set up by the last transfer.
    bool getbSetupPipelineCompleted() const;
    // The pipeline asked the job to stop (media offline, quota reached, a
    // failed write).
    bool isStopJob() const;
    // Set by the restore's transfer thread: true when startTransfer failed.
    void setTransferFailed(bool failed);
    bool isTransferFailed() const;
    // The text of the pipeline's last failure.
    std::string getLastErrorString() const;
    uint64_t getBytesTransferred() const;

    // Stream number (1-based) to its reader/writer.
    std::map<int, std::shared_ptr<DataReaderWriter>> getStreamWriterMap() const;
    // The writer that holds the given file (staged log dumps); null if none.
    std::shared_ptr<DataReaderWriter> getStreamWriterForFile(const std::string& file) const;
    RestorePipelineSetup* getRestorePipeLine();

    // --- Media -------------------------------------------------------------------
    // Makes every piece written so far durable (sync, then index) and
    // records the restart string.
    bool commitData();
    // Hands the media agent the job's metadata text; kept beside the
    // archive files.
    bool SendOptionalMediaHeaders(const std::string& xml);
    // End of the job's walk: `dataWritten` 1 commits what was written, 0
    // does not; `quit` is the job manager's stop request. What is then left
    // uncommitted is removed from the media. False when the commit or
    // closing an archive file failed.
    bool closePipeline(unsigned long dataWritten, bool quit);

    // --- Between databases -----------------------------------------------------
    // Asks a running transfer to stop and returns at once: its streams end
    // at their next block and the engine's statement is aborted. A transfer
    // that has not started yet is not affected (ask again).
    void stopTransfer();
    void removeDataReaderWriters();
    void reset();
    // Removes the files the transfer staged in the restore stage folder
    // (none of the folder's other files).
    void cleanUpStageFolder();

private:
    std::shared_ptr<SqlTransferState> m_state;
};
