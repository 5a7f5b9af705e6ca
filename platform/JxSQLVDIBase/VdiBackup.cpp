// The engine's BACKUP statement against a simulated instance: full reads
// the database's files, differential its changed extents, log its records
// since the last log backup. Blocks go round-robin over the streams; each
// stream starts with the set's header and ends with its totals.
//
// The database stays online: changes go on while a backup reads. A full or
// differential starts at its checkpoint (where the log stood when it began)
// and also carries the log records from there to where the log stood when
// its data read ended (its last LSN), so that a restore of it is consistent
// at its end; the log keeps those records until the backup is recorded. A
// log backup takes the records up to where the log stood when it began.
// Data backups of a database run one at a time, and so do its log backups;
// a log backup runs beside a data backup.
#include <strings.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <random>
#include <thread>

#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLVDIBase/VdiRun.h"
#include "JxSQLVDIBase/VdiStreamFormat.h"
#include "JxSQLVDIBase/VdiTestHold.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimBackupRefusal.h"
#include "JxsqlDMO/SqlSimBackupSets.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "JxsqlDMO/SqlSimDatabaseHold.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "JxsqlDMO/SqlSimRecoveryPath.h"
#include "JxsqlDMO/SqlSimRestoreCatalog.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"
#include "WzUtils/WzFormat.h"

namespace {

// One piece of data to send: a range of a file, or encoded log records.
struct Piece {
    VdiChunkKind kind;
    const SqlSimFileRow* file = nullptr;  // FileData: read from here
    uint64_t offset = 0;
    uint64_t length = 0;
    std::string records;  // LogRecords
};

class Streamer {
public:
    explicit Streamer(VdiStatement& s) : m_s(s), m_totals(s.devices.size()) {}

    bool Header(const VdiStreamHeader& header) {
        for (size_t i = 0; i < m_s.devices.size(); ++i) {
            VdiStreamHeader h = header;
            h.stream = static_cast<uint32_t>(i);
            std::string encoded = VdiEncodeStreamHeader(h);
            if (!SendBytes(i, encoded.data(), encoded.size())) return false;
        }
        return true;
    }

    // Sends one chunk of file data [offset, offset + length) on `stream`,
    // read straight into the block; `length` fits one block.
    bool FileChunk(size_t stream, int fd, const SqlSimFileRow& file, uint64_t offset, uint64_t length) {
        VdiDevice& device = *m_s.devices[stream];
        VdiBlock block;
        if (!Acquire(stream, block)) return false;
        char* payload = block.data.get() + VdiChunkHead::kSize;
        uint64_t got = 0;
        while (got < length) {
            ssize_t r = wz::Fs().PRead(fd, payload + got, length - got, static_cast<off_t>(offset + got));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) {
                device.Release(std::move(block));
                VdiFail(m_s, kSqlErrReadFailed,
                        "Read on \"" + file.path + "\" failed: " + (r < 0 ? std::strerror(errno) : "end of file") +
                            ". BACKUP DATABASE is terminating abnormally.");
                return false;
            }
            got += static_cast<uint64_t>(r);
        }
        VdiChunkHead head;
        head.kind = VdiChunkKind::FileData;
        head.fileId = static_cast<uint32_t>(file.id);
        head.offset = offset;
        head.length = length;
        VdiEncodeChunkHead(head, payload, block.data.get());
        block.size = VdiChunkHead::kSize + length;
        return Put(stream, std::move(block), length);
    }

    bool Records(const std::string& records) {
        size_t stream = m_next++ % m_s.devices.size();
        VdiBlock block;
        if (!Acquire(stream, block)) return false;
        VdiChunkHead head;
        head.kind = VdiChunkKind::LogRecords;
        head.length = records.size();
        std::memcpy(block.data.get() + VdiChunkHead::kSize, records.data(), records.size());
        VdiEncodeChunkHead(head, block.data.get() + VdiChunkHead::kSize, block.data.get());
        block.size = VdiChunkHead::kSize + records.size();
        return Put(stream, std::move(block), records.size());
    }

