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
};

class SMVolSnapInfo {
public:
    using VolumeList = std::list<SMVolumeInfo>;

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
};
