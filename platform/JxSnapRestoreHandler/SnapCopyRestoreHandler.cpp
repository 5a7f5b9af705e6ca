// SnapCopyRestoreHandler over the snapshot engine's store: a revert copies
// the snapped database files back over the volume's files and sets the
// databases RESTORING at the snapshot's LSN in the simulated instance.
//
// The copy of one file goes to a temporary file of the revert's own beside
// its target, is synced, and only when every local file of every database was
// copied whole are the temporary files renamed into place and the catalogue
// changed. A failure or a stop before that leaves the databases as they were.
// Each database is placed all or none, as a restore statement places it: its
// old files stay aside until its catalogue change is recorded in one
// transaction, and a failure of either puts them back; what it places is
// recorded first (SqlSimRestorePlacing), so that a revert whose process is
// killed leaves the database RESTORING and its files for the next restore
// statement to put back. The revert holds every database it restores, as a
// restore statement does, from before it reads their state to its end,
// putting back first what a killed statement of it left; a database another
// statement holds is refused.
#include "JxSnapRestoreHandler/SnapCopyRestoreHandler.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "JXAppMgr/Instance.h"
#include "JXSnapHandler/JXSnapClientAPI.h"
#include "JxJobClient/JXJobCtrlClient.h"
#include "JxSnapRestoreHandler/SnapRestoreHandlerCallback.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimBackupSets.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "JxsqlDMO/SqlSimDatabaseHold.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "JxsqlDMO/SqlSimRecoveryPath.h"
#include "JxsqlDMO/SqlSimRestoreCatalog.h"
#include "JxsqlDMO/SqlSimRestorePlacing.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"

namespace {

constexpr const char* kTempTag = "jxrevert";
// Bytes one copy_file_range call moves. After each step the disk is asked to
// start writing what was copied, so the sync at the end of the file has
// little left to wait for.
constexpr size_t kCopyStep = 4u << 20;
// Buffer of the plain copy, for file systems that cannot copy in the kernel.
constexpr size_t kBufferSize = 4u << 20;

// A test switch: true (once) when "snaprestore/fail/<step>" exists.
bool SwitchedFailure(const std::string& step) {
    const std::string path = wz::PlatformPath("snaprestore/fail/" + step);
    struct stat st {};
    if (wz::Fs().Stat(path, &st) != 0) return false;
    (void)wz::Fs().Unlink(path);  // one failure per switch; a leftover file fails the next call too
    return true;
}

std::string Parent(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Errno() { return std::strerror(errno); }

// Copies what is left of `in` into `out` through a buffer.
bool CopyThroughBuffer(int in, int out) {
    std::vector<char> buffer(kBufferSize);
    for (;;) {
        const ssize_t n = wz::Fs().Read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (!wz::WriteAll(out, buffer.data(), static_cast<size_t>(n))) return false;
    }
}

// Copies the whole file `from` into the new file `to` (made here: an
// existing one is refused with errno EEXIST) and syncs it. The kernel copies
// where it can (no bytes pass through this process).
bool CopyWhole(const std::string& from, const std::string& to, std::string& error) {
    const int in = wz::Fs().Open(from, O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        error = "Cannot open [" + from + "]: " + Errno();
        return false;
    }
    const int out = wz::Fs().Open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0) {
        const int saved = errno;  // EEXIST: `to` is not the caller's
        error = "Cannot create [" + to + "]: " + Errno();
        (void)wz::Fs().Close(in);  // read-only descriptor
        errno = saved;
        return false;
    }
    bool ok = true;
    bool copied = false;
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, kCopyStep, 0);
        if (n > 0) {
            copied = true;
            // Only a hint: the final sync reports real trouble.
            (void)::sync_file_range(out, 0, 0, SYNC_FILE_RANGE_WRITE);
            continue;
        }
        if (n == 0) break;
        if (errno == EINTR) continue;
        // File systems without an in-kernel copy refuse the first call.
        const bool unsupported = errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP;
        ok = !copied && unsupported && CopyThroughBuffer(in, out);
        break;
    }
    if (!ok) error = "Cannot copy [" + from + "] to [" + to + "]: " + Errno();
    if (ok && wz::Fs().Fsync(out) != 0) {
        error = "Cannot sync [" + to + "]: " + Errno();
        ok = false;
    }
    (void)wz::Fs().Close(in);  // read-only descriptor
    if (wz::Fs().Close(out) != 0 && ok) {
        error = "Cannot close [" + to + "]: " + Errno();
        ok = false;
    }
    return ok;
}