    // Ends every stream with its totals and waits until the pipeline took
    // everything.
    bool Finish() {
        for (size_t i = 0; i < m_s.devices.size(); ++i) {
            char payload[VdiStreamTotals::kSize];
            std::memcpy(payload, &m_totals[i].chunks, 8);
            std::memcpy(payload + 8, &m_totals[i].bytes, 8);
            VdiBlock block;
            if (!Acquire(i, block)) return false;
            VdiChunkHead head;
            head.kind = VdiChunkKind::End;
            head.length = VdiStreamTotals::kSize;
            std::memcpy(block.data.get() + VdiChunkHead::kSize, payload, sizeof payload);
            VdiEncodeChunkHead(head, payload, block.data.get());
            block.size = VdiChunkHead::kSize + sizeof payload;
            if (!Queue(i, std::move(block))) return false;
            m_s.devices[i]->Close();
        }
        for (size_t i = 0; i < m_s.devices.size(); ++i) {
            VdiWait w = VdiDrain(m_s, *m_s.devices[i]);
            if (w == VdiWait::TimedOut) {
                VdiTimeOut(m_s, static_cast<int>(i));
                return false;
            }
            if (w != VdiWait::Ok) return false;
        }
        return true;
    }

    size_t ChunkCapacity() const { return m_s.devices[0]->BlockSize() - VdiChunkHead::kSize; }

private:
    bool Acquire(size_t stream, VdiBlock& block) {
        VdiWait w = VdiAcquire(m_s, *m_s.devices[stream], block);
        if (w == VdiWait::Ok) return true;
        if (w == VdiWait::TimedOut) VdiTimeOut(m_s, static_cast<int>(stream));
        return false;
    }

    bool Put(size_t stream, VdiBlock&& block, uint64_t payload) {
        if (!Queue(stream, std::move(block))) return false;
        m_totals[stream].chunks += 1;
        m_totals[stream].bytes += payload;
        m_s.streamBytes[stream] += payload;
        return true;
    }

    // Queues a block; false, with the failure recorded, when the stream was
    // aborted meanwhile (a job manager's stop among the causes).
    bool Queue(size_t stream, VdiBlock&& block) {
        VdiReachTestPoint(VdiTestPoint::kBlockPut, m_s.stop);
        if (m_s.devices[stream]->Put(std::move(block)) == VdiWait::Ok) return true;
        VdiStopped(m_s, m_s.devices[stream]->AbortReason());
        return false;
    }

    bool SendBytes(size_t stream, const char* data, size_t size) {
        VdiBlock block;
        if (!Acquire(stream, block)) return false;
        if (size > block.capacity) {
            m_s.devices[stream]->Release(std::move(block));
            VdiFail(m_s, -1, "The backup's header does not fit in one block.");
            return false;
        }
        std::memcpy(block.data.get(), data, size);
        block.size = size;
        return Queue(stream, std::move(block));
    }

    VdiStatement& m_s;
    std::vector<VdiStreamTotals> m_totals;
    size_t m_next = 0;
};

char TypeLetter(int type) {
    switch (type) {
        case 'I':
        case 'Q':
        case 'G':
        case 3:
        case 4:
            return 'I';
        case 'L':
        case 2:
            return 'L';
        default:
            return 'D';
    }
}

uint64_t NewSetId() {
    std::random_device device;
    uint64_t id = (static_cast<uint64_t>(device()) << 32) ^ device();
    id ^= static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    return id == 0 ? 1 : id;
}

// A test switch: "vdi/fail/<database>" under the root, holding an error
// number, fails the database's next backup with that number and is removed;
// holding "timeout", it ends that backup as a VDI time-out of stream 1.
bool SwitchedFailure(VdiStatement& s) {
    // Only a plain file name: a database name never leads outside the folder.
    if (s.database.find('/') != std::string::npos || s.database == "." || s.database == "..") return false;
    std::string path = wz::PlatformPath("vdi/fail/" + s.database);
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char text[32] = {0};
    ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    (void)wz::Fs().Unlink(path);  // one failure per switch; a leftover file fails the next backup too
    if (n > 0 && std::strncmp(text, "timeout", 7) == 0) {
        VdiTimeOut(s, 0);
        return true;
    }
    long code = n > 0 ? std::strtol(text, nullptr, 10) : 0;
    if (code == 0) code = kSqlErrReadFailed;
    VdiFail(s, code, wz::Format("BACKUP DATABASE [%s] failed with error %ld (test switch).", s.database.c_str(), code));
    return true;
}

