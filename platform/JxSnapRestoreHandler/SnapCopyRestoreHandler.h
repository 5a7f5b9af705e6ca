// SnapCopyRestoreHandler: the snapshot copy-restore handler of a restore job.
//
// It mounts snapshot volumes for a job and unmounts them at its end; a job
// that restores only from streamed backups never mounts anything, so
// unmounting then has nothing to do.
//
// A revert brings the job's databases back to one snapshot job: the
// database files each snapshot holds are copied back over the files on the
// volume (the volume's other files stay as they are), and each database is
// left RESTORING at the snapshot's LSN, so that later log backups can be
// applied to it. Files that lie on another client are copied through the
// job's call-backs. Either every database comes back or, when something
// fails before the files are put in place, none is changed.
//
// The writer steps of a snapshot restore (setDatabaseInfo,
// ManipulateXmlMetadata, InitializeVSSRestore, PostVSSRestore) are recorded
// in the order taken (Steps()).
//
// Test switches: a file "snaprestore/fail/<step>" under the platform root
// makes that step fail once (the file is consumed). The steps are
// "Initialize", "restoreSnapData", "copy" (after the first file was copied,
// before any is put in place), "ManipulateXmlMetadata",
// "InitializeVSSRestore" and "PostVSSRestore".
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "JxSQLCommon/records/SqlRestoreRecords.h"

class JXJobCtrlClient;
class SnapRestoreHandlerCallback;

class SnapCopyRestoreHandler {
public:
    SnapCopyRestoreHandler() = default;
    virtual ~SnapCopyRestoreHandler() = default;
    SnapCopyRestoreHandler(const SnapCopyRestoreHandler&) = delete;
    SnapCopyRestoreHandler& operator=(const SnapCopyRestoreHandler&) = delete;

    // Unmounts every volume the handler mounted for the job.
    void UnmountAllVolumes() {}

    // ---- Revert of a snapshot job (SnapCopyRestoreHandler.cpp) ------------
    // Prepares the restore of snapshot job `snapJobId` of backup domain
    // `cellId` for restore job `restoreJobId`: the databases `databases` (or
    // the one `database` when not null) go back into the destination
    // instance of `options`. `revert` asks for the restore of whole database
    // files. False with getLastError() when the instance is unknown or the
    // list is empty.
    bool Initialize(uint64_t cellId, uint64_t snapJobId, uint64_t restoreJobId, const SqlRestoreTaskOptions_t& options,
                    const char* database, const std::string& sqlUser, const std::string& sqlPassword, bool revert,
                    const std::list<std::string>& databases);
    // The job's control client: a stop request ends the copy before any
    // file is put in place.
    void setJobControl(JXJobCtrlClient* control) { m_jobControl = control; }
    // Where files of another client are asked for.
    void setCallback(SnapRestoreHandlerCallback* callback) { m_callback = callback; }
    // Whether the restore is to come from a backup copy (the options ask for
    // a copy other than the snapshot's own) rather than from the snapshot.
    bool isBackupCopyRestore() const;
    // Copies the databases' files back from the snapshot and leaves each
    // database RESTORING at the snapshot's LSN. `jobResultsDirectory` is the
    // restore job's own (the handler keeps nothing there on this platform).
    bool restoreSnapData(const std::string& jobResultsDirectory);
    // The databases the last restoreSnapData brought back; databases of the
    // list that the snapshot does not hold are left alone.
    const std::vector<std::string>& getRestoredDatabases() const { return m_restoredDatabases; }
    const std::string& getLastError() const { return m_lastError; }

    // ---- Writer steps of a snapshot restore --------------------------------
    void setDatabaseInfo(const SqlRestoreDbInfo_t& db);
    bool ManipulateXmlMetadata(const SqlRestoreDbInfo_t& db);
    bool InitializeVSSRestore();
    bool PostVSSRestore();
    // The writer steps taken, in order: "setDatabaseInfo <name>",
    // "ManipulateXmlMetadata <name>", "InitializeVSSRestore",
    // "PostVSSRestore".
    const std::vector<std::string>& Steps() const { return m_steps; }

private:
    bool Fail(const std::string& text);

    uint64_t m_cellId = 0;
    uint64_t m_snapJobId = 0;
    uint64_t m_restoreJobId = 0;
    SqlRestoreTaskOptions_t m_options;
    std::string m_instance;
    std::list<std::string> m_databases;
    bool m_initialized = false;
    JXJobCtrlClient* m_jobControl = nullptr;
    SnapRestoreHandlerCallback* m_callback = nullptr;
    std::vector<std::string> m_restoredDatabases;
    std::string m_currentDatabase;
    std::vector<std::string> m_steps;
    std::string m_lastError;
};
