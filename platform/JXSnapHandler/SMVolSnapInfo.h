// SMVolSnapInfo: the snapshots of one snapshot job and the volumes they
// cover, as the snapshot engine (JXSnapClientAPI) reads and acts on them.
//
// A volume is a directory that holds database files. Its snapshot is a copy
// kept in the engine's store; mounting it makes the copy appear at the
// volume's mount path.
#pragma once

#include <cstdint>
#include <list>
#include <string>

#include "JXSnapHandler/SMMetaDataInfo.h"
#include "JXSnapHandler/SMSnapInfo.h"
#include "JXSnapHandler/SMSnapShotEngineInfo.h"

class SMVolumeInfo {
public:
    const std::string& getSourcePath() const { return m_sourcePath; }
    void setSourcePath(const std::string& path) { m_sourcePath = path; }
    uint64_t getJobId() const { return m_jobId; }
    void setJobId(uint64_t id) { m_jobId = id; }
    uint32_t getJxCellId() const { return m_jxCellId; }
    void setJxCellId(uint32_t id) { m_jxCellId = id; }
    uint64_t getSourceClientId() const { return m_sourceClientId; }
    void setSourceClientId(uint64_t id) { m_sourceClientId = id; }
    uint32_t getAppType() const { return m_appType; }
    void setAppType(uint32_t type) { m_appType = type; }
    uint32_t getArchFileId() const { return m_archFileId; }
    void setArchFileId(uint32_t id) { m_archFileId = id; }
    uint32_t getGroupId() const { return m_groupId; }
    void setGroupId(uint32_t id) { m_groupId = id; }
    uint32_t getCopyId() const { return m_copyId; }
    void setCopyId(uint32_t id) { m_copyId = id; }
    const std::string& getMountPath() const { return m_mountPath; }
    void setMountPath(const std::string& path) { m_mountPath = path; }
    uint64_t getMountHostId() const { return m_mountHostId; }
    void setMountHostId(uint64_t id) { m_mountHostId = id; }
    int getMountPathFlag() const { return m_mountPathFlag; }
    void setMountPathFlag(int flag) { m_mountPathFlag = flag; }
    // Where the engine keeps the copy (empty until the engine lists it).
    const std::string& getSnapPath() const { return m_snapPath; }
    void setSnapPath(const std::string& path) { m_snapPath = path; }
    // The volume's number within its snapshot job (1, 2, ...).
    uint32_t getSMVolumeId() const { return m_volumeId; }
    void setSMVolumeId(uint32_t id) { m_volumeId = id; }
    // Flags of the volume's snapshot (0x20000: taken by a virtual-machine
    // level backup).
    uint32_t getVolumeFlags() const { return m_volumeFlags; }
    void setVolumeFlags(uint32_t flags) { m_volumeFlags = flags; }
    // The engine that took the volume's snapshot.
    uint64_t getSnapEngineId() const { return m_snapEngineId; }
    void setSnapEngineId(uint64_t id) { m_snapEngineId = id; }
    // Seconds a test clone environment of the volume stays reserved (0: the
    // engine's default).
    int getTestEnvReservationTime() const { return m_testEnvReservation; }
    void setTestEnvReservationTime(int seconds) { m_testEnvReservation = seconds; }

private:
    std::string m_sourcePath;
    uint64_t m_jobId = 0;
    uint32_t m_jxCellId = 0;
    uint64_t m_sourceClientId = 0;
    uint32_t m_appType = 0;
    uint32_t m_archFileId = 0;
    uint32_t m_groupId = 0;
    uint32_t m_copyId = 0;
    std::string m_mountPath;
    uint64_t m_mountHostId = 0;
    int m_mountPathFlag = 0;
    std::string m_snapPath;
    uint32_t m_volumeId = 0;
    uint32_t m_volumeFlags = 0;
    uint64_t m_snapEngineId = 0;
    int m_testEnvReservation = 0;
};

// Flag of a volume snapshot taken by a virtual-machine level backup.
constexpr uint32_t kSMVolumeFlagVsa = 0x20000;
// Mount status of a set whose databases were attached, and of one whose
// attach failed.
constexpr int kSMMountStatusAttached = 59;
constexpr int kSMMountStatusAttachFailed = 58;

class SMVolSnapInfo {
public:
    using VolumeList = std::list<SMVolumeInfo>;
    using MetaDataList = std::list<SMMetaDataInfo>;
    using EngineList = std::list<SMSnapShotEngineInfo>;

    // Forgets the volumes and every value; the argument is not used.
    void reset(int = 0) { *this = SMVolSnapInfo(); }