// What the job is handed: the set as the instance's history records it, so a
// file backup is F or G (its stream header says D or I, which is how a
// restore reads it).
void FillMetadata(VdiStatement& s, const VdiStreamHeader& h, char historyType, int64_t finish,
                  const std::string& device, const SqlSimRecoveryPath& path) {
    using Info = SQLPmn::SQLDBBackupInfo;
    Info info;
    info.setstring(Info::kDatabaseName, h.database);
    info.setstring(Info::kFirstLsn, std::to_string(h.firstLsn));
    info.setstring(Info::kLastLsn, std::to_string(h.lastLsn));
    info.setstring(Info::kCheckpointLsn, std::to_string(h.checkpointLsn));
    info.setstring(Info::kDatabaseBackupLsn, std::to_string(h.databaseBackupLsn));
    info.setstring(Info::kBackupType, std::string(1, historyType));
    info.setint64(Info::kBackupStartDate, h.startTime);
    info.setint64(Info::kBackupFinishDate, finish);
    info.setint64(Info::kValue64, static_cast<int64_t>(h.backupSetId));
    SqlSimPutRecoveryPath(info, path);
    SQLPmn::SQLDBBackupMetadata metadata;
    metadata.addlistobject(SQLPmn::SQLDBBackupMetadata::kBackups, info);
    JxSQLBackupSetInfo set;
    set.startDate = std::to_string(h.startTime);
    set.finishDate = std::to_string(finish);
    set.value64 = h.backupSetId;
    set.firstLSN = std::to_string(h.firstLsn);
    set.lastLSN = std::to_string(h.lastLsn);
    set.checkpointLSN = std::to_string(h.checkpointLsn);
    set.databaseBackupLSN = std::to_string(h.databaseBackupLsn);
    set.databaseName = h.database;
    set.backupType = std::string(1, historyType);
    set.deviceName = device;
    set.copyOnly = h.copyOnly ? 1 : 0;
    std::list<JxSQLBackupFileInfo> files;
    for (const VdiStreamFile& f : h.files) {
        SQLPmn::SQLFileBackupInfo file;
        file.setstring(SQLPmn::SQLFileBackupInfo::kPhysicalName, f.path);
        file.setstring(SQLPmn::SQLFileBackupInfo::kLogicalName, f.logicalName);
        file.setstring(SQLPmn::SQLFileBackupInfo::kFilegroupName, f.fileGroup);
        file.setint64(SQLPmn::SQLFileBackupInfo::kFileNumber, f.id);
        file.setint64(SQLPmn::SQLFileBackupInfo::kFileType, f.type);
        file.setint64(SQLPmn::SQLFileBackupInfo::kFileSize, static_cast<int64_t>(f.size));
        metadata.addlistobject(SQLPmn::SQLDBBackupMetadata::kFiles, file);
        JxSQLBackupFileInfo fi;
        fi.physicalName = std::wstring(f.path.begin(), f.path.end());
        fi.logicalName = std::wstring(f.logicalName.begin(), f.logicalName.end());
        fi.fileGroupName = std::wstring(f.fileGroup.begin(), f.fileGroup.end());
        fi.fileNumber = f.id;
        fi.fileType = f.type;
        fi.fileSize = f.size;
        files.push_back(fi);
    }
    std::string xml;
    metadata.serialize(xml);
    std::lock_guard<std::mutex> lock(s.mutex);
    s.outcome.metadataXml = xml;
    s.outcome.setInfo = set;
    s.outcome.files = files;
}

