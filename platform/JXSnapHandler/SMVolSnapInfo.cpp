// SMVolSnapInfo: metadata items, look-ups by volume id, and the set as text
// for the job's log.
#include "JXSnapHandler/SMVolSnapInfo.h"

#include <cinttypes>
#include <cstdio>

std::string SMVolSnapInfo::dump() const {
    char line[256];
    std::snprintf(line, sizeof line,
                  "SMVolSnapInfo: job [%" PRIu64 "] snap job [%" PRIu64 "] source client [%" PRIu64
                  "] cell [%u] action [%u] retrieve [%u] mode [%d] engine [%" PRIu64 "] snaps [%d] mount status [%d]\n",
                  m_jobId, m_snapJobId, m_sourceClientId, m_jxCellId, m_actionFlags, m_retrieveValidFlags,
                  m_operationMode, m_snapEngineId, m_snapCount, m_mountStatus);
    std::string text = line;
    for (const SMVolumeInfo& v : m_volumes) {
        std::snprintf(line, sizeof line, "  volume [%u]: archive file [%u] group [%u] flags [0x%x] mount flag [%d] ",
                      v.getSMVolumeId(), v.getArchFileId(), v.getGroupId(), v.getVolumeFlags(), v.getMountPathFlag());
        text += line + std::string("source [") + v.getSourcePath() + "] mount [" + v.getMountPath() + "]\n";
    }
    return text;
}

void SMVolSnapInfo::addMetaData(const SMMetaDataInfo& item, bool replace) {
    if (replace) {
        for (SMMetaDataInfo& held : m_metaData) {
            if (held.sameKey(item)) {
                held = item;
                return;
            }
        }
    }
    m_metaData.push_back(item);
}

uint64_t SMVolSnapInfo::getSnapEngineIdForVolume(uint32_t volumeId) const {
    for (const SMVolumeInfo& v : m_volumes) {
        if (v.getSMVolumeId() == volumeId) return v.getSnapEngineId();
    }
    return 0;
}

const SMSnapInfo* SMVolSnapInfo::GetSnapInfoByVolumeId(uint32_t volumeId) const {
    for (const SMSnapInfo& s : m_snaps) {
        if (s.getVolumeId() == volumeId) return &s;
    }
    return nullptr;
}
