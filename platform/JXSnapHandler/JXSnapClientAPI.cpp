// JXSnapClientAPI over directories: snapshots are copies in the store under
// the platform root.
#include "JXSnapHandler/JXSnapClientAPI.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <list>
#include <map>
#include <set>
#include <sstream>

#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JXSnapHandler/SnapMountRegistry.h"
#include "JXSnapHandler/SnapStoreText.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimBackupRefusal.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "JxsqlDMO/SqlSimDatabaseHold.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "JxsqlDMO/SqlSimRestoreCatalog.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"

namespace {

constexpr const char* kVolumeList = "volumes";
constexpr const char* kDatabaseList = "databases";
constexpr const char* kVolumeFlags = "flags";
constexpr const char* kEngineOfJob = "engine";
constexpr const char* kEngineList = "snapshots/engines";
constexpr uint64_t kDefaultEngine = 1;

// "<number>\t<number>" lines of a file into a map; a missing file is an
// empty map, a damaged line fails.
bool ReadNumberPairs(const std::string& path, std::map<uint64_t, uint64_t>& pairs) {
    std::string text;
    if (!wz::ReadSmallFile(path, text)) return errno == ENOENT;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0 || tab + 1 == line.size() ||
            line.find_first_not_of("0123456789\t") != std::string::npos || line.find('\t', tab + 1) != std::string::npos) {
            return false;
        }
        pairs[std::stoull(line.substr(0, tab))] = std::stoull(line.substr(tab + 1));
    }
    return true;
}