// Sends the log records [from, to) of the database's log file `log` in
// chunks of records. `whole`: every LSN of the range must be there (a data
// backup carries its range whole, or it could not be restored); a record
// that names no file of `files` fails the backup: a file added while a data
// backup ran is no part of it.
bool SendLogRecords(VdiStatement& s, Streamer& out, SqlSimChanges& changes, int64_t id,
                    const std::vector<SqlSimFileRow>& files, uint64_t from, uint64_t to, bool whole) {
    std::vector<SqlSimLogIndexRow> rows;
    if (CWzError e = changes.LogRecords(id, from, rows); e.IsError()) {
        VdiFail(s, -1, e.GetMessage());
        return false;
    }
    SqlSimFileRow log;
    for (const SqlSimFileRow& f : files) {
        if (f.type == 1) log = f;
    }
    int fd = wz::Fs().Open(log.path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        VdiFail(s, kSqlErrReadFailed, "Read on \"" + log.path + "\" failed: " + std::strerror(errno));
        return false;
    }
    std::string batch;
    bool ok = true;
    uint64_t expected = from;
    for (const SqlSimLogIndexRow& row : rows) {
        if (row.lsn >= to) break;
        std::string record(row.length, '\0');
        ssize_t n = wz::Fs().PRead(fd, record.data(), record.size(), static_cast<off_t>(row.logOffset));
        SqlSimLogRecord decoded;
        size_t used = 0;
        if (n != static_cast<ssize_t>(record.size()) ||
            SqlSimDecodeLogRecord(record.data(), record.size(), decoded, used).IsError() ||
            (whole && row.lsn != expected)) {
            VdiFail(s, kSqlErrReadFailed, "Read on \"" + log.path + "\" failed: damaged log record at LSN " +
                                              std::to_string(whole ? expected : row.lsn) + ".");
            ok = false;
            break;
        }
        if (whole && std::none_of(files.begin(), files.end(),
                                  [&](const SqlSimFileRow& f) { return f.id == decoded.fileId; })) {
            VdiFail(s, kSqlErrBackupSerialized,
                    std::string(kVdiSerializedText) + " A file was added while the backup ran.");
            ok = false;
            break;
        }
        ++expected;
        if (!batch.empty() && batch.size() + record.size() > out.ChunkCapacity()) {
            if (!(ok = out.Records(batch))) break;
            batch.clear();
        }
        batch += record;
    }
    if (ok && whole && expected != to) {
        VdiFail(s, kSqlErrReadFailed, "Read on \"" + log.path + "\" failed: damaged log record at LSN " +
                                          std::to_string(expected) + ".");
        ok = false;
    }
    (void)wz::Fs().Close(fd);  // read-only descriptor
    return ok && (batch.empty() || out.Records(batch));
}

// Where the log of a database stands: the LSN the next record takes, read in
// a write transaction, so after any change in progress has committed.
bool LogEnd(VdiStatement& s, SimSqlDb& db, SqlSimChanges& changes, int64_t id, uint64_t& end) {
    CWzError e = db.RunInTransaction([&] {
        SqlSimLsnState state;
        CWzError read = changes.State(id, state);
        end = state.currentLsn + 1;
        return read;
    });
    if (e.IsError()) VdiFail(s, -1, e.GetMessage());
    return e.IsSuccess();
}

// Gives back the log a data backup held, when it ends without recording.
class LogHold {
public:
    LogHold(SqlSimChanges& changes, int64_t id) : m_changes(changes), m_id(id) {}
    ~LogHold() {
        if (m_held) (void)m_changes.ReleaseLog(m_id);  // a failed backup's hold; the next one replaces it anyway
    }
    LogHold(const LogHold&) = delete;
    LogHold& operator=(const LogHold&) = delete;
    void Held() { m_held = true; }
    // Inside the transaction that records the backup; Recorded once it
    // committed (a rolled-back release is made again when the hold goes).
    CWzError Release() { return m_changes.ReleaseLog(m_id); }
    void Recorded() { m_held = false; }

private:
    SqlSimChanges& m_changes;
    int64_t m_id;
    bool m_held = false;
};

// One chunk of the data to send.
struct FileChunkTask {
    size_t file;  // index into the file list
    uint64_t offset;
    uint64_t length;
};

