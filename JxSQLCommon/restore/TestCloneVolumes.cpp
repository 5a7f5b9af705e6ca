// Volume steps shared by test environments and recovery points.
#include "JxSQLCommon/restore/TestCloneVolumes.h"

#include "JxSQLCommon/jobbase/CSQLCommon.h"

namespace {

constexpr uint32_t kRetrieveFlags = 0x39;
constexpr uint32_t kActionFlags = 2;
constexpr int kCopyParamTypePrecedence = 2;
constexpr int kMetadataAttachRequest = 38;
constexpr int kRefTypeVolume = 10;

}  // namespace

void PrepareTestCloneVolumeQuery(SMVolSnapInfo& record, uint64_t snapJobId, uint64_t jobId, uint64_t copyPrecedence) {
    record.setRetrieveValidFlags(kRetrieveFlags);
    record.setSnapActionFlags(kActionFlags);
    record.setSnapJobId(snapJobId);
    record.setJobId(jobId);
    record.setCopyParam(copyPrecedence);
    record.setCopyParamType(kCopyParamTypePrecedence);
}

void SetTestCloneMountPaths(SMVolSnapInfo& record, const std::string& mountPath, int reservationSeconds,
                            std::map<std::string, SqlSMVolInfo>& volumeMap) {
    std::string base = mountPath;
    if (base.empty() || base.back() != '/') base += '/';
    for (auto v = record.volumeListBegin(); v != record.volumeListEnd(); ++v) {
        const std::string path = base + CSQLCommon::getGUID() + "/";
        SqlSMVolInfo& entry = volumeMap[v->getSourcePath()];
        entry.mountPath = path;
        entry.volumeId = v->getSMVolumeId();
        v->setMountPath(path);
        v->setMountPathFlag(1);
        v->setTestEnvReservationTime(reservationSeconds);
    }
}

void AddAttachRequestToVolumes(SMVolSnapInfo& record, const std::string& attachXml) {
    for (auto v = record.volumeListBegin(); v != record.volumeListEnd(); ++v) {
        SMMetaDataInfo item;
        item.setMetaDataType(kMetadataAttachRequest);
        item.setRefType(kRefTypeVolume);
        item.setRefId(v->getSMVolumeId());
        item.setMetaData(attachXml);
        record.addMetaData(item, true);
    }
}
