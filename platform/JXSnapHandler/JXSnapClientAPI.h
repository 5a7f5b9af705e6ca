// JXSnapClientAPI: the snapshot engine of this platform.
//
// A volume is a directory that holds database files. A snapshot copies the
// volume's files (real bytes) into the engine's store under the platform
// root ("snapshots/<job id>/<n>/", the list in "snapshots/<job id>/volumes"),
// records one history row per database in the instance's backup history (a
// full snapshot moves the database's LSN state on as a full backup does), lists
// the snapped databases with their files and LSNs ("snapshots/<job id>/databases") and
// writes the job's writer ("_WRT.xml") and backup-components ("_BCD.xml")
// metadata files. Mounting copies a snapshot to its volume's mount path;
// unmounting removes that copy again. Mount paths must lie under the
// platform root.
//
// Every mounted set (keyed by its snap job id and job id) has a record in
// SnapMountRegistry: its mount paths, mount status, metadata items and the
// end of its reservation. A set mounted again for the same job is refused
// with code 60332 and answered with the paths it is mounted at. Once a
// reservation has passed, releaseExpiredMounts (the release command)
// detaches the databases the set's attach-request items name and removes
// the mount paths.
//
// Engines: each snapshot job's volumes were taken by one engine (id 1 unless
// set with SetSnapEngineForJob) whose capability bits come from
// SetEngineCapabilities (engine 1 can create test clones unless set).
//
// Tests script failures with ScriptFailure: the next call of the named
// operation fails with the code and text given. After any failure
// getErrCodeAndStr tells the code and text of this thread's last failure.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "JXSnapHandler/SMVolSnapInfo.h"
#include "JxsqlDMO/SqlSimRestoreCatalog.h"

struct SnapMountRecord;

class JXSnapClientAPI {
public:
    // What the backup program asks the engine to snap.
    struct SnapRequest {
        uint64_t jobId = 0;
        std::string instance;                 // "HOST/INST"
        std::vector<std::string> databases;
        std::string metadataDirectory;        // where the metadata files go
        std::string levelName;                // "Full", ...: part of their names
        char historyType = 'D';               // history letter of the rows
        // Volumes that lie above their files' folders. A file under one of
        // them (the longest that holds it) is snapped with that volume's
        // whole tree; any other file's volume is its own folder, of which
        // only the files at the top are snapped.
        std::vector<std::string> treeVolumes;
    };

    // A database as one snapshot holds it: what a revert needs to bring it
    // back to the moment of the snapshot.
    struct SnapDatabase {
        std::string name;
        std::string recoveryModel;
        uint64_t currentLsn = 0;   // LSN of the last record the snapshot holds
        uint64_t baseFullLsn = 0;  // checkpoint LSN of the full backup later backups build on
        uint64_t logEnd = 0;       // where the log file's next record went
        std::vector<SqlSimRestoredFile> files;
    };

    // Snaps the volumes of the databases' files; `volumes` receives the
    // source paths in the order they were snapped. False with `error` set
    // when a database is unknown, a tree volume is not a plain absolute
    // path or a file cannot be copied; nothing of the job's store is left
    // then.
    static bool snapDatabases(const SnapRequest& request, std::vector<std::string>& volumes, std::string& error);

    // Adds the snapshots of the set's snap job id as volumes (source path
    // and store path) and sets the snapshot count; a job without snapshots
    // gives count 0. False when the store cannot be read.
    // Also fills each volume's id, flags and engine id, the snapshot of each
    // volume (SMSnapInfo) and the engines with their capability bits. On
    // failure the set's status, error code and text say why.
    static bool getVolumeSnaps(SMVolSnapInfo& snaps);
    // Copies each snapshot of the set to its volume's mount path and records
    // the mount, reserved for the largest test-environment reservation of
    // its volumes (kDefaultReservationSeconds when none). False, with nothing
    // left mounted, when a mount path is not an absolute path under the
    // platform root or a copy fails; false with kErrAlreadyMounted, and each
    // volume's mount path set to where it is mounted, when the set is
    // already mounted for its job.
    static bool mountVolumes(SMVolSnapInfo& snaps);
    // Removes the mount path of every volume that has one, and the set's
    // mount record.
    static bool unmountVolumes(SMVolSnapInfo& snaps);
    // Removes the snapshots of the set's snap job id from the store.
    static bool deleteVolumeSnaps(SMVolSnapInfo& snaps);