// Full: every byte of every file; differential: the changed extents of the
// data files (runs of adjacent extents as one range). Each stream takes an
// equal run of consecutive chunks, read by a thread of its own, so that a
// restore writes each stream's part of the files apart from the others.
bool SendFiles(VdiStatement& s, Streamer& out, const std::vector<SqlSimFileRow>& files, char type,
               const std::vector<std::pair<int64_t, uint64_t>>& extents) {
    const uint64_t capacity = out.ChunkCapacity();
    std::vector<FileChunkTask> tasks;
    auto add = [&](size_t file, uint64_t from, uint64_t to) {
        for (uint64_t at = from; at < to; at += capacity) tasks.push_back({file, at, std::min(capacity, to - at)});
    };
    for (size_t f = 0; f < files.size(); ++f) {
        if (type == 'D') {
            add(f, 0, files[f].size);
            continue;
        }
        if (files[f].type != 0) continue;
        for (size_t i = 0; i < extents.size(); ++i) {
            if (extents[i].first != files[f].id) continue;
            uint64_t first = extents[i].second, last = first;
            while (i + 1 < extents.size() && extents[i + 1].first == files[f].id && extents[i + 1].second == last + 1) {
                ++i;
                ++last;
            }
            add(f, first * SqlSimChanges::kExtentSize, std::min(files[f].size, (last + 1) * SqlSimChanges::kExtentSize));
        }
    }
    std::vector<int> fds(files.size(), -1);
    bool ok = true;
    for (size_t f = 0; f < files.size() && ok; ++f) {
        fds[f] = wz::Fs().Open(files[f].path, O_RDONLY | O_CLOEXEC);
        if (fds[f] < 0) {
            VdiFail(s, kSqlErrReadFailed, "Read on \"" + files[f].path + "\" failed: " + std::strerror(errno) +
                                              ". BACKUP DATABASE is terminating abnormally.");
            ok = false;
        }
    }
    if (ok) {
        const size_t streams = s.devices.size();
        std::vector<char> results(streams, 1);
        auto run = [&](size_t stream) {
            const size_t first = tasks.size() * stream / streams, last = tasks.size() * (stream + 1) / streams;
            for (size_t k = first; k < last; ++k) {
                const FileChunkTask& t = tasks[k];
                if (!out.FileChunk(stream, fds[t.file], files[t.file], t.offset, t.length)) {
                    results[stream] = 0;
                    // The other streams stop at their next wait.
                    s.stop = true;
                    return;
                }
                VdiReachTestPoint(VdiTestPoint::kBetweenChunks, s.stop);
                if (s.stop) return;
            }
        };
        if (streams == 1) {
            run(0);
        } else {
            std::vector<std::thread> readers;
            for (size_t i = 0; i < streams; ++i) readers.emplace_back(run, i);
            for (std::thread& t : readers) t.join();
        }
        for (char r : results) ok = ok && r != 0;
        if (s.stop) {
            // A reader that saw the stop between two chunks left the backup
            // cut short without a failure of its own.
            VdiStopped(s, "The backup was stopped.");
            ok = false;
        }
    }
    for (int fd : fds) {
        if (fd >= 0) (void)wz::Fs().Close(fd);  // read-only descriptors
    }
    return ok;
}

}  // namespace