    uint64_t getJobId() const { return m_jobId; }
    void setJobId(uint64_t id) { m_jobId = id; }
    uint64_t getSnapJobId() const { return m_snapJobId; }
    void setSnapJobId(uint64_t id) { m_snapJobId = id; }
    uint64_t getSourceClientId() const { return m_sourceClientId; }
    void setSourceClientId(uint64_t id) { m_sourceClientId = id; }
    uint32_t getJxCellId() const { return m_jxCellId; }
    void setJxCellId(uint32_t id) { m_jxCellId = id; }
    uint32_t getSnapActionFlags() const { return m_actionFlags; }
    void setSnapActionFlags(uint32_t flags) { m_actionFlags = flags; }
    uint32_t getRetrieveValidFlags() const { return m_retrieveValidFlags; }
    void setRetrieveValidFlags(uint32_t flags) { m_retrieveValidFlags = flags; }
    int getOperationMode() const { return m_operationMode; }
    void setOperationMode(int mode) { m_operationMode = mode; }
    int getCopyParamType() const { return m_copyParamType; }
    void setCopyParamType(int type) { m_copyParamType = type; }
    uint64_t getCopyParam() const { return m_copyParam; }
    void setCopyParam(uint64_t value) { m_copyParam = value; }
    uint64_t getSnapEngineId() const { return m_snapEngineId; }
    void setSnapEngineId(uint64_t id) { m_snapEngineId = id; }

    // Snapshot records the engine returned (one per snapped volume).
    int numOfSnap() const { return m_snapCount; }
    void setNumOfSnap(int count) { m_snapCount = count; }
    int numOfVolume() const { return static_cast<int>(m_volumes.size()); }
    void addVolume(const SMVolumeInfo& volume) { m_volumes.push_back(volume); }
    VolumeList::iterator volumeListBegin() { return m_volumes.begin(); }
    VolumeList::iterator volumeListEnd() { return m_volumes.end(); }
    VolumeList::const_iterator volumeListBegin() const { return m_volumes.begin(); }
    VolumeList::const_iterator volumeListEnd() const { return m_volumes.end(); }

    // The client the volumes are mounted on.
    const std::string& getMountHostName() const { return m_mountHostName; }
    void setMountHostName(const std::string& name) { m_mountHostName = name; }
    // Mount status (kSMMountStatus*), stored by updateVolumeSnaps.
    int getMountStatus() const { return m_mountStatus; }
    void setMountStatus(int status) { m_mountStatus = status; }

    // Metadata items; with `replace` an item of the same type and reference
    // takes the place of the one held, otherwise it is appended.
    void addMetaData(const SMMetaDataInfo& item, bool replace);
    const MetaDataList& metaDataList() const { return m_metaData; }

    // The engines that took the volumes' snapshots.
    void addSnapEngine(const SMSnapShotEngineInfo& engine) { m_engines.push_back(engine); }
    const EngineList& snapEngineList() const { return m_engines; }
    // The engine id of the volume of that id; 0 when there is no such volume.
    uint64_t getSnapEngineIdForVolume(uint32_t volumeId) const;

    // The snapshot of each volume, found by volume id (nullptr when none).
    void addSnapInfo(const SMSnapInfo& info) { m_snaps.push_back(info); }
    const SMSnapInfo* GetSnapInfoByVolumeId(uint32_t volumeId) const;

    // Why the last engine call on the set failed.
    uint32_t getArchFileId() const { return m_archFileId; }
    void setArchFileId(uint32_t id) { m_archFileId = id; }
    int getStatus() const { return m_status; }
    void setStatus(int status) { m_status = status; }
    int getErrorCode() const { return m_errorCode; }
    void setErrorCode(int code) { m_errorCode = code; }
    const std::string& getErrorString() const { return m_errorString; }
    void setErrorString(const std::string& text) { m_errorString = text; }

    // One line per value and per volume, for the job's log.
    std::string dump() const;

private:
    uint64_t m_jobId = 0;
    uint64_t m_snapJobId = 0;
    uint64_t m_sourceClientId = 0;
    uint32_t m_jxCellId = 0;
    uint32_t m_actionFlags = 0;
    uint32_t m_retrieveValidFlags = 0;
    int m_operationMode = 0;
    int m_copyParamType = 0;
    uint64_t m_copyParam = 0;
    uint64_t m_snapEngineId = 0;
    int m_snapCount = 0;
    VolumeList m_volumes;
    std::string m_mountHostName;
    int m_mountStatus = 0;
    MetaDataList m_metaData;
    EngineList m_engines;
    std::list<SMSnapInfo> m_snaps;
    uint32_t m_archFileId = 0;
    int m_status = 0;
    int m_errorCode = 0;
    std::string m_errorString;
};
