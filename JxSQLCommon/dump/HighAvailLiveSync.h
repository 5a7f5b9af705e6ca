// HighAvailLiveSync: the live-sync job for standby databases fed from dump
// folders that carry the log-information database loginfo.db.
//
// Where CSQLDumpLiveSync finds the dumps by walking the mounted folders,
// this job asks loginfo.db in each of a database's mount paths for the dumps
// newer than what the standby (or the central server's newest full or
// differential backup) already has, and holds a reference on each of them
// while it needs it, so that the dump programs keep the files:
// - a run takes a reference on each listed row it does not hold yet, and
//   releases the rows it holds that the run no longer lists;
// - a restored dump releases its row at once;
// - the job releases whatever it still holds before its last run unmounts
//   the storage, or, when a stop ends it after that unmount, with the
//   storage mounted again for the release (and once more when it ends, for
//   what could not be released). A folder mount, unlike a link, leaves no
//   path to a dump folder once unmounted.
// A run in which any mount path lacks loginfo.db walks the file system as
// its base does (marker files, restore collect file) and touches no
// loginfo.db; none is created where it is missing.
// A database whose dumps a run cannot read from a mount path's loginfo.db
// (gone, cannot be locked, its rows cannot be taken) is not merged in that
// run: it keeps the central server's chain, and the base reports it as when
// the storage cannot be mounted.
#pragma once

#include <list>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "JxSQLCommon/dump/CSQLDumpLiveSync.h"
#include "JxSQLCommon/state/LiveSyncReferences.h"

class CLogInfoDB;

class HighAvailLiveSync : public CSQLDumpLiveSync {
public:
    HighAvailLiveSync() = default;
    // Releases the references still held.
    ~HighAvailLiveSync() override;

    // Runs the live-sync job, then releases the references still held.
    bool startRestore(RestoreOptionsParser& parser) override;
    // Releases the references still held while the mounts still lead to
    // their loginfo.db.
    void BeforeLastUnmount() override;
    // Whether any reference is still held.
    bool HoldsOnDiskLibrary() const override;

    // True (file-system mode) unless every mount path of every database has
    // loginfo.db; decides the mode of the run.
    bool UseRestoreCollectFile() override;
    // The base's cut of the merged list, except for a database whose dumps
    // this run could not read from loginfo.db: that one is left unmerged.
    CWzError BuildArchiveList(const std::string& dbName, std::map<std::string, SqlAFilesPerBackup_t>& items,
                              std::list<SqlAFilesPerBackup_t>& chain) override;
    // Always false: the dumps are not listed from the disk in database mode.
    bool NothingOnDisk(const LSNS& logFiles) override;
    // Database mode: adds the database's dumps after the chosen LSN from the
    // loginfo.db of each of its mount paths (one that does not list the
    // database has none); a loginfo.db that cannot be read leaves the
    // database unmerged in this run. File-system mode: the base's walk.
    CWzError AddAFilesFromMountedShare(const DB_LSNS::const_iterator& dbEntry, std::string& lastLSN,
                                       std::map<std::string, SqlAFilesPerBackup_t>& items) override;
    // The base's restore of one dump file, then the release of the reference
    // held for it. A failed release is logged; it never fails the restore.
    CWzError DoDbRestore(std::shared_ptr<CJxSQLVDIDumpRestore>& vdi, const std::string& databaseName,
                         const std::string& fullPathLogFile) override;

    // Takes and reads, under one lock of `db` (the loginfo.db of
    // `mountPath`), the rows of database `serial` after `afterLSN` (all when
    // empty), and adds those whose .bak and .xml files exist to `items`
    // (keyed by the padded last LSN; the first entry of a key wins). Fails
    // when the rows cannot be taken.
    CWzError PopulateHybridList(const CLogInfoDB& db, const std::string& mountPath, unsigned int serial,
                                const std::string& afterLSN, std::map<std::string, SqlAFilesPerBackup_t>& items);

    // Read by tests.
    bool LogInfoDbOnAllPaths() const { return m_logInfoDbOnAllPaths; }
    size_t HeldReferences() const { return m_references.HeldCount(); }

private:
    void ReleaseAllReferences();

    bool m_logInfoDbOnAllPaths = false;
    // Databases (source names) whose dumps this run could not read from
    // loginfo.db.
    std::set<std::string> m_unreadThisRun;
    LiveSyncReferences m_references;
};
