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

#include "JXSnapHandler/SMVolSnapInfo.h"
#include "JxSQLCommon/records/SqlRestoreRecords.h"

class JXJobCtrlClient;
class SqlDataTransferHandler;
namespace SQLPmn {
class AttachDBMsg;
}  // namespace SQLPmn
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

    // ---- Clone environments (SnapCopyRestoreHandlerClone.cpp) --------------
    // A clone mounts the volumes of the snapshot job the handler was
    // initialised for under a mount path, one folder per volume, and reserves
    // the mount; the attach request goes with the mount so that the release
    // of an expired clone detaches its databases. Mounting through an iSCSI
    // proxy client and as a storage clone are both the engine's directory
    // mount here; the proxy client is recorded.
public:
    // The job's data-transfer handler (kept, not used by the directory mount).
    void setDataHandler(SqlDataTransferHandler* handler) { m_cloneDataHandler = handler; }
    // Forgets the volumes, metadata folder and mount of an earlier clone.
    void reset();
    // Creates the folder `name` in `directory` and makes `directory` its
    // path; false with errno set when the name is not a plain folder name or
    // the folder cannot be made.
    bool CreateFolderInDirectory(std::string& directory, const std::string& name);
    // Fetches the snapshot job's metadata files from the index into `folder`.
    bool getRestoreMetadata(const std::string& folder);
    // Reads the snapshot job's volumes from the engine.
    bool GetVolumeInformationForClone();
    // Gives each volume its own new folder under `mountPath` and the
    // reservation (0 or less: one hour); false before the volumes are known
    // or for a path that is not absolute.
    bool SetVolumeMountLocationAndReservation(const std::string& mountPath, int seconds);
    // Fills `message` with the destination instance and, for each database
    // of `databases` that the snapshot's metadata lists, its name to attach
    // under (the new name, else its name) and its files at their mount
    // location. False when the metadata cannot be read, a database is not in
    // it, or a file lies on no volume of the snapshot.
    bool GetAttachRequestFromMetadata(const std::list<SqlRestoreDbInfo_t>& databases, SQLPmn::AttachDBMsg& message);
    // Keeps the attach request as the volumes' type-38 metadata.
    bool UpdateMetadataInformation(const std::string& attachXml);
    // Mounts the volumes at their mount locations through `proxyClientId`.
    bool DoIscsiMountOrCloneOperation(uint64_t proxyClientId);
    // Stores the mount status (59 attached, 58 attach failed) with the mount.
    bool UpdateMountStatus(int status);
    // Whether the snapshot job was an application-aware backup (the
    // engine's volume flag 0x20000).
    bool isAppAwareBackup() const;
    // What the clone did, for its callers' checks: the volumes with their
    // mount paths, and the proxy client it mounted through (0 before).
    const SMVolSnapInfo& getCloneSnapInfo() const { return m_cloneSnaps; }
    uint64_t getCloneProxyClientId() const { return m_cloneProxyClientId; }

private:
    SqlDataTransferHandler* m_cloneDataHandler = nullptr;
    SMVolSnapInfo m_cloneSnaps;
    std::string m_cloneMetadataFolder;
    uint64_t m_cloneProxyClientId = 0;
    bool m_cloneMounted = false;
};
