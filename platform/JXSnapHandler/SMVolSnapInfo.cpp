// SMVolSnapInfo::dump: the set as text for the job's log.
#include "JXSnapHandler/SMVolSnapInfo.h"

#include <cinttypes>
#include <cstdio>

std::string SMVolSnapInfo::dump() const {
    char line[256];
    std::snprintf(line, sizeof line,
                  "SMVolSnapInfo: job [%" PRIu64 "] snap job [%" PRIu64 "] source client [%" PRIu64
                  "] cell [%u] action [%u] retrieve [%u] mode [%d] engine [%" PRIu64 "] snaps [%d]\n",
                  m_jobId, m_snapJobId, m_sourceClientId, m_jxCellId, m_actionFlags, m_retrieveValidFlags,
                  m_operationMode, m_snapEngineId, m_snapCount);
    std::string text = line;
    for (const SMVolumeInfo& v : m_volumes) {
        std::snprintf(line, sizeof line, "  volume: archive file [%u] group [%u] mount flag [%d] ", v.getArchFileId(),
                      v.getGroupId(), v.getMountPathFlag());
        text += line + std::string("source [") + v.getSourcePath() + "] mount [" + v.getMountPath() + "]\n";
    }
    return text;
}
