// DumpSweepUtils: the client side of staging log dumps on a media agent's
// disk library: the staging mount point of a subclient, mounting and
// unmounting the disk library there through the media agent's on-demand
// mounting service, listing what is mounted, and asking the archive manager
// whether a subclient has active mount paths.
//
// Runs on the caller's thread and takes no lock.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "JxJxServCommunicationUtility/JXOnDemandSvcClient.h"
#include "WzUtils/CWzError.h"

namespace SQLPmn {
class SqlUpdateBackupInfo;
}

// Folder name of the staging mount point, and the mounting service's name.
inline constexpr const char* MOUNTPOINT_NAME = "csless";
inline constexpr const char* JXMA_MOUNTING_POINT_SERVICE = "JXMAMountingPointSvc";

enum MOUNT_METHOD { MOUNT_METHOD_MOUNT = 2, MOUNT_METHOD_UNMOUNT = 3 };

// The Win32 code of "nothing could be mounted" from the mounting service.
inline constexpr uint32_t kNoMountPointsCode = 4306;

class DumpSweepUtils {
public:
    DumpSweepUtils() = default;
    explicit DumpSweepUtils(const std::string& clientName) : m_clientName(clientName) {}
    virtual ~DumpSweepUtils() = default;
    DumpSweepUtils(const DumpSweepUtils&) = delete;
    DumpSweepUtils& operator=(const DumpSweepUtils&) = delete;

    void SetClientMangledName(const std::string& name) { m_clientName = name; }
    // Talks to the mounting service through `client` from now on; the caller
    // keeps it alive.
    void SetODSClient(JXOnDemandSvcClient& client) { m_onDemandClient = &client; }

    // The job-results directory of `clientName`.
    bool GetJobResultsDir(const std::string& clientName, std::string& dir) const;
    // <job-results directory>/Pelmanode/MS SQL Agent/<subclient id>/csless;
    // empty on failure.
    std::string GetStageLocation(const std::string& clientName, uint64_t subclientId) const;

    // Creates `location` and asks the service to mount (or unmount) the
    // subclient's disk library there.
    CWzError CreateLogBackupStageMountPoint(uint64_t subclientId, const std::string& location, MOUNT_METHOD method);
    // One request to the mounting service; a non-zero answer comes back as a
    // Win32-style error with that code.
    CWzError MountMADiskLibrary(const std::string& mountPoint, uint64_t subclientId, MOUNT_METHOD method,
                                bool refreshCache);
    CWzError UnmountRemoteStorages(uint64_t subclientId, const std::string& location);
    // Mounts, then lists the mount points really mounted under `location`
    // (location + "/" + entry name); none is the Win32 error 4306.
    CWzError GetMountedRemoteStorages(uint64_t subclientId, const std::string& location, std::set<std::string>& paths);

    // Whether the archive manager lists an active mount path of the subclient.
    CWzError HasValidMountPoints(bool& valid, uint64_t subclientId, uint64_t otherId, bool flag1, bool flag2) const;
    bool HasValidMountPoints(uint64_t subclientId, uint64_t otherId, bool flag1, bool flag2) const;

    // Sends the dumps' service-level records of the subclient to the central
    // server through its stored procedure; an empty list sends nothing.
    bool SendSLAInfoToCS(uint64_t subclientId, std::vector<SQLPmn::SqlUpdateBackupInfo>& records) const;

    // Asks the scheduler to start a FULL backup job of the subclient now,
    // limited to `databases` when any are given; true with the new job's id.
    bool CreateFullBackupTask(int clientId, int subclientId, int instanceId, const std::set<std::string>& databases,
                              long long& jobId) const;

private:
    std::string m_clientName;
    JXOnDemandSvcClient m_ownClient;
    JXOnDemandSvcClient* m_onDemandClient = &m_ownClient;
};