// One file of a database to bring back.
struct FileCopy {
    std::string snapPath;  // the copy in the snapshot store
    std::string target;    // the database file
    std::string temp;      // local copies: where the copy is made first
    bool remote = false;
};

struct DatabaseRevert {
    JXSnapClientAPI::SnapDatabase snapped;
    std::vector<FileCopy> files;
};

void RemoveTemps(std::vector<DatabaseRevert>& plan) {
    for (DatabaseRevert& db : plan) {
        for (FileCopy& f : db.files) {
            if (!f.temp.empty()) (void)wz::Fs().Unlink(f.temp);  // may not exist yet
        }
    }
}

// Gives the database the snapshot's files and state: RESTORING at the
// snapshot's LSN, ready for the log backups taken after it. A snapshot that
// is still the newest backup of the database (FULL or BULK_LOGGED) keeps
// the log chain: the next log backup starts at the snapshot's point. A
// differential snapshot leaves the older full as the differential base, so
// every extent of the data files counts as changed since it: the next
// differential holds what the revert brought back.
CWzError SetRevertedState(SqlSimInstance& instance, const JXSnapClientAPI::SnapDatabase& db) {
    const uint64_t point = db.currentLsn + 1;
    bool keepsChain = false;
    if (CWzError e = SqlSimRestoreKeepsLogChain(instance, db.name, db.recoveryModel, point, keepsChain); e.IsError()) {
        return e;
    }
    int64_t id = 0;
    if (CWzError e = SqlSimReplaceDatabase(instance, db.name, db.recoveryModel, db.files, id); e.IsError()) return e;
    SqlSimLsnState state;
    state.currentLsn = db.currentLsn;
    state.lastFullLsn = db.baseFullLsn;
    state.logBackupLsn = keepsChain ? point : 0;
    state.logEnd = db.logEnd;
    if (CWzError e = SqlSimChanges(instance).SetState(id, state); e.IsError()) return e;
    if (state.lastFullLsn != point) {
        if (CWzError e = SqlSimChanges(instance).MarkDataFilesChanged(id); e.IsError()) return e;
    }
    if (CWzError e = SqlSimFollowRevertedSnapshot(instance, id, db.name, keepsChain, point); e.IsError()) return e;
    return SqlSimSetRestoredState(instance, id, SQLDB_STATE_RESTORING, false);
}

// Puts the local copies of one database in place and records its reverted
// state in one catalogue transaction; when either fails, the database's old
// files and state are put back (where even that fails the database is marked
// SUSPECT and `error` names the files).
bool PlaceDatabase(SqlSimInstance& instance, DatabaseRevert& db, std::string& error) {
    std::vector<SqlSimPlacedFile> files;
    for (const FileCopy& f : db.files) {
        if (!f.temp.empty()) files.push_back({f.target, f.temp});
    }
    SqlSimRestorePlacing placing(instance, db.snapped.name);
    if (CWzError e = placing.Begin(files); e.IsError()) {
        error = "the revert could not be recorded before its files were placed: " + e.GetMessage();
        return false;
    }
    bool placed = true;
    for (FileCopy& f : db.files) {
        if (f.temp.empty()) continue;
        if (!placing.Place(f.target, error)) {
            placed = false;
            break;
        }
        f.temp.clear();
    }
    if (placed) {
        CWzError e = instance.Db().RunInTransaction([&] {
            if (CWzError e = SetRevertedState(instance, db.snapped); e.IsError()) return e;
            return placing.MarkPlaced();
        });
        if (e.IsSuccess()) {
            placing.Keep();
            return true;
        }
        error = e.GetMessage();
    }
    std::string notBack;
    if (!placing.PutBack(notBack)) error += ". " + notBack;
    return false;
}

}  // namespace

bool SnapCopyRestoreHandler::Fail(const std::string& text) {
    m_lastError = text;
    return false;
}