void VdiRunBackup(VdiStatement& s) {
    SqlSimInstance sim;
    if (CWzError e = sim.Open(s.server); e.IsError()) return VdiFail(s, -1, e.GetMessage());
    // Backups share their database with each other, never with a restore
    // statement: the hold lasts from before the state is read until the new
    // LSN state and history are written, so a backup neither reads files a
    // restore is placing nor writes back a state the restore replaced.
    SqlSimDatabaseHold hold;
    if (!VdiHold(s, sim, s.database, SqlSimDatabaseHold::Mode::kShared, hold)) return;
    int64_t id = 0;
    bool exists = false;
    int dbState = 0;
    if (CWzError e = SqlSimDatabaseState(sim, s.database, exists, id, dbState); e.IsError()) {
        return VdiFail(s, -1, e.GetMessage());
    }
    if (!exists) {
        return VdiFail(s, kSqlErrDatabaseMissing, SqlSimMissingDatabaseText(s.database));
    }
    // A database a restore sequence holds has nothing a backup could take.
    if (const std::string refused = SqlSimBackupRefusal(s.database, dbState); !refused.empty()) {
        const long code = dbState == SQLDB_STATE_RESTORING ? kSqlErrInRestore
                          : dbState == SQLDB_STATE_STANDBY ? kSqlErrInStandby
                                                           : kSqlErrFilesInaccessible;
        return VdiFail(s, code, refused);
    }
    SqlSimChanges changes(sim);
    std::string model;
    std::vector<SqlSimFileRow> files;
    if (CWzError e = changes.RecoveryModel(id, model); e.IsError()) return VdiFail(s, -1, e.GetMessage());
    if (CWzError e = changes.Files(id, files); e.IsError()) return VdiFail(s, -1, e.GetMessage());
    if (SwitchedFailure(s)) return;

    const char type = TypeLetter(s.options.backupType);
    // A file or filegroup backup reads only the listed files and file groups
    // (the log file is no part of it) and is recorded as F or G.
    const bool fileBackup = type != 'L' && (!s.options.ffgFiles.empty() || !s.options.ffgGroups.empty());
    if (fileBackup) {
        std::vector<SqlSimFileRow> chosen;
        auto listed = [](const std::list<std::string>& names, const std::string& name) {
            for (const std::string& n : names) {
                if (strcasecmp(n.c_str(), name.c_str()) == 0) return true;
            }
            return false;
        };
        for (const SqlSimFileRow& f : files) {
            if (f.type == 0 && (listed(s.options.ffgGroups, f.fileGroup) || listed(s.options.ffgFiles, f.logicalName))) {
                chosen.push_back(f);
            }
        }
        if (chosen.empty()) {
            return VdiFail(s, kSqlErrDatabaseMissing,
                           "None of the listed files or file groups exists in database '" + s.database + "'.");
        }
        files = std::move(chosen);
    }
    // Full and differential backups of a database run one at a time, and
    // so do its log backups; a log backup runs beside a data backup.
    SqlSimDatabaseHold serial;
    if (!fileBackup && !VdiHold(s, sim, s.database, SqlSimDatabaseHold::Mode::kExclusive, serial,
                                type == 'L' ? SqlSimDatabaseHold::Purpose::kLogBackup
                                            : SqlSimDatabaseHold::Purpose::kDataBackup)) {
        return;
    }
    // Where the log stands, read in one write transaction with the log hold
    // of a full or differential: it carries the records from its checkpoint
    // to the end of its data read, so nothing may truncate them meanwhile.
    const bool carriesLog = type != 'L' && !fileBackup;
    SqlSimLsnState state;
    LogHold logHold(changes, id);
    CWzError stateRead = sim.Db().RunInTransaction([&] {
        if (CWzError e = changes.State(id, state); e.IsError()) return e;
        return carriesLog ? changes.HoldLog(id, state.currentLsn + 1) : CWzError::Success();
    });
    if (stateRead.IsError()) return VdiFail(s, -1, stateRead.GetMessage());
    if (carriesLog) logHold.Held();
    const uint64_t next = state.currentLsn + 1;
    if (type == 'L' && model == "SIMPLE") {
        return VdiFail(s, kSqlErrLogInSimple,
                       "The statement BACKUP LOG is not allowed while the recovery model is SIMPLE. Use BACKUP "
                       "DATABASE or change the recovery model using ALTER DATABASE.");
    }
    if (type == 'L' && (state.lastFullLsn == 0 || state.logBackupLsn == 0 || state.brokenChain)) {
        return VdiFail(s, kSqlErrNoCurrentBackup,
                       "BACKUP LOG cannot be performed because there is no current database backup.");
    }
    if (type == 'I' && state.lastFullLsn == 0) {
        return VdiFail(s, kSqlErrDiffWithoutFull,
                       "Cannot perform a differential backup for database \"" + s.database +
                           "\", because a current database backup does not exist. Perform a full database backup by "
                           "reissuing BACKUP DATABASE, omitting the WITH DIFFERENTIAL option.");
    }

    VdiStreamHeader h;
    h.backupSetId = NewSetId();
    h.streams = static_cast<uint32_t>(s.devices.size());
    h.type = type;
    h.copyOnly = s.options.copyOnly;
    h.database = s.database;
    h.recoveryModel = model;
    h.startTime = static_cast<int64_t>(std::time(nullptr));
    h.firstLsn = type == 'L' ? state.logBackupLsn : next;
    h.lastLsn = next;
    h.checkpointLsn = type == 'L' ? state.lastFullLsn : next;
    h.databaseBackupLsn = state.lastFullLsn;
    for (const SqlSimFileRow& f : files) {
        VdiStreamFile sf;
        sf.id = static_cast<uint32_t>(f.id);
        sf.type = static_cast<uint32_t>(f.type);
        sf.size = f.size;
        sf.logicalName = f.logicalName;
        sf.fileGroup = f.fileGroup;
        sf.path = f.path;
        h.files.push_back(sf);
    }

    Streamer out(s);
    if (!out.Header(h)) return;
    if (type == 'L') {
        if (!SendLogRecords(s, out, changes, id, files, h.firstLsn, next, false)) return;
    } else {
        std::vector<std::pair<int64_t, uint64_t>> extents;
        if (type == 'I') {
            if (CWzError e = changes.ChangedExtents(id, extents); e.IsError()) return VdiFail(s, -1, e.GetMessage());
        }
        if (!SendFiles(s, out, files, type, extents)) return;
        // Consistent at its end: the records written while the files were
        // read go with them, and a restore applies them.
        if (carriesLog) {
            uint64_t end = 0;
            if (!LogEnd(s, sim.Db(), changes, id, end) ||
                !SendLogRecords(s, out, changes, id, files, h.checkpointLsn, end, true)) {
                return;
            }
            h.lastLsn = end;
        }
        VdiReachTestPoint(VdiTestPoint::kDataReadEnd, s.stop);
    }
    if (!out.Finish()) return;

    // The backup reached the pipeline: history and LSN state.
    const std::string device = SqlSimBackupDevice(h.backupSetId);
    const int64_t finish = static_cast<int64_t>(std::time(nullptr));
    SqlSimBackupSpec history;
    history.database = s.database;
    history.type = fileBackup ? (type == 'I' ? 'G' : 'F') : type;
    history.firstLsn = h.firstLsn;
    history.lastLsn = h.lastLsn;
    history.checkpointLsn = h.checkpointLsn;
    history.databaseBackupLsn = h.databaseBackupLsn;
    history.startTime = h.startTime;
    history.finishTime = finish;
    history.copyOnly = h.copyOnly;
    history.device = device;
    // The history row and the backup's part of the LSN state go in as one
    // catalogue transaction, the state read again inside it: a backup writes
    // only what it owns (a full its differential base, a log backup how far
    // log backups have taken the log), never the current LSN or the log's
    // end, which changes made meanwhile moved on.
    int64_t historyId = 0;
    SqlSimRecoveryPath path;  // the one the history row records
    CWzError recorded = sim.Db().RunInTransaction([&]() -> CWzError {
        if (CWzError e = sim.AddBackupHistory(history, &historyId); e.IsError()) return e;
        if (CWzError e = SqlSimBackupRecoveryPath(sim, historyId, path); e.IsError()) return e;
        if (carriesLog) {
            if (CWzError e = logHold.Release(); e.IsError()) return e;
        }
        if (!h.copyOnly && fileBackup && type == 'D') {
            // A file backup is the base its file differentials build on; the
            // changes of the files it left out stay recorded.
            return changes.UpdateState(id, [&](SqlSimLsnState& st) {
                if (st.lastFullLsn == 0) st.lastFullLsn = h.checkpointLsn;
            });
        }
        if (h.copyOnly || fileBackup) return CWzError::Success();
        if (type == 'D') {
            // What changed while the full ran stays marked for the next
            // differential; a log chain it starts starts at its end.
            if (CWzError e = changes.UpdateState(id, [&](SqlSimLsnState& st) {
                    st.lastFullLsn = std::max(st.lastFullLsn, h.checkpointLsn);
                    st.brokenChain = false;
                    if (st.logBackupLsn == 0 && model != "SIMPLE") st.logBackupLsn = h.lastLsn;
                });
                e.IsError()) {
                return e;
            }
            if (CWzError e = changes.ClearChangedExtentsBefore(id, h.checkpointLsn); e.IsError()) return e;
            if (model == "SIMPLE") return changes.TruncateLog(id, h.lastLsn);
        } else if (type == 'L' && !s.options.noTruncateLog) {
            if (CWzError e = changes.UpdateState(id, [&](SqlSimLsnState& st) {
                    st.logBackupLsn = std::max(st.logBackupLsn, h.lastLsn);
                });
                e.IsError()) {
                return e;
            }
            return changes.TruncateLog(id, h.lastLsn);
        }
        return CWzError::Success();
    });
    if (recorded.IsError()) return VdiFail(s, -1, recorded.GetMessage());
    logHold.Recorded();
    FillMetadata(s, h, history.type, finish, device, path);
}
