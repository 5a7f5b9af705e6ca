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
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "JXSnapHandler/SMVolSnapInfo.h"
#include "JxsqlDMO/SqlSimRestoreCatalog.h"

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
    // when a database is unknown or a file cannot be copied; nothing of the
    // job's store is left then.
    static bool snapDatabases(const SnapRequest& request, std::vector<std::string>& volumes, std::string& error);

    // Adds the snapshots of the set's snap job id as volumes (source path
    // and store path) and sets the snapshot count; a job without snapshots
    // gives count 0. False when the store cannot be read.
    static bool getVolumeSnaps(SMVolSnapInfo& snaps);
    // Copies each snapshot of the set to its volume's mount path. False, with
    // nothing left mounted, when a mount path is not an absolute path under
    // the platform root or a copy fails.
    static bool mountVolumes(SMVolSnapInfo& snaps);
    // Removes the mount path of every volume that has one.
    static bool unmountVolumes(SMVolSnapInfo& snaps);
    // Removes the snapshots of the set's snap job id from the store.
    static bool deleteVolumeSnaps(SMVolSnapInfo& snaps);

    // The databases the snapshots of `jobId` hold, in the order snapped.
    // False with `error` set when the job has no such list or it is
    // malformed.
    static bool getSnapDatabases(uint64_t jobId, std::vector<SnapDatabase>& databases, std::string& error);

    // "snapshots/<job id>" under the platform root.
    static std::string StoreDirectory(uint64_t jobId);
};