bool SnapCopyRestoreHandler::Initialize(uint64_t cellId, uint64_t snapJobId, uint64_t restoreJobId,
                                        const SqlRestoreTaskOptions_t& options, const char* database,
                                        const std::string& /*sqlUser*/, const std::string& /*sqlPassword*/,
                                        bool /*revert*/, const std::list<std::string>& databases) {
    // The simulated instance takes no login: the credentials are not kept.
    m_initialized = false;
    m_lastError.clear();
    m_restoredDatabases.clear();
    if (SwitchedFailure("Initialize")) return Fail("Initialize failed (test switch).");
    m_databases = database != nullptr ? std::list<std::string>{database} : databases;
    if (m_databases.empty()) return Fail("No database to restore from the snapshot.");
    std::string instance;
    if (MsSqlInstance(options.destinationInstanceId).getInstanceName(instance) != 0 || instance.empty()) {
        return Fail("The destination instance [" + std::to_string(options.destinationInstanceId) + "] is unknown.");
    }
    m_cellId = cellId;
    m_snapJobId = snapJobId;
    m_restoreJobId = restoreJobId;
    m_options = options;
    m_instance = instance;
    m_initialized = true;
    return true;
}

bool SnapCopyRestoreHandler::isBackupCopyRestore() const { return m_options.copyPrecedence > 1; }

