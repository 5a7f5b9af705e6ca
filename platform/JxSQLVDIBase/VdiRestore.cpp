// The engine's RESTORE statement against a simulated instance.
//
// Every stream of one backup set is read; the files are written to
// temporary files of the statement's own beside their targets (copies of the
// current files for a differential or log restore), and only when every
// stream was read whole with intact checksums are they synced and renamed
// into place and the catalogue changed. A damaged, short or foreign stream
// therefore never writes into the database nor brings it ONLINE.
//
// A statement holds its database (SqlSimDatabaseHold) from before it reads
// the database's state until it has recorded its outcome or cleaned up; one
// that meets another statement's hold is refused at once (3101). The files
// go in place all or none, the old ones kept aside until the catalogue has
// recorded the restore in one transaction; a failure of either puts the old
// files back, so the database is as it was before the statement. Before any
// file moves, the catalogue records what the statement places and marks the
// database RESTORING (SqlSimRestorePlacing), so that a statement whose
// process is killed leaves the database RESTORING, never ONLINE over half a
// restore; the next restore statement of the database puts its files back.
//
// A test switch: "vdi/kill/<database>" under the platform root ends the
// process (SIGKILL) once a restore statement of the database has put its
// first file in place, as a job program killed at that moment ends. The
// file is removed first, so the switch acts once.
//
// A full backup restored with a FILE or FILEGROUP list writes back only the
// files named (the others keep their bytes); those files are then pending:
// later log and differential restores write only to them, replaying the log
// records that touch them, and the database stays RESTORING until the log
// has brought them level with the rest of the database.
#include <fcntl.h>
#include <signal.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "JxSQLVDIBase/VdiRun.h"
#include "JxSQLVDIBase/VdiStopTime.h"
#include "JxSQLVDIBase/VdiStreamFormat.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimBackupSets.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "JxsqlDMO/SqlSimDatabaseHold.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "JxsqlDMO/SqlSimServerInfo.h"
#include "JxsqlDMO/SqlSimPendingFiles.h"
#include "JxsqlDMO/SqlSimRecoveryPath.h"
#include "JxsqlDMO/SqlSimRestoreCatalog.h"
#include "JxsqlDMO/SqlSimRestorePlacing.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzCrc32c.h"
#include "WzUtils/WzFileSystem.h"
#include "WzUtils/WzFormat.h"

namespace {

// Reads the bytes of one device across its blocks.
class StreamReader {
public:
    StreamReader(VdiStatement& s, size_t index) : m_s(s), m_index(index), m_device(*s.devices[index]) {}
    ~StreamReader() {
        if (m_have) m_device.Release(std::move(m_block));
    }
    StreamReader(const StreamReader&) = delete;
    StreamReader& operator=(const StreamReader&) = delete;

    // Hands the next `n` bytes to `take(data, size)` as they lie in the
    // blocks, without copying them; stops when `take` returns false.
    template <typename Take>
    bool Consume(uint64_t n, Take take) {
        while (n > 0) {
            if (!Fill()) return false;
            size_t part = static_cast<size_t>(std::min<uint64_t>(n, m_block.size - m_pos));
            if (!take(m_block.data.get() + m_pos, part)) return false;
            m_pos += part;
            n -= part;
        }
        return true;
    }

    bool Read(char* out, size_t n) {
        while (n > 0) {
            if (!Fill()) return false;
            size_t take = std::min(n, m_block.size - m_pos);
            std::memcpy(out, m_block.data.get() + m_pos, take);
            m_pos += take;
            out += take;
            n -= take;
        }
        return true;
    }

private:
    bool Fill() {
        if (m_have && m_pos < m_block.size) return true;
        if (m_have) {
            m_device.Release(std::move(m_block));
            m_have = false;
        }
        VdiWait w = VdiGet(m_s, m_device, m_block);
        if (w == VdiWait::Ok) {
            m_have = true;
            m_pos = 0;
            m_s.streamBytes[m_index] += m_block.size;
            return m_block.size > 0 || Fill();
        }
        if (w == VdiWait::End) {
            VdiFail(m_s, kSqlErrBackupDamaged,
                    wz::Format("The backup stream %zu ended early: the backup is incomplete or damaged.", m_index + 1));
        } else if (w == VdiWait::TimedOut) {
            VdiTimeOut(m_s, static_cast<int>(m_index));
        }
        return false;
    }