std::string Parent(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

// True for an absolute path without "." or ".." levels.
bool IsPlainAbsolute(const std::string& path) {
    if (path.empty() || path[0] != '/') return false;
    std::istringstream levels(path);
    std::string level;
    while (std::getline(levels, level, '/')) {
        if (level == "." || level == "..") return false;
    }
    return true;
}

// The longest of `volumes` that holds `file` below its top ("" for none).
std::string HoldingVolume(const std::vector<std::string>& volumes, const std::string& file) {
    std::string holder;
    for (const std::string& volume : volumes) {
        if (file != volume && wz::PathIsUnder(file, volume) && volume.size() > holder.size()) holder = volume;
    }
    return holder;
}

bool UnderRoot(const std::string& path) {
    if (!IsPlainAbsolute(path)) return false;
    const std::string resolved = wz::ResolveThroughLinks(path);
    const std::string root = wz::ResolveThroughLinks(wz::PlatformRoot());
    return !resolved.empty() && !root.empty() && resolved != root && wz::PathIsUnder(resolved, root);
}

bool CopyFile(const std::string& from, const std::string& to, std::string& error) {
    wz::FileSystem& fs = wz::Fs();
    const int in = fs.Open(from, O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        error = "Cannot open [" + from + "]: " + std::strerror(errno);
        return false;
    }
    const int out = fs.Open(to, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        error = "Cannot create [" + to + "]: " + std::strerror(errno);
        (void)fs.Close(in);
        return false;
    }
    char buffer[65536];
    bool ok = true;
    for (;;) {
        const ssize_t n = fs.Read(in, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0 || !wz::WriteAll(out, buffer, static_cast<size_t>(n))) {
            error = "Cannot copy [" + from + "] to [" + to + "]: " + std::strerror(errno);
            ok = false;
            break;
        }
    }
    (void)fs.Close(in);
    if (fs.Close(out) != 0 && ok) {
        error = "Cannot close [" + to + "]: " + std::strerror(errno);
        ok = false;
    }
    return ok;
}

// Copies the regular files of `from` into the directory `to`, made as
// needed; with `tree` its sub-directories too (links are not followed).
// Without it only the top is copied: a folder volume's database files lie
// there, and its sub-folders may be volumes of their own.
bool CopyDirectory(const std::string& from, const std::string& to, bool tree, std::string& error) {
    if (wz::MakeDirectoryTree(to) != 0) {
        error = "Cannot create [" + to + "]: " + std::strerror(errno);
        return false;
    }
    std::vector<std::string> names;
    if (wz::Fs().ReadDirectory(from, names) != 0) {
        error = "Cannot list [" + from + "]: " + std::strerror(errno);
        return false;
    }
    for (const std::string& name : names) {
        struct stat st {};
        const std::string source = from + "/" + name;
        if (wz::Fs().Lstat(source, &st) != 0) continue;
        if (tree && S_ISDIR(st.st_mode)) {
            if (!CopyDirectory(source, to + "/" + name, true, error)) return false;
            continue;
        }
        if (!S_ISREG(st.st_mode)) continue;
        if (!CopyFile(source, to + "/" + name, error)) return false;
    }
    return true;
}

// The database files of `database` on the instance, in file-id order.
bool DatabaseFiles(SqlSimInstance& instance, const std::string& database, std::vector<std::string>& files,
                   std::string& error) {
    SimSqlStatement q = instance.Db().Prepare(
        "SELECT f.physical_path FROM files f JOIN databases d ON d.id = f.database_id WHERE d.name = ? "
        "ORDER BY f.id");
    q.Bind(1, database);
    while (q.Step()) files.push_back(q.Text(0));
    if (q.Error().IsError()) {
        error = q.Error().GetMessage();
        return false;
    }
    if (files.empty()) {
        error = "Database [" + database + "] does not exist or has no files.";
        return false;
    }
    return true;
}

// False, with the engine's reason, when `database` is in a restore sequence
// (RESTORING or STANDBY) or a restore statement holds it: a snapshot of it
// would be of a half-restored database; also when it is gone, dropped or
// detached while the snapshot waited for it. Otherwise `hold` shares the
// database with other backups until the snapshot is recorded, so no restore
// places files under it and no drop takes it away.
bool BackupAllowed(SqlSimInstance& instance, const std::string& database, SqlSimDatabaseHold& hold,
                   std::string& error) {
    switch (SqlSimTakeBackupHold(instance, database, hold, error)) {
    case SqlSimBackupHold::kTaken:
        break;
    case SqlSimBackupHold::kGone:
        error = SqlSimMissingDatabaseText(database);
        return false;
    case SqlSimBackupHold::kInRestore:
        error = SqlSimBackupRefusal(database, SQLDB_STATE_RESTORING);
        return false;
    case SqlSimBackupHold::kFailed:
        return false;
    }
    bool exists = false;
    int64_t id = 0;
    int state = 0;
    if (CWzError e = SqlSimDatabaseState(instance, database, exists, id, state); e.IsError()) {
        error = e.GetMessage();
        return false;
    }
    error = exists ? SqlSimBackupRefusal(database, state) : SqlSimMissingDatabaseText(database);
    return error.empty();
}

// Records the snapshot in the backup history (see RecordHistory), inside the
// caller's transaction.
CWzError RecordHistoryIn(SqlSimInstance& instance, const std::string& database, char type,
                         JXSnapClientAPI::SnapDatabase& db) {
    int64_t id = 0;
    SqlSimChanges changes(instance);
    SqlSimLsnState state;
    std::vector<SqlSimFileRow> files;
    if (CWzError e = instance.DatabaseId(database, id); e.IsError()) return e;
    if (CWzError e = changes.State(id, state); e.IsError()) return e;
    if (CWzError e = changes.RecoveryModel(id, db.recoveryModel); e.IsError()) return e;
    if (CWzError e = changes.Files(id, files); e.IsError()) return e;
    const uint64_t next = state.currentLsn + 1;
    SqlSimBackupSpec row;
    row.database = database;
    row.type = type;
    row.firstLsn = next;
    row.lastLsn = next;
    row.checkpointLsn = next;
    row.databaseBackupLsn = state.lastFullLsn;
    row.startTime = static_cast<int64_t>(::time(nullptr));
    row.finishTime = row.startTime;
    row.device = "snapshot";
    if (CWzError e = instance.AddBackupHistory(row); e.IsError()) return e;
    db.name = database;
    db.currentLsn = state.currentLsn;
    db.logEnd = state.logEnd;
    db.baseFullLsn = type == 'D' ? next : state.lastFullLsn;
    for (const SqlSimFileRow& f : files) db.files.push_back({f.logicalName, f.fileGroup, f.path, f.type, f.size});
    if (type != 'D') return CWzError::Success();
    state.lastFullLsn = next;
    state.brokenChain = false;
    if (state.logBackupLsn == 0 && db.recoveryModel != "SIMPLE") state.logBackupLsn = next;
    if (CWzError e = changes.ClearChangedExtentsBefore(id, next); e.IsError()) return e;
    if (db.recoveryModel == "SIMPLE") {
        if (CWzError e = changes.TruncateLog(id, next); e.IsError()) return e;
    }
    return changes.SetState(id, state);
}

// Records the snapshot in the backup history as the engine records a
// backup of that kind, with the database's real LSNs, and moves its LSN
// state on as such a backup does: a full snapshot is the base that later
// differentials and log backups build on. `db` receives what a revert of
// this snapshot needs.
bool RecordHistory(SqlSimInstance& instance, const std::string& database, char type,
                   JXSnapClientAPI::SnapDatabase& db, std::string& error) {
    // One read-modify-write transaction: the state read is the one moved on.
    CWzError e = instance.Db().RunInTransaction([&] {
        return RecordHistoryIn(instance, database, type, db);
    });
    if (e.IsError()) error = e.GetMessage();
    return e.IsSuccess();
}

// Freezes the writes of `database` until `writes` goes, as the engine
// freezes a database's writes while a snapshot of it is taken: the copy and
// the LSN recorded then describe one instant. Waits for the changes in
// progress to end.
bool FreezeWrites(SqlSimInstance& instance, const std::string& database, SqlSimDatabaseHold& writes,
                  std::string& error) {
    switch (writes.TakeWaiting(instance.Location(), database, SqlSimDatabaseHold::Mode::kExclusive, error,
                               SqlSimDatabaseHold::Purpose::kWrites, SqlSimChanges::kWritesWaitMs)) {
        case SqlSimDatabaseHold::Result::kTaken:
            return true;
        case SqlSimDatabaseHold::Result::kBusy:
            error = "The writes of database [" + database + "] could not be frozen for the snapshot.";
            return false;
        case SqlSimDatabaseHold::Result::kFailed:
            break;
    }
    return false;
}

// One field of the database list: no tab or line break may hide in it.
bool PlainField(const std::string& text) { return text.find_first_of("\t\n") == std::string::npos; }

std::string DatabaseListText(const std::vector<JXSnapClientAPI::SnapDatabase>& databases) {
    std::string text;
    for (const JXSnapClientAPI::SnapDatabase& db : databases) {
        text += "database\t" + db.name + "\t" + db.recoveryModel + "\t" + std::to_string(db.currentLsn) + "\t" +
                std::to_string(db.baseFullLsn) + "\t" + std::to_string(db.logEnd) + "\n";
        for (const SqlSimRestoredFile& f : db.files) {
            text += "file\t" + std::to_string(f.type) + "\t" + std::to_string(f.size) + "\t" + f.logicalName + "\t" +
                    f.fileGroup + "\t" + f.path + "\n";
        }
    }
    return text;
}

bool WriteMessage(const std::string& path, const CNMessageBase& message, std::string& error) {
    std::string xml;
    if (message.serialize(xml) != kMsgOk || !wz::WriteFileAtomically(path, xml)) {
        error = "Cannot write the metadata file [" + path + "].";
        return false;
    }
    return true;
}

}  // namespace