bool SnapCopyRestoreHandler::restoreSnapData(const std::string& /*jobResultsDirectory*/) {
    m_restoredDatabases.clear();
    m_lastError.clear();
    if (!m_initialized) return Fail("The snapshot restore was not initialised.");
    if (SwitchedFailure("restoreSnapData")) return Fail("restoreSnapData failed (test switch).");
    const std::string job = std::to_string(m_snapJobId);

    std::vector<JXSnapClientAPI::SnapDatabase> snapped;
    std::string error;
    if (!JXSnapClientAPI::getSnapDatabases(m_snapJobId, snapped, error)) return Fail(error);
    SMVolSnapInfo snaps;
    snaps.setSnapJobId(m_snapJobId);
    if (!JXSnapClientAPI::getVolumeSnaps(snaps) || snaps.numOfSnap() == 0) {
        return Fail("Snapshot job " + job + " has no snapshots to restore from.");
    }

    // The plan: every file of every database the snapshot holds, checked
    // before anything is copied.
    const bool otherClient = m_options.sourceClientId != 0 && m_options.destinationClientId != 0 &&
                             m_options.sourceClientId != m_options.destinationClientId;
    if (otherClient && m_callback == nullptr) {
        return Fail("The snapshot lies on client " + std::to_string(m_options.sourceClientId) +
                    " and no call-back can fetch its files.");
    }
    std::vector<DatabaseRevert> plan;
    for (const std::string& name : m_databases) {
        const JXSnapClientAPI::SnapDatabase* found = nullptr;
        for (const JXSnapClientAPI::SnapDatabase& db : snapped) {
            if (strcasecmp(db.name.c_str(), name.c_str()) == 0) found = &db;
        }
        if (found == nullptr) continue;  // not part of this snapshot job
        DatabaseRevert revert;
        revert.snapped = *found;
        for (const SqlSimRestoredFile& file : found->files) {
            const SMVolumeInfo* volume = nullptr;
            for (auto v = snaps.volumeListBegin(); v != snaps.volumeListEnd(); ++v) {
                if (v->getSourcePath() == Parent(file.path)) volume = &*v;
            }
            if (volume == nullptr) {
                return Fail("Snapshot job " + job + " holds no volume for [" + file.path + "].");
            }
            FileCopy copy;
            copy.snapPath = volume->getSnapPath() + "/" + BaseName(file.path);
            copy.target = file.path;
            copy.remote = otherClient;
            struct stat st {};
            if (!otherClient && (wz::Fs().Lstat(copy.snapPath, &st) != 0 || !S_ISREG(st.st_mode))) {
                return Fail("The snapshot of [" + file.path + "] is missing from snapshot job " + job + ".");
            }
            revert.files.push_back(copy);
        }
        plan.push_back(std::move(revert));
    }
    if (plan.empty()) return Fail("None of the databases to restore is held by snapshot job " + job + ".");

    SqlSimInstance instance;
    if (CWzError e = instance.Open(m_instance); e.IsError()) return Fail(e.GetMessage());
    std::vector<std::unique_ptr<SqlSimDatabaseHold>> holds;
    for (const DatabaseRevert& db : plan) {
        holds.push_back(std::make_unique<SqlSimDatabaseHold>());
        std::string holdError;
        switch (holds.back()->Take(instance.Location(), db.snapped.name, SqlSimDatabaseHold::Mode::kExclusive,
                                   holdError)) {
            case SqlSimDatabaseHold::Result::kTaken:
                break;
            case SqlSimDatabaseHold::Result::kBusy:
                return Fail("Database [" + db.snapped.name + "]: " + SqlSimDatabaseHold::kInUseText);
            case SqlSimDatabaseHold::Result::kFailed:
                return Fail(holdError);
        }
        if (CWzError e = SqlSimRestorePlacing::PutBackKilled(instance, db.snapped.name); e.IsError()) {
            return Fail(e.GetMessage());
        }
    }
    for (const DatabaseRevert& db : plan) {
        for (const FileCopy& f : db.files) {
            std::string owner;
            if (CWzError e = SqlSimFileOwner(instance, f.target, owner); e.IsError()) return Fail(e.GetMessage());
            if (!owner.empty() && strcasecmp(owner.c_str(), db.snapped.name.c_str()) != 0) {
                return Fail("The file [" + f.target + "] is in use by database [" + owner + "].");
            }
        }
    }

    // Local copies next to their targets.
    bool first = true;
    for (DatabaseRevert& db : plan) {
        for (FileCopy& f : db.files) {
            if (f.remote) continue;
            if (m_jobControl != nullptr && m_jobControl->checkQuitFlag()) {
                RemoveTemps(plan);
                return Fail("The job was asked to stop; nothing was restored from the snapshot.");
            }
            if (wz::MakeDirectoryTree(Parent(f.target)) != 0) {
                RemoveTemps(plan);
                return Fail("Cannot create the directory of [" + f.target + "]: " + Errno());
            }
            f.temp = wz::UniqueSiblingName(f.target, kTempTag);
            if (!CopyWhole(f.snapPath, f.temp, error)) {
                if (errno == EEXIST) f.temp.clear();  // not this revert's file
                RemoveTemps(plan);
                return Fail(error);
            }
            if (first && SwitchedFailure("copy")) {
                RemoveTemps(plan);
                return Fail("The copy from the snapshot failed (test switch).");
            }
            first = false;
        }
    }
    // Files of another client are copied into place by the job's call-back.
    for (DatabaseRevert& db : plan) {
        for (FileCopy& f : db.files) {
            if (!f.remote) continue;
            SnapCopyIndexFileInfo info;
            info.indexedPath = f.target;
            info.targetDirectory = Parent(f.target);
            info.nodePath = f.snapPath;
            std::string result;
            if (!m_callback->OnRestoreFile(m_options.sourceClientId, &info, result)) {
                RemoveTemps(plan);
                return Fail("The copy of [" + f.snapPath + "] from client " + std::to_string(m_options.sourceClientId) +
                            " failed: " + result);
            }
        }
    }

    // Everything is copied: put the files in place and set the databases'
    // state, each database all or none.
    for (DatabaseRevert& db : plan) {
        if (!PlaceDatabase(instance, db, error)) {
            RemoveTemps(plan);
            return Fail("Database [" + db.snapped.name + "]: " + error);
        }
        m_restoredDatabases.push_back(db.snapped.name);
    }
    return true;
}

void SnapCopyRestoreHandler::setDatabaseInfo(const SqlRestoreDbInfo_t& db) {
    m_currentDatabase = db.newDbName.empty() ? db.sDbName : db.newDbName;
    m_steps.push_back("setDatabaseInfo " + m_currentDatabase);
}

bool SnapCopyRestoreHandler::ManipulateXmlMetadata(const SqlRestoreDbInfo_t& db) {
    m_steps.push_back("ManipulateXmlMetadata " + (db.newDbName.empty() ? db.sDbName : db.newDbName));
    return !SwitchedFailure("ManipulateXmlMetadata") || Fail("ManipulateXmlMetadata failed (test switch).");
}

bool SnapCopyRestoreHandler::InitializeVSSRestore() {
    m_steps.push_back("InitializeVSSRestore");
    return !SwitchedFailure("InitializeVSSRestore") || Fail("InitializeVSSRestore failed (test switch).");
}

bool SnapCopyRestoreHandler::PostVSSRestore() {
    m_steps.push_back("PostVSSRestore");
    return !SwitchedFailure("PostVSSRestore") || Fail("PostVSSRestore failed (test switch).");
}