    VdiStatement& m_s;
    size_t m_index;
    VdiDevice& m_device;
    VdiBlock m_block;
    size_t m_pos = 0;
    bool m_have = false;
};

struct Target {
    VdiStreamFile file;
    std::string path;
    std::string temp;  // a name of this statement's own
    bool made = false;  // the temporary file was created by this statement
    int fd = -1;
    // A data file added to the database after the set's base: the set
    // creates it (a differential carries it whole, a log from its file-added
    // record on), at its MOVE or else at the path of the source's file.
    bool created = false;
    bool added = false;  // the set reaches the file's creation
    std::shared_ptr<std::atomic<uint64_t>> unflushed = std::make_shared<std::atomic<uint64_t>>(0);
};

// Starts the disk writing a target's data while the restore goes on, so the
// sync at the end has little left to wait for. Only a hint: a failure
// changes nothing, the final sync reports real trouble.
constexpr uint64_t kWritebackEvery = 32ull * 1024 * 1024;

void StartWriteback(const Target& t, uint64_t written) {
    if (t.unflushed->fetch_add(written) + written >= kWritebackEvery) {
        t.unflushed->store(0);
        (void)::sync_file_range(t.fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    }
}

bool Damaged(VdiStatement& s, const std::string& what) {
    VdiFail(s, kSqlErrBackupDamaged, "RESTORE detected an error in the backup: " + what +
                                         ". RESTORE DATABASE is terminating abnormally.");
    return false;
}

bool SameName(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

// The kill switch of the file's header.
void ReachKillPoint(const std::string& database) {
    // Only a plain file name: a database name never leads outside the folder.
    if (database.find('/') != std::string::npos || database == "." || database == "..") return;
    const std::string path = wz::PlatformPath("vdi/kill/" + database);
    struct stat st {};
    if (wz::Fs().Stat(path, &st) != 0 || wz::Fs().Unlink(path) != 0) return;
    ::raise(SIGKILL);
}

bool WriteAll(VdiStatement& s, const Target& t, const char* data, size_t size, uint64_t offset) {
    if (!wz::PWriteAll(t.fd, data, size, static_cast<off_t>(offset))) {
        VdiFail(s, kSqlErrWriteFailed, "Write on \"" + t.path + "\" failed: " + std::strerror(errno));
        return false;
    }
    StartWriteback(t, size);
    return true;
}

bool CopyFile(VdiStatement& s, const std::string& from, int toFd) {
    int in = wz::Fs().Open(from, O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        VdiFail(s, kSqlErrReadFailed, "Read on \"" + from + "\" failed: " + std::strerror(errno));
        return false;
    }
    std::vector<char> buffer(1024 * 1024);
    bool ok = true;
    for (;;) {
        ssize_t n = wz::Fs().Read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            VdiFail(s, kSqlErrReadFailed, "Read on \"" + from + "\" failed: " + std::strerror(errno));
            ok = false;
        }
        if (n <= 0) break;
        if (!wz::WriteAll(toFd, buffer.data(), static_cast<size_t>(n))) {
            VdiFail(s, kSqlErrWriteFailed, "Cannot copy \"" + from + "\": " + std::strerror(errno));
            ok = false;
            break;
        }
    }
    (void)wz::Fs().Close(in);  // read-only descriptor
    return ok;
}

class Restore {
public:
    explicit Restore(VdiStatement& s) : m_s(s) {}
    ~Restore() { Discard(); }

    void Run() {
        if (!ReadHeaders() || !Open() || !Hold() || !PutBackKilled() || !Decide() || !Prepare() || !ReadChunks()) {
            return;
        }
        if (!(m_h.type == 'L' ? ApplyLog() : ApplyCarriedLog())) return;
        if (m_s.options.verifyOnly) {
            VdiInfo(m_s, wz::Format("The backup set of database [%s] (%c) is valid.", m_h.database.c_str(), m_h.type));
            return;
        }
        Commit();
    }

private:
    bool ReadHeaders() {
        for (size_t i = 0; i < m_s.devices.size(); ++i) m_readers.push_back(std::make_unique<StreamReader>(m_s, i));
        std::vector<bool> seen(m_s.devices.size(), false);
        for (size_t i = 0; i < m_readers.size(); ++i) {
            char first[16];
            if (!m_readers[i]->Read(first, sizeof first)) return false;
            size_t length = VdiStreamHeaderLength(first);
            if (length == 0) return Foreign(wz::Format("stream %zu is not a backup of this engine", i + 1));
            std::string bytes(first, sizeof first);
            bytes.resize(length);
            if (!m_readers[i]->Read(&bytes[16], length - 16)) return false;
            VdiStreamHeader h;
            if (CWzError e = VdiDecodeStreamHeader(bytes.data(), bytes.size(), h); e.IsError()) {
                return Damaged(m_s, wz::Format("stream %zu: ", i + 1) + e.GetMessage());
            }
            if (i == 0) {
                m_h = h;
            } else if (h.backupSetId != m_h.backupSetId) {
                return Foreign(wz::Format("stream %zu belongs to another backup set", i + 1));
            }
            if (h.streams != m_s.devices.size()) {
                return Foreign(wz::Format("the backup set has %u streams but %zu were given", h.streams,
                                          m_s.devices.size()));
            }
            if (seen[h.stream]) return Foreign(wz::Format("stream %u of the set was given twice", h.stream + 1));
            seen[h.stream] = true;
        }
        return true;
    }

    bool Foreign(const std::string& what) {
        VdiFail(m_s, kSqlErrBackupSetMismatch,
                "The media family is incorrectly formed: " + what + ". RESTORE DATABASE is terminating abnormally.");
        return false;
    }

    bool Open() {
        if (CWzError e = m_sim.Open(m_s.server); e.IsError()) {
            VdiFail(m_s, -1, e.GetMessage());
            return false;
        }
        return true;
    }

    bool Fail(long code, const std::string& text) {
        VdiFail(m_s, code, text);
        return false;
    }

    bool Failed() const {
        std::lock_guard<std::mutex> lock(m_s.mutex);
        return m_s.outcome.failed;
    }

    // Adds to the failure already recorded what the statement could not undo.
    void AddToFailure(const std::string& text) {
        std::lock_guard<std::mutex> lock(m_s.mutex);
        m_s.outcome.errorText += " " + text;
    }

    // Exclusive access to the target before anything reads its state; a
    // verify-only restore changes nothing and holds nothing.
    bool Hold() {
        return m_s.options.verifyOnly ||
               VdiHold(m_s, m_sim, m_s.database, SqlSimDatabaseHold::Mode::kExclusive, m_hold);
    }

    // What a killed restore statement of the database left is put back
    // first, so that this one reads the database as its files are.
    bool PutBackKilled() {
        if (m_s.options.verifyOnly) return true;
        if (CWzError e = SqlSimRestorePlacing::PutBackKilled(m_sim, m_s.database); e.IsError()) {
            return Fail(-1, e.GetMessage());
        }
        return true;
    }

    bool Stopped(const std::string& text) {
        VdiStopped(m_s, text);
        return false;
    }

    // Checks the restore against the database and picks every file's place.
    bool Decide() {
        int state = 0;
        if (CWzError e = SqlSimDatabaseState(m_sim, m_s.database, m_exists, m_id, state); e.IsError()) {
            return Fail(-1, e.GetMessage());
        }
        std::vector<SqlSimFileRow> current;
        if (m_exists) {
            SqlSimChanges changes(m_sim);
            if (CWzError e = changes.Files(m_id, current); e.IsError()) return Fail(-1, e.GetMessage());
            if (CWzError e = changes.State(m_id, m_state); e.IsError()) return Fail(-1, e.GetMessage());
            if (CWzError e = SqlSimGetPendingFiles(m_sim, m_s.database, m_pending); e.IsError()) {
                return Fail(-1, e.GetMessage());
            }
        }
        const bool selection = !m_s.options.ffgFiles.empty() || !m_s.options.ffgGroups.empty();
        if (selection && !m_exists) {
            return Fail(kSqlErrDatabaseMissing, "A FILE or FILEGROUP restore needs the existing database \"" +
                                                    m_s.database + "\".");
        }
        m_partial = m_h.type == 'D' ? selection : !m_pending.logicalNames.empty();
        if (m_h.type == 'D' && selection && !SelectionMatches()) return false;
        if (m_h.type == 'D') {
            if (m_exists && state == SQLDB_STATE_ONLINE && !m_s.options.replace && !m_s.options.verifyOnly) {
                return Fail(kSqlErrTailNotBackedUp,
                            "The tail of the log for the database \"" + m_s.database +
                                "\" has not been backed up. Use WITH REPLACE to overwrite it. RESTORE DATABASE is "
                                "terminating abnormally.");
            }
        } else {
            // A database left in STANDBY takes a log or a differential: its
            // undo is applied first, which changes nothing in the files.
            bool ready = m_exists && (state == SQLDB_STATE_RESTORING || state == SQLDB_STATE_STANDBY);
            if (!ready) {
                return Fail(kSqlErrNotReadyToRollForward,
                            "The log or differential backup cannot be restored because no files are ready to "
                            "rollforward (database \"" + m_s.database + "\").");
            }
            if (m_h.type == 'I' && m_h.databaseBackupLsn != m_state.lastFullLsn) {
                return Fail(kSqlErrDiffWrongBase,
                            "This differential backup cannot be restored because the database has not been restored "
                            "to the correct earlier state.");
            }
            const uint64_t next = (m_partial ? m_pending.lsn : m_state.currentLsn) + 1;
            if (m_h.type == 'L' && m_h.firstLsn > next) {
                return Fail(kSqlErrLogTooRecent,
                            wz::Format("The log in this backup set begins at LSN %llu, which is too recent to apply to "
                                       "the database. An earlier log backup that includes LSN %llu can be restored.",
                                       static_cast<unsigned long long>(m_h.firstLsn),
                                       static_cast<unsigned long long>(next)));
            }
            if (m_h.type == 'L' && m_h.lastLsn < next) {
                return Fail(kSqlErrLogTooEarly,
                            wz::Format("The log in this backup set terminates at LSN %llu, which is too early to apply "
                                       "to the database.",
                                       static_cast<unsigned long long>(m_h.lastLsn)));
            }
        }
        for (const VdiStreamFile& f : m_h.files) {
            if (m_partial && !Chosen(f)) continue;
            Target t;
            t.file = f;
            t.path = f.path;
            bool placed = false;
            for (const auto& [logical, path] : m_s.options.moves) {
                if (SameName(logical, f.logicalName)) t.path = path, placed = true;
            }
            if (m_partial) placed = false;  // files go back in place
            if (!placed || m_h.type != 'D') {
                for (const SqlSimFileRow& c : current) {
                    if (SameName(c.logicalName, f.logicalName) && (!placed || m_h.type != 'D')) t.path = c.path;
                }
            }
            if (m_h.type != 'D' && !std::any_of(current.begin(), current.end(),
                                                [&](const SqlSimFileRow& c) { return SameName(c.logicalName, f.logicalName); })) {
                if (f.type != 0) {
                    return Fail(kSqlErrNotReadyToRollForward, "File '" + f.logicalName +
                                                                  "' of the backup is not part of database \"" +
                                                                  m_s.database + "\".");
                }
                t.created = true;
            }
            if (t.path.empty() || t.path.front() != '/' || t.path.find("/../") != std::string::npos) {
                return Fail(-1, "Invalid target path [" + t.path + "] for file '" + f.logicalName + "'.");
            }
            std::string owner;
            if (CWzError e = SqlSimFileOwner(m_sim, t.path, owner); e.IsError()) return Fail(-1, e.GetMessage());
            if (!owner.empty() && !SameName(owner, m_s.database)) {
                return Fail(kSqlErrFileInUse, "The file '" + t.path + "' cannot be overwritten. It is being used by "
                                              "database '" + owner + "'.");
            }
            for (const Target& other : m_targets) {
                if (other.path == t.path) {
                    return Fail(kSqlErrFileInUse, "Two files of the backup would be restored to '" + t.path + "'.");
                }
            }
            t.temp = wz::UniqueSiblingName(t.path, "jxrestore");
            m_targets.push_back(t);
        }
        return true;
    }

    // Whether the file is one this restore writes when it restores files.
    bool Chosen(const VdiStreamFile& f) const {
        if (m_h.type != 'D') return m_pending.logicalNames.count(f.logicalName) != 0;
        auto named = [](const std::list<std::string>& names, const std::string& name) {
            return std::any_of(names.begin(), names.end(), [&](const std::string& n) { return SameName(n, name); });
        };
        return named(m_s.options.ffgFiles, f.logicalName) ||
               (!f.fileGroup.empty() && named(m_s.options.ffgGroups, f.fileGroup));
    }

    // Every FILE and FILEGROUP named must be in the backup.
    bool SelectionMatches() {
        auto check = [&](const std::list<std::string>& names, bool group) {
            for (const std::string& n : names) {
                const bool found = std::any_of(m_h.files.begin(), m_h.files.end(), [&](const VdiStreamFile& f) {
                    return SameName(group ? f.fileGroup : f.logicalName, n);
                });
                if (!found) {
                    return Fail(kSqlErrFileNotInBackup,
                                std::string(group ? "The filegroup '" : "The file '") + n +
                                    "' is not part of the backup set of database \"" + m_s.database +
                                    "\". RESTORE DATABASE is terminating abnormally.");
                }
            }
            return true;
        };
        return check(m_s.options.ffgFiles, false) && check(m_s.options.ffgGroups, true);
    }

    const VdiStreamFile* BackupFile(uint32_t fileId) const {
        for (const VdiStreamFile& f : m_h.files) {
            if (f.id == fileId) return &f;
        }
        return nullptr;
    }

    bool Prepare() {
        if (m_s.options.verifyOnly) return true;
        for (Target& t : m_targets) {
            size_t slash = t.path.find_last_of('/');
            if (slash != std::string::npos && slash > 0 && wz::MakeDirectoryTree(t.path.substr(0, slash)) != 0) {
                return Fail(kSqlErrWriteFailed, "Cannot create the directory of \"" + t.path + "\": " + std::strerror(errno));
            }
            t.fd = wz::Fs().Open(t.temp, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (t.fd < 0) return Fail(kSqlErrWriteFailed, "Cannot create \"" + t.temp + "\": " + std::strerror(errno));
            t.made = true;
            if (t.created) {
                if (wz::Fs().Ftruncate(t.fd, static_cast<off_t>(t.file.size)) != 0) {
                    return Fail(kSqlErrWriteFailed, "Cannot create \"" + t.temp + "\": " + std::strerror(errno));
                }
                t.added = m_h.type == 'I';
            } else if (m_h.type != 'D' && !CopyFile(m_s, t.path, t.fd)) {
                return false;
            }
        }
        return true;
    }

    Target* TargetOf(uint32_t fileId) {
        for (Target& t : m_targets) {
            if (t.file.id == fileId) return &t;
        }
        return nullptr;
    }

    // Reads the chunks of every stream, each stream on a thread of its own;
    // the first failure stops the others.
    bool ReadChunks() {
        std::vector<char> results(m_readers.size(), 0);
        auto run = [&](size_t i) {
            results[i] = ReadStream(i) ? 1 : 0;
            if (!results[i]) {
                m_s.stop = true;
                VdiAbortDevices(m_s);
            }
        };
        if (m_readers.size() == 1) {
            run(0);
        } else {
            std::vector<std::thread> threads;
            for (size_t i = 0; i < m_readers.size(); ++i) threads.emplace_back(run, i);
            for (std::thread& t : threads) t.join();
        }
        for (char r : results) {
            if (!r) return false;
        }
        return true;
    }

    bool ReadStream(size_t i) {
        VdiStreamTotals seen;
        std::vector<char> payload;
        for (;;) {
            if (m_s.stop) return Stopped("The restore was stopped.");
            char headBytes[VdiChunkHead::kSize];
            if (!m_readers[i]->Read(headBytes, sizeof headBytes)) return false;
            VdiChunkHead head;
            if (!VdiDecodeChunkHead(headBytes, head)) return Damaged(m_s, wz::Format("stream %zu: bad chunk", i + 1));
            if (head.kind == VdiChunkKind::FileData) {
                // Written to the temporary file straight from the blocks; a
                // bad checksum discards the file with everything else.
                // A file this restore does not write is read and checked only.
                Target* t = TargetOf(head.fileId);
                const VdiStreamFile* f = t != nullptr ? &t->file : m_partial ? BackupFile(head.fileId) : nullptr;
                if (f == nullptr || head.offset + head.length > f->size) {
                    return Damaged(m_s, wz::Format("stream %zu: data outside the database's files", i + 1));
                }
                uint32_t crc = VdiChunkHeadCrc(headBytes);
                uint64_t at = head.offset;
                bool read = m_readers[i]->Consume(head.length, [&](const char* data, size_t size) {
                    crc = wz::Crc32c(crc, data, size);
                    if (t != nullptr && !m_s.options.verifyOnly && !WriteAll(m_s, *t, data, size, at)) return false;
                    at += size;
                    return true;
                });
                if (!read) return false;
                if (crc != head.crc) return Damaged(m_s, wz::Format("stream %zu: checksum mismatch", i + 1));
                if (t != nullptr && m_h.type == 'I') Written(head.fileId, head.offset, head.length);
                seen.chunks += 1;
                seen.bytes += head.length;
                continue;
            }
            payload.resize(static_cast<size_t>(head.length));
            if (!m_readers[i]->Read(payload.data(), payload.size())) return false;
            if (!VdiChunkIntact(headBytes, head, payload.data())) {
                return Damaged(m_s, wz::Format("stream %zu: checksum mismatch", i + 1));
            }
            if (head.kind == VdiChunkKind::End) {
                VdiStreamTotals totals;
                std::memcpy(&totals.chunks, payload.data(), 8);
                std::memcpy(&totals.bytes, payload.data() + 8, 8);
                if (totals.chunks != seen.chunks || totals.bytes != seen.bytes) {
                    return Damaged(m_s, wz::Format("stream %zu: pieces missing", i + 1));
                }
                return true;
            }
            seen.chunks += 1;
            seen.bytes += head.length;
            if (!Records(i, payload)) return false;
        }
    }

    // Log records: a log backup's, or those a full or differential carries
    // from its checkpoint to the end of its data read.
    bool Records(size_t stream, const std::vector<char>& payload) {
        size_t at = 0;
        while (at < payload.size()) {
            SqlSimLogRecord r;
            size_t used = 0;
            if (CWzError e = SqlSimDecodeLogRecord(payload.data() + at, payload.size() - at, r, used); e.IsError()) {
                return Damaged(m_s, wz::Format("stream %zu: ", stream + 1) + e.GetMessage());
            }
            at += used;
            std::lock_guard<std::mutex> lock(m_recordsMutex);
            m_records.push_back(std::move(r));
        }
        return true;
    }

    // Reads a time of the statement as the instance reads any date: under its
    // own date format; in local time when `local` (and the text names no zone).
    bool ReadTime(const std::string& text, bool local, const char* what, int64_t& ms) {
        unsigned long dateFormat = 1;
        if (CWzError e = SqlSimServerInfo(m_sim).DateFormat(dateFormat); e.IsError()) {
            return Fail(-1, "The date format of the instance cannot be read: " + e.GetMessage());
        }
        const int format = static_cast<int>(dateFormat);
        if (!(local ? VdiParseLocalTime(text, format, ms) : VdiParseStopTime(text, format, ms))) {
            return Fail(-1, std::string("The ") + what + " [" + text + "] is not a valid date and time.");
        }
        return true;
    }

    bool ApplyLog() {
        std::sort(m_records.begin(), m_records.end(),
                  [](const SqlSimLogRecord& a, const SqlSimLogRecord& b) { return a.lsn < b.lsn; });
        const VdiOptions& o = m_s.options;
        int64_t stopMs = 0;
        const bool byTime = !o.pointInTime.empty();
        if (byTime && !ReadTime(o.pointInTime, false, "stop time", stopMs)) return false;
        const bool byMark = (o.stopAtMark || o.stopBeforeMark) && !o.markName.empty();
        // A mark's time picks the first mark of its name at or after it; the
        // job writes it in local time.
        int64_t markAfterMs = 0;
        if (byMark && !o.markTime.empty() && !ReadTime(o.markTime, true, "mark time", markAfterMs)) return false;
        auto stopMark = [&](const SqlSimLogRecord& r) {
            return byMark && r.mark == o.markName && r.timeMs >= markAfterMs;
        };
        m_stopAsked = StopAsked();
        uint64_t applied = m_partial ? m_pending.lsn : m_state.currentLsn;
        for (const SqlSimLogRecord& r : m_records) {
            if (r.lsn <= applied || r.lsn >= m_h.lastLsn) continue;
            if (r.lsn < m_h.firstLsn || r.lsn != applied + 1) {
                return Damaged(m_s, wz::Format("log record %llu is missing", static_cast<unsigned long long>(applied + 1)));
            }
            if (byTime && r.timeMs > stopMs) {
                m_stopReached = true;
                m_stopTimeMs = stopMs;
                break;
            }
            if (o.stopBeforeMark && stopMark(r)) {
                m_stopReached = true;
                m_stopTimeMs = r.timeMs;
                break;
            }
            // Records of files a file restore left alone are passed over.
            Target* t = TargetOf(r.fileId);
            const VdiStreamFile* f = t != nullptr ? &t->file : m_partial ? BackupFile(r.fileId) : nullptr;
            if (r.kind == SqlSimLogRecordKind::FileAdded) {
                if (t != nullptr) t->added = true;
            } else if (f == nullptr || r.offset + r.data.size() > f->size) {
                return Damaged(m_s, "a log record names no file of the database");
            }
            if (m_s.stop) return Stopped("The restore was stopped while the log was applied.");
            if (t != nullptr && r.kind == SqlSimLogRecordKind::Page && !m_s.options.verifyOnly &&
                !WriteAll(m_s, *t, r.data.data(), r.data.size(), r.offset)) {
                return false;
            }
            ++m_s.workDone;
            applied = r.lsn;
            m_applied.push_back(&r);
            if (o.stopAtMark && stopMark(r)) {
                m_stopReached = true;
                m_stopTimeMs = r.timeMs;
                break;
            }
        }
        if (!m_stopReached && applied + 1 < m_h.lastLsn) {
            return Damaged(m_s, wz::Format("log record %llu is missing", static_cast<unsigned long long>(applied + 1)));
        }
        m_appliedLsn = applied;
        DropFilesNotAdded();
        return true;
    }

    // A full or differential is consistent at its end: the records written
    // while its data was read are applied over its data, every LSN from its
    // checkpoint on, and the database then stands at the last of them. A set
    // made while nothing changed carries none and ends at its checkpoint.
    bool ApplyCarriedLog() {
        std::sort(m_records.begin(), m_records.end(),
                  [](const SqlSimLogRecord& a, const SqlSimLogRecord& b) { return a.lsn < b.lsn; });
        uint64_t expected = m_h.checkpointLsn;
        for (const SqlSimLogRecord& r : m_records) {
            if (r.lsn != expected) {
                return Damaged(m_s, wz::Format("log record %llu is missing", static_cast<unsigned long long>(expected)));
            }
            // Records of files a file restore left alone are passed over.
            Target* t = TargetOf(r.fileId);
            const VdiStreamFile* f = t != nullptr ? &t->file : m_partial ? BackupFile(r.fileId) : nullptr;
            if (r.kind != SqlSimLogRecordKind::Page || f == nullptr || r.offset + r.data.size() > f->size) {
                return Damaged(m_s, "a log record names no file of the backup");
            }
            if (m_s.stop) return Stopped("The restore was stopped while the log was applied.");
            if (t != nullptr && !m_s.options.verifyOnly) {
                if (!WriteAll(m_s, *t, r.data.data(), r.data.size(), r.offset)) return false;
                m_applied.push_back(&r);
            }
            ++expected;
        }
        if (expected < m_h.lastLsn) {
            return Damaged(m_s, wz::Format("log record %llu is missing", static_cast<unsigned long long>(expected)));
        }
        m_h.lastLsn = expected;
        return true;
    }

    // A file the log stopped before creating is no part of the restore.
    void DropFilesNotAdded() {
        for (Target& t : m_targets) {
            if (t.created && !t.added) Drop(t);
        }
        std::erase_if(m_targets, [](const Target& t) { return t.created && !t.added; });
    }

    // The catalogue rows of the files this set created.
    CWzError AddCreatedFiles() {
        std::vector<SqlSimRestoredFile> files;
        for (const Target& t : m_targets) {
            if (t.created) files.push_back({t.file.logicalName, t.file.fileGroup, t.path, 0, t.file.size});
        }
        return SqlSimAddRestoredFiles(m_sim, m_id, files);
    }

    void Commit() {
        // What the instance's backup history says of the set is read before
        // anything is placed: a failure to read it leaves the database alone.
        if (CWzError e = ReadSetHistory(); e.IsError()) return (void)VdiFail(m_s, -1, e.GetMessage());
        for (Target& t : m_targets) {
            if (wz::Fs().Fsync(t.fd) != 0) {
                VdiFail(m_s, kSqlErrWriteFailed, "Cannot sync \"" + t.temp + "\": " + std::strerror(errno));
                return;
            }
        }
        // All or none, also across a kill of the process: what is placed is
        // recorded first; the old files stay aside until the catalogue has
        // recorded the restore; a failure of either puts them back.
        std::vector<SqlSimPlacedFile> files;
        for (const Target& t : m_targets) files.push_back({t.path, t.temp});
        SqlSimRestorePlacing placing(m_sim, m_s.database);
        if (CWzError e = placing.Begin(files); e.IsError()) {
            return (void)VdiFail(m_s, -1,
                                 "The restore could not be recorded before its files were placed: " + e.GetMessage());
        }
        for (Target& t : m_targets) {
            (void)wz::Fs().Close(t.fd);  // synced above
            t.fd = -1;
            std::string error;
            if (!placing.Place(t.path, error)) {
                VdiFail(m_s, kSqlErrWriteFailed, error);
                return PutBack(placing);
            }
            t.temp.clear();
            ReachKillPoint(m_s.database);
        }
        CWzError recorded = m_sim.Db().RunInTransaction([&] {
            Record();
            return Failed() ? FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "the restore was not recorded")
                            : placing.MarkPlaced();
        });
        if (recorded.IsError()) {
            VdiFail(m_s, -1, recorded.GetMessage());  // a failure inside was recorded first and stands
            return PutBack(placing);
        }
        placing.Keep();
    }

    // A failed statement puts the old files back and the database's state
    // with them. Where even that fails the database is whole no more: it is
    // marked SUSPECT, so that no backup takes it and no log or differential
    // is restored onto it as if it were whole (a full restore still replaces
    // it), and the failure names the files.
    void PutBack(SqlSimRestorePlacing& placing) {
        std::string error;
        if (!placing.PutBack(error)) AddToFailure(error);
    }

    // Every catalogue change of the restore (file rows, LSN state, state and
    // history row), run as one transaction by Commit: a failure recorded
    // here rolls all of them back and puts the old files back.
    void Record() {
        if (CWzError e = AddCreatedFiles(); e.IsError()) return (void)VdiFail(m_s, -1, e.GetMessage());
        const VdiOptions& o = m_s.options;
        SqlSimChanges changes(m_sim);
        bool level = true;
        if (m_partial) {
            // The restored files have reached the end of this backup; the
            // rest of the database keeps its own state and log.
            SqlSimPendingFiles pending;
            pending.lsn = m_h.type == 'L' ? m_appliedLsn : m_h.lastLsn - 1;
            level = pending.lsn >= m_state.currentLsn;
            if (!level) {
                for (const Target& t : m_targets) pending.logicalNames.insert(t.file.logicalName);
            }
            if (CWzError e = SqlSimSetPendingFiles(m_sim, m_s.database, pending); e.IsError()) {
                return (void)VdiFail(m_s, -1, e.GetMessage());
            }
        } else if (m_h.type == 'D') {
            std::vector<SqlSimRestoredFile> files;
            for (const Target& t : m_targets) {
                files.push_back({t.file.logicalName, t.file.fileGroup, t.path, static_cast<int>(t.file.type), t.file.size});
            }
            if (CWzError e = SqlSimReplaceDatabase(m_sim, m_s.database, m_h.recoveryModel, files, m_id); e.IsError()) {
                VdiFail(m_s, -1, e.GetMessage());
                return;
            }
            m_state = SqlSimLsnState{};
            if (CWzError e = changes.State(m_id, m_state); e.IsError()) return (void)VdiFail(m_s, -1, e.GetMessage());
            m_state.currentLsn = m_h.lastLsn - 1;
            m_state.lastFullLsn = m_h.checkpointLsn;
        } else if (m_h.type == 'I') {
            m_state.currentLsn = m_h.lastLsn - 1;
        } else {
            // The records now in the data go to the database's own log too.
            if (CWzError e = changes.AppendLogRecords(m_id, m_applied); e.IsError()) {
                return (void)VdiFail(m_s, -1, e.GetMessage());
            }
            m_s.workDone += m_applied.size();
            if (CWzError e = changes.State(m_id, m_state); e.IsError()) return (void)VdiFail(m_s, -1, e.GetMessage());
            m_state.currentLsn = m_appliedLsn;
        }
        if (CWzError e = MarkWrittenExtents(changes); e.IsError()) return (void)VdiFail(m_s, -1, e.GetMessage());
        if (!m_partial) {
            m_state.logBackupLsn = m_keepsLogChain ? m_h.lastLsn : 0;
            m_state.brokenChain = false;
            if (CWzError e = changes.SetState(m_id, m_state); e.IsError()) return (void)VdiFail(m_s, -1, e.GetMessage());
            if (CWzError e = FollowRecoveryPath(); e.IsError()) return (void)VdiFail(m_s, -1, e.GetMessage());
        }

        // A stop point this log does not reach, or restored files the log
        // has not yet brought level, leave the database restoring.
        int state = SQLDB_STATE_ONLINE;
        bool readOnly = false;
        if ((m_stopAsked && !m_stopReached) || !level) {
            state = SQLDB_STATE_RESTORING;
        } else if (o.standby) {
            state = SQLDB_STATE_STANDBY;
            readOnly = true;
            if (o.undoFile.empty()) return (void)VdiFail(m_s, -1, "STANDBY needs an undo file.");
            std::string undo = wz::Format("undo file of database [%s], LSN %llu\n", m_s.database.c_str(),
                                          static_cast<unsigned long long>(m_state.currentLsn));
            if (!wz::WriteFileAtomically(o.undoFile, undo)) {
                return (void)VdiFail(m_s, kSqlErrWriteFailed,
                                     "Cannot write the undo file \"" + o.undoFile + "\": " + std::strerror(errno));
            }
        } else if (o.loadingState) {
            state = SQLDB_STATE_RESTORING;
        }
        if (CWzError e = SqlSimSetRestoredState(m_sim, m_id, state, readOnly); e.IsError()) {
            return (void)VdiFail(m_s, -1, e.GetMessage());
        }
        SqlSimRestoreHistoryRow history;
        history.database = m_s.database;
        history.type = m_h.type;
        history.backupSetId = wz::Format("%016llx", static_cast<unsigned long long>(m_h.backupSetId));
        history.firstLsn = m_h.firstLsn;
        history.lastLsn = m_h.lastLsn;
        history.stopAt = !o.pointInTime.empty() ? o.pointInTime : o.markName;
        history.replace = o.replace;
        history.state = state;
        if (m_stopReached) {
            history.restoredTo = m_stopTimeMs / 1000;
        } else if (m_setKnown) {
            history.restoredTo = m_set.finishTime;
        }
        if (CWzError e = SqlSimAddRestoreHistory(m_sim, history); e.IsError()) VdiFail(m_s, -1, e.GetMessage());
    }

    // Whether the statement names a stop point, a time or a mark (whatever
    // kind of set it restores).
    bool StopAsked() const {
        const VdiOptions& o = m_s.options;
        return !o.pointInTime.empty() || ((o.stopAtMark || o.stopBeforeMark) && !o.markName.empty());
    }

    // Keeps a range of a file (of the backup's numbering) the restore wrote.
    void Written(uint32_t fileId, uint64_t offset, uint64_t length) {
        std::lock_guard<std::mutex> lock(m_recordsMutex);
        m_written.push_back({fileId, offset, length});
    }

    // What a differential or log set wrote counts as changed since the
    // differential base, as the engine's differential map counts pages it
    // rolls forward: the next differential then holds what the restore
    // brought back. The extents are marked in the database's own files,
    // found by logical name (a restore as another name numbers them anew),
    // in one catalogue step. A full restore is the base itself.
    CWzError MarkWrittenExtents(SqlSimChanges& changes) {
        if (m_h.type == 'D') return CWzError::Success();
        for (const SqlSimLogRecord* r : m_applied) {
            if (r->kind == SqlSimLogRecordKind::Page && TargetOf(r->fileId) != nullptr) {
                m_written.push_back({r->fileId, r->offset, r->data.size()});
            }
        }
        std::vector<SqlSimFileRow> files;
        if (CWzError e = changes.Files(m_id, files); e.IsError()) return e;
        std::vector<SqlSimFileRange> ranges;
        for (const SqlSimFileRange& w : m_written) {
            const Target* t = TargetOf(static_cast<uint32_t>(w.fileId));
            for (const SqlSimFileRow& f : files) {
                if (t != nullptr && f.type == 0 && SameName(f.logicalName, t->file.logicalName)) {
                    ranges.push_back({f.id, w.offset, w.length});
                }
            }
        }
        return changes.MarkExtentsChanged(m_id, ranges);
    }

    // Finds the set in the instance's backup history, and whether log
    // backups go on from its end after this restore: a restore that reached
    // no stop point inside the set (whether or not one was asked), in a
    // recovery model with a log chain, of one of this database's own backups
    // that is still its newest. Anything else starts a new recovery path
    // that needs a full backup first (a file restore leaves the chain as it
    // was: Commit does not touch it).
    CWzError ReadSetHistory() {
        if (CWzError e = SqlSimFindBackupSet(m_sim, SqlSimBackupDevice(m_h.backupSetId), m_set, m_setKnown);
            e.IsError()) {
            return e;
        }
        m_keepsLogChain = false;
        if (!m_setKnown || m_stopReached || !SameName(m_set.database, m_s.database)) {
            return CWzError::Success();
        }
        // A full restore gives the database the recovery model of its backup.
        std::string model = m_h.recoveryModel;
        if (m_h.type != 'D') {
            if (CWzError e = SqlSimChanges(m_sim).RecoveryModel(m_id, model); e.IsError()) return e;
        }
        return SqlSimRestoreKeepsLogChain(m_sim, m_s.database, model, m_set.lastLsn, m_keepsLogChain);
    }

    // The database's recovery path after this restore: the set's when it
    // keeps the log chain, else a new one forked from it where the database
    // now ends.
    CWzError FollowRecoveryPath() {
        return SqlSimFollowRestoredSet(m_sim, m_id, m_setKnown ? m_set.id : 0, m_keepsLogChain, m_state.currentLsn + 1);
    }

    // Removes what a failed restore wrote; the database stays as it was.
    void Discard() {
        for (Target& t : m_targets) Drop(t);
    }

    // Closes and removes the temporary file of a target, if this statement
    // made it.
    static void Drop(Target& t) {
        if (t.fd >= 0) (void)wz::Fs().Close(t.fd);  // the file goes anyway
        t.fd = -1;
        if (t.made && !t.temp.empty()) (void)wz::Fs().Unlink(t.temp);  // this statement's own
        t.temp.clear();
    }

    VdiStatement& m_s;
    SqlSimInstance m_sim;
    SqlSimDatabaseHold m_hold;  // released after Discard, when the object goes
    std::vector<std::unique_ptr<StreamReader>> m_readers;
    VdiStreamHeader m_h;
    bool m_exists = false;
    int64_t m_id = 0;
    SqlSimLsnState m_state;
    std::vector<Target> m_targets;
    std::mutex m_recordsMutex;  // the stream threads add to m_records and m_written
    std::vector<SqlSimLogRecord> m_records;
    std::vector<const SqlSimLogRecord*> m_applied;
    std::vector<SqlSimFileRange> m_written;  // by the set, in the backup's file ids
    uint64_t m_appliedLsn = 0;
    bool m_stopAsked = false;  // by the log this restore applies
    bool m_stopReached = false;
    int64_t m_stopTimeMs = 0;  // the point a reached stop left the database at
    SqlSimBackupSetRow m_set;  // the set's row in the instance's backup history
    bool m_setKnown = false;
    bool m_keepsLogChain = false;
    SqlSimPendingFiles m_pending;  // of an earlier file restore
    bool m_partial = false;        // only some files of the database are written
};

}  // namespace

void VdiRunRestore(VdiStatement& s) { Restore(s).Run(); }