std::string JXSnapClientAPI::StoreDirectory(uint64_t jobId) {
    return wz::PlatformPath("snapshots/" + std::to_string(jobId));
}

bool JXSnapClientAPI::snapDatabases(const SnapRequest& request, std::vector<std::string>& volumes,
                                    std::string& error) {
    volumes.clear();
    SqlSimInstance instance;
    if (CWzError e = instance.Open(request.instance); e.IsError()) {
        error = e.GetMessage();
        return false;
    }
    std::vector<std::string> trees;
    for (std::string tree : request.treeVolumes) {
        while (tree.size() > 1 && tree.back() == '/') tree.pop_back();
        if (!IsPlainAbsolute(tree) || !PlainField(tree)) {
            error = "Volume path [" + tree + "] is not a plain absolute path.";
            return false;
        }
        trees.push_back(tree);
    }
    SQLPmn::AttachDBMsg components;
    std::set<std::string> seen, treesSnapped;
    // One per database, until the snapshot is recorded: no restore places
    // files under it, and no change is made between its copy and its record.
    std::list<SqlSimDatabaseHold> holds, frozen;
    for (const std::string& database : request.databases) {
        std::vector<std::string> files;
        if (!BackupAllowed(instance, database, holds.emplace_back(), error) ||
            !FreezeWrites(instance, database, frozen.emplace_back(), error) ||
            !DatabaseFiles(instance, database, files, error)) {
            return false;
        }
        for (const std::string& text : files) {
            if (!PlainField(database) || !PlainField(text)) {
                error = "Database [" + database + "] has a name or file path with a tab or line break.";
                return false;
            }
        }
        SQLPmn::AttachDB entry;
        entry.setstring(SQLPmn::AttachDB::kAttachName, database);
        entry.setstring(SQLPmn::AttachDB::kSourceName, database);
        entry.setliststring(SQLPmn::AttachDB::kFilePaths, files);
        components.addlistobject(SQLPmn::AttachDBMsg::kDatabases, entry);
        for (const std::string& file : files) {
            const std::string tree = HoldingVolume(trees, file);
            const std::string volume = tree.empty() ? Parent(file) : tree;
            if (!tree.empty()) treesSnapped.insert(tree);
            if (seen.insert(volume).second) volumes.push_back(volume);
        }
    }
    const std::string store = StoreDirectory(request.jobId);
    std::string list;
    for (size_t i = 0; i < volumes.size(); ++i) {
        if (volumes[i].find('\n') != std::string::npos ||
            !CopyDirectory(volumes[i], store + "/" + std::to_string(i + 1), treesSnapped.count(volumes[i]) != 0,
                           error)) {
            if (error.empty()) error = "Volume path [" + volumes[i] + "] cannot be recorded.";
            (void)wz::RemoveTree(store);  // a partial snapshot is no snapshot
            volumes.clear();
            return false;
        }
        list += std::to_string(i + 1) + "\t" + volumes[i] + "\n";
    }
    if (!wz::WriteFileAtomically(store + "/" + kVolumeList, list)) {
        error = "Cannot write the snapshot list of job " + std::to_string(request.jobId) + ".";
        (void)wz::RemoveTree(store);
        volumes.clear();
        return false;
    }
    std::vector<SnapDatabase> snapped;
    for (const std::string& database : request.databases) {
        snapped.emplace_back();
        if (!RecordHistory(instance, database, request.historyType, snapped.back(), error)) return false;
    }
    if (!wz::WriteFileAtomically(store + "/" + kDatabaseList, DatabaseListText(snapped))) {
        error = "Cannot write the database list of job " + std::to_string(request.jobId) + ".";
        return false;
    }
    SQLPmn::AttachDBMsg writer;
    writer.setstring(SQLPmn::AttachDBMsg::kInstanceName, request.instance);
    const std::string base =
        request.metadataDirectory + "/" + std::to_string(request.jobId) + "_" + request.levelName;
    return WriteMessage(base + "_WRT.xml", writer, error) && WriteMessage(base + "_BCD.xml", components, error);
}