    // The databases the snapshots of `jobId` hold, in the order snapped.
    // False with `error` set when the job has no such list or it is
    // malformed.
    static bool getSnapDatabases(uint64_t jobId, std::vector<SnapDatabase>& databases, std::string& error);

    // "snapshots/<job id>" under the platform root.
    static std::string StoreDirectory(uint64_t jobId);

    // ---- Mount records, reservations and errors ----------------------------
    // Error code of a set that is already mounted for its job.
    static constexpr int kErrAlreadyMounted = 60332;
    // Error code of a set that has no mount record.
    static constexpr int kErrNotMounted = 60001;
    // Error code of a failed copy, store or scripted failure without a code.
    static constexpr int kErrEngine = 60000;
    // Reservation of a mount that no call extended: 20 minutes.
    static constexpr int kDefaultReservationSeconds = 1200;

    // Stores the set's mount status and metadata items (an item of the same
    // type and reference replaces the stored one) in its mount record, made
    // from the set's volumes when there is none; the reservation end is
    // kept. False with the error set when the record cannot be written.
    static bool updateVolumeSnaps(SMVolSnapInfo& snaps);
    // Sets the end of the set's reservation to `hours` hours and `minutes`
    // minutes from now. False when the set is not mounted.
    static bool extendSnapVolumeMount(SMVolSnapInfo& snaps, const long& hours, const long& minutes);
    // The code and text of this thread's last failure (0 and empty when the
    // last call succeeded).
    static int getErrCodeAndStr(std::string& text);

    // Ends every mount whose reservation ended at or before `nowSeconds`
    // (seconds since 1970): detaches each database that a type-38 metadata
    // item names and whose files all lie under the set's mount paths (a
    // database of that name elsewhere stays), removes the mount paths and the
    // record. A mount whose database cannot be detached stays for the next
    // run. One line per mount ended or kept goes to `report`; answers the
    // number of mounts ended, -1 when a mount had to be kept.
    static int releaseExpiredMounts(int64_t nowSeconds, std::vector<std::string>& report);

    // ---- Set-up for tests and the demo ----------------------------------------
    // The next call of `operation` (its name, e.g. "mountVolumes") fails with
    // `code` and `text`; calls queue up in order.
    static bool ScriptFailure(const std::string& operation, int code, const std::string& text);
    // Flags of a volume (by volume id) of a snapshot job.
    static bool SetVolumeFlags(uint64_t jobId, uint32_t volumeId, uint32_t flags);
    // The engine that took a snapshot job's volumes.
    static bool SetSnapEngineForJob(uint64_t jobId, uint64_t engineId);
    // An engine's capability bits.
    static bool SetEngineCapabilities(uint64_t engineId, uint64_t bits);

    // ---- Building blocks of the engine's own operations ----------------------
    // True (with the error recorded) when a failure of `operation` was scripted.
    static bool TakeScriptedFailure(const std::string& operation);
    static void SetLastError(int code, const std::string& text);
    // Copies the volume's snapshot, as the store holds it (a tree volume's
    // sub-folders too), to its mount path (under the root).
    static bool CopySnapToMountPath(const SMVolumeInfo& volume, std::string& error);
    // The mount record of the set's volumes that have a mount path, reserved
    // for `seconds` from now.
    static void MakeMountRecord(const SMVolSnapInfo& snaps, int seconds, SnapMountRecord& record);
    // The snap job id a set stands for (its snap job id, else its job id).
    static uint64_t SnapJobOf(const SMVolSnapInfo& snaps);

    // ---- Test clone environments (JXSnapClientAPITestClone.cpp) ----------
    // Copies each volume's snapshot to its mount path (under the platform
    // root) and records the set as mounted, with its mount status and
    // metadata items, reserved for the largest test-environment reservation
    // of its volumes. False, with nothing left mounted and the error set,
    // when a volume has no mount path, a copy fails or the set already has
    // environments for its job (kErrAlreadyMounted).
    static bool createTestCloneEnvs(SMVolSnapInfo& snaps);
    // Removes the environments' mount paths and the set's record.
    static bool deleteTestCloneEnvs(SMVolSnapInfo& snaps);
};
