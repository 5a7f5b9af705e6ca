// CSQLDumpLiveSync: the live-sync restore job. It keeps standby copies of
// databases current by running the dump restore again and again inside a
// stay-alive window:
//
//   run:  restore sequence (chains from the central server, dump files merged
//         in, mounts and marker files) -> unmount, drop markers -> stay-alive
//         check -> wait (keep-alive, percentage of the window) -> next run
//
// A run is the last when the window has passed or when a data transfer of
// the run still runs; what the job holds on the disk library is let go
// before that run unmounts. A stop that ends the loop after the unmount
// (during the wait, or before the next run) has the last run's storage
// mounted once more for that.
//
// Between runs each database's chain is cut to what continues its last
// restore (BuildArchiveList). A database with nothing new is a success of
// the run; one whose dumps do not continue its last restore, or that has
// never been restored and has no full backup to start from, is reported
// skipped with its reason and is not counted as failed, so a later run that
// restores it leaves the job without failures.
//
// The job's restore client is SqlRstJobClientLiveSync: per-run counters do
// not pile up in the job manager; the percentage follows the elapsed share of
// the window instead.
#pragma once

#include <list>
#include <map>
#include <set>
#include <string>

#include "JxJobClient/JXJobClient.h"
#include "JxSQLCommon/dump/CSQLDumpLiveSyncSettings.h"
#include "JxSQLCommon/dump/CSQLDumpRestore.h"

class CSQLDumpLiveSync : public CSQLDumpRestore {
public:
    CSQLDumpLiveSync() = default;
    ~CSQLDumpLiveSync() override;

    // ---- Overrides of the restore job -------------------------------------
    // The live-sync loop in place of the single restore sequence.
    bool restore70() override;
    // Skips a database with nothing to apply in this run.
    bool restoreDB(SqlRestoreDbInfo_t db, std::list<SqlAFilesPerBackup_t>& chain) override;
    // The per-database loop of one run; databases skipped in the run are
    // recorded as skipped with their reason, not as restored or failed.
    bool restoreDBS(std::list<SqlRestoreDbInfo_t>& dbs) override;
    // A database whose dump merge ran in this run is not fetched again.
    bool getAFilesToRestore(bool unused, SqlRestoreDbInfo_t db, std::list<SqlAFilesPerBackup_t>& chain) override;
    // An empty live-sync chain from the central server is normal after the
    // first run (the standby has all it knows); it is reported only for a
    // database whose dumps could not be merged.
    bool getAFilesToRestoreForLiveSync(SqlRestoreDbInfo_t db, std::list<SqlAFilesPerBackup_t>& chain) override;
    bool startRestore(RestoreOptionsParser& parser) override;
    bool initializeRestore(RestoreOptionsParser& parser) override;
    // A database skipped in this run is not reported to the central server
    // as synchronised.
    bool UpdateDBLiveSyncStatus(std::string dbName) override;

    // ---- Overrides of the dump restore ------------------------------------
    CWzError AddBackupInfoFromMountedShare(std::list<SqlRestoreDbInfo_t>& dbs) override;
    using CSQLDumpRestore::AddBackupInfoFromMountedShare;
    // The file-system walk for dumps; when the merge kept no full or
    // differential backup, the standby's last LSN is the lower bound.
    // Subclasses that fall back to the file system call this one.
    CWzError AddAFilesFromMountedShare(const DB_LSNS::const_iterator& dbEntry, std::string& lastLSN,
                                       std::map<std::string, SqlAFilesPerBackup_t>& items) override;
    // The subclients whose disk libraries hold a database's dumps: those of
    // its chains in this and earlier runs (after the first run the central
    // server's chain may be empty).
    CWzError GetApplicationIDsFromAfiles(const SqlRestoreDbInfo_t& db, std::set<uint64_t>& ids) override;
    // Cuts the merged list to what continues the database's last restore.
    CWzError BuildArchiveList(const std::string& dbName, std::map<std::string, SqlAFilesPerBackup_t>& items,
                              std::list<SqlAFilesPerBackup_t>& chain) override;

    // ---- Override of the job context --------------------------------------
    // Makes the live-sync restore client (SqlRstJobClientLiveSync).
    CWzError CreateRestoreObject(SQL_RST_JOB_CLIENT_TYPE type) override;

    // ---- Live-sync operations ---------------------------------------------
    // Completes the job on the restore client, when there is one; always
    // succeeds. For restore programs that end the job themselves.
    virtual CWzError JobComplete(const JXJobStatus& status, const JXJobStatusFor& statusFor);
    // Whether the stay-alive window has passed (re-reads its setting).
    virtual bool DoneWaiting(CSQLDumpLiveSyncSettings& settings);
    // The wait between two runs, in 10-second steps with a quit check
    // before each; keep-alive and percentage first.
    virtual CWzError WaitMinTime(CSQLDumpLiveSyncSettings& settings);
    // Ends one run's use of the disk library and empties the dump-restore
    // state for the next run.
    virtual CWzError UnMountAll();
    using CSQLDumpRestore::UnMountAll;
    // Runs before the unmount of the job's last run, while the disk library
    // is still reachable through the mounts; does nothing here.
    virtual void BeforeLastUnmount();
    // Whether the job still holds something on the disk library that
    // BeforeLastUnmount lets go; false here.
    virtual bool HoldsOnDiskLibrary() const;
    virtual CWzError LiveSyncDumpRestore();
    virtual CWzError DoLiveSyncRstoreLoop(CSQLDumpLiveSyncSettings& settings);

    // Read by the restore client and tests.
    CSQLDumpLiveSyncSettings& LiveSyncSettings() { return m_liveSyncSettings; }
    const CSQLDumpLiveSyncSettings& LiveSyncSettings() const { return m_liveSyncSettings; }

protected:
    CSQLDumpLiveSyncSettings m_liveSyncSettings;

private:
    // Whether the run that just ended is the job's last (says why).
    bool IsLastRun(CSQLDumpLiveSyncSettings& settings);
    // After a loop that ended past its last unmount: mounts the storage of
    // the last run again when the job still holds something there, lets it
    // go (BeforeLastUnmount) and unmounts.
    void LetGoAfterTheLastUnmount();

    // What the last unmounted run had mounted: application ids, mount root,
    // job id and database names (no marker files).
    DumpRestoreSettings m_lastRunStorage;
    // Per-run state: databases (source names) whose dump merge ran, the
    // central server's empty live-sync chains, and the databases skipped with
    // their reasons (by target name).
    std::set<std::string> m_mergedThisRun;
    std::set<std::string> m_emptyCentralChain;
    std::map<std::string, std::string> m_skippedThisRun;
    // Why BuildArchiveList left a database out of this run (by source name);
    // a database with nothing new has no entry.
    std::map<std::string, std::string> m_skipReasons;
    // Application ids of each database's chains over the job (by source name).
    std::map<std::string, std::set<uint64_t>> m_appIDsOfDatabase;
};