bool JXSnapClientAPI::getVolumeSnaps(SMVolSnapInfo& snaps) {
    SetLastError(0, "");
    const uint64_t jobId = SnapJobOf(snaps);
    auto fail = [&](const std::string& text) {
        SetLastError(kErrEngine, text);
        snaps.setStatus(1);
        snaps.setErrorCode(kErrEngine);
        snaps.setErrorString(text);
        return false;
    };
    if (TakeScriptedFailure("getVolumeSnaps")) {
        std::string text;
        const int code = getErrCodeAndStr(text);
        snaps.setStatus(1);
        snaps.setErrorCode(code);
        snaps.setErrorString(text);
        return false;
    }
    const std::string store = StoreDirectory(jobId);
    std::string text;
    if (!wz::ReadSmallFile(store + "/" + kVolumeList, text)) {
        snaps.setNumOfSnap(0);
        return errno == ENOENT || fail("Cannot read the snapshot list of job " + std::to_string(jobId) + ".");
    }
    std::map<uint64_t, uint64_t> flags, engineOfJob, capabilities;
    if (!ReadNumberPairs(store + "/" + kVolumeFlags, flags) || !ReadNumberPairs(wz::PlatformPath(kEngineList), capabilities)) {
        return fail("The snapshot engine's records of job " + std::to_string(jobId) + " are damaged.");
    }
    uint64_t engine = kDefaultEngine;
    std::string engineText;
    if (wz::ReadSmallFile(store + "/" + kEngineOfJob, engineText)) {
        if (engineText.empty() || engineText.find_first_not_of("0123456789") != std::string::npos) {
            return fail("The engine of job " + std::to_string(jobId) + " is damaged.");
        }
        engine = std::stoull(engineText);
    } else if (errno != ENOENT) {
        return fail("Cannot read the engine of job " + std::to_string(jobId) + ".");
    }
    std::istringstream lines(text);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        const size_t tab = line.find('\t');
        if (tab == std::string::npos || tab == 0 || tab > 9 || line.find_first_not_of("0123456789") != tab) {
            return fail("The snapshot list of job " + std::to_string(jobId) + " is damaged.");
        }
        const uint32_t volumeId = static_cast<uint32_t>(std::stoul(line.substr(0, tab)));
        SMVolumeInfo volume;
        volume.setSourcePath(line.substr(tab + 1));
        volume.setSnapPath(store + "/" + line.substr(0, tab));
        volume.setJobId(jobId);
        volume.setJxCellId(snaps.getJxCellId());
        volume.setSourceClientId(snaps.getSourceClientId());
        volume.setSMVolumeId(volumeId);
        auto f = flags.find(volumeId);
        volume.setVolumeFlags(f == flags.end() ? 0 : static_cast<uint32_t>(f->second));
        volume.setSnapEngineId(engine);
        SMSnapInfo snap;
        snap.setVolumeId(volumeId);
        snap.setSnapDevice(volume.getSnapPath());
        snap.setSnapSourceDevice(volume.getSourcePath());
        snaps.addVolume(volume);
        snaps.addSnapInfo(snap);
        ++count;
    }
    if (count > 0) {
        SMSnapShotEngineInfo info;
        info.setSnapEngineId(engine);
        auto bits = capabilities.find(engine);
        info.setCapabilities(bits != capabilities.end() ? bits->second
                                                        : (engine == kDefaultEngine ? kSnapEngineCanTestClone : 0));
        snaps.addSnapEngine(info);
    }
    snaps.setNumOfSnap(count);
    return true;
}

bool JXSnapClientAPI::CopySnapToMountPath(const SMVolumeInfo& volume, std::string& error) {
    if (volume.getSnapPath().empty()) {
        error = "Volume [" + volume.getSourcePath() + "] has no snapshot.";
        return false;
    }
    if (!UnderRoot(volume.getMountPath())) {
        error = "Mount path [" + volume.getMountPath() + "] is not a directory of this machine's mount area.";
        return false;
    }
    // The store holds only what the snapshot took: a folder volume's top files.
    return CopyDirectory(volume.getSnapPath(), volume.getMountPath(), true, error);
}

bool JXSnapClientAPI::mountVolumes(SMVolSnapInfo& snaps) {
    SetLastError(0, "");
    if (TakeScriptedFailure("mountVolumes")) return false;
    const uint64_t snapJob = SnapJobOf(snaps);
    SnapMountRecord held;
    const int found = SnapMountRegistry::Load(snapJob, snaps.getJobId(), held);
    if (found < 0) {
        SetLastError(kErrEngine, "The mount record of job " + std::to_string(snapJob) + " is damaged.");
        return false;
    }
    if (found > 0) {
        // The caller learns where the set is mounted, so it can go on using it.
        for (auto v = snaps.volumeListBegin(); v != snaps.volumeListEnd(); ++v) {
            for (const SnapMountRecord::Volume& m : held.volumes) {
                if (m.volumeId == v->getSMVolumeId() && m.sourcePath == v->getSourcePath()) {
                    v->setMountPath(m.mountPath);
                }
            }
        }
        SetLastError(kErrAlreadyMounted, "The volumes of job " + std::to_string(snapJob) + " are already mounted.");
        return false;
    }
    int reservation = 0;
    for (auto v = snaps.volumeListBegin(); v != snaps.volumeListEnd(); ++v) {
        std::string error;
        if (!CopySnapToMountPath(*v, error)) {
            (void)unmountVolumes(snaps);  // nothing may stay mounted; the copy failure is the error
            SetLastError(kErrEngine, error);
            return false;
        }
        reservation = std::max(reservation, v->getTestEnvReservationTime());
    }
    SnapMountRecord record;
    MakeMountRecord(snaps, reservation > 0 ? reservation : kDefaultReservationSeconds, record);
    if (!SnapMountRegistry::Store(record)) {
        const std::string error = "Cannot record the mount of job " + std::to_string(snapJob) + ".";
        (void)unmountVolumes(snaps);  // a mount nobody can find again is not left behind
        SetLastError(kErrEngine, error);
        return false;
    }
    return true;
}

bool JXSnapClientAPI::unmountVolumes(SMVolSnapInfo& snaps) {
    bool ok = true;
    for (auto v = snaps.volumeListBegin(); v != snaps.volumeListEnd(); ++v) {
        if (v->getMountPath().empty()) continue;
        if (!UnderRoot(v->getMountPath()) || (wz::RemoveTree(v->getMountPath()) != 0 && errno != ENOENT)) ok = false;
    }
    if (ok && !SnapMountRegistry::Remove(SnapJobOf(snaps), snaps.getJobId())) ok = false;
    if (!ok) SetLastError(kErrEngine, "Cannot unmount every volume of job " + std::to_string(SnapJobOf(snaps)) + ".");
    return ok;
}

uint64_t JXSnapClientAPI::SnapJobOf(const SMVolSnapInfo& snaps) {
    return snaps.getSnapJobId() != 0 ? snaps.getSnapJobId() : snaps.getJobId();
}

bool JXSnapClientAPI::deleteVolumeSnaps(SMVolSnapInfo& snaps) {
    const uint64_t jobId = SnapJobOf(snaps);
    return wz::RemoveTree(StoreDirectory(jobId)) == 0 || errno == ENOENT;
}

bool JXSnapClientAPI::getSnapDatabases(uint64_t jobId, std::vector<SnapDatabase>& databases, std::string& error) {
    databases.clear();
    const std::string path = StoreDirectory(jobId) + "/" + kDatabaseList;
    std::string text;
    if (!wz::ReadSmallFile(path, text)) {
        error = "Cannot read the database list of snapshot job " + std::to_string(jobId) + ": " + std::strerror(errno);
        return false;
    }
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::vector<std::string> f = snapstore::Fields(line);
        SnapDatabase db;
        SqlSimRestoredFile file;
        uint64_t type = 0;
        if (f.size() == 6 && f[0] == "database" && !f[1].empty() && snapstore::ParseUnsigned(f[3], db.currentLsn) &&
            snapstore::ParseUnsigned(f[4], db.baseFullLsn) && snapstore::ParseUnsigned(f[5], db.logEnd)) {
            db.name = f[1];
            db.recoveryModel = f[2];
            databases.push_back(db);
        } else if (f.size() == 6 && f[0] == "file" && !databases.empty() && snapstore::ParseUnsigned(f[1], type) && type <= 1 &&
                   snapstore::ParseUnsigned(f[2], file.size) && !f[3].empty() && IsPlainAbsolute(f[5])) {
            file.type = static_cast<int>(type);
            file.logicalName = f[3];
            file.fileGroup = f[4];
            file.path = f[5];
            databases.back().files.push_back(file);
        } else {
            error = "The database list of snapshot job " + std::to_string(jobId) + " has a malformed line.";
            databases.clear();
            return false;
        }
    }
    return true;
}
