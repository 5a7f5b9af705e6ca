// RestorePipelineSetup: the streams of a restore pipeline, one per archive
// file of the backup, each with the archive file it reads.
#pragma once

#include <list>
#include <map>
#include <mutex>

#include "JxPipelineSetupUtility/PipelineInfo.h"
#include "JxPipelineSetupUtility/RestoreArchiveInfo.h"
#include "WzUtils/CWzError.h"

class RestorePipelineSetup {
public:
    RestorePipelineSetup() = default;
    RestorePipelineSetup(const RestorePipelineSetup& other);
    RestorePipelineSetup& operator=(const RestorePipelineSetup& other);

    // One stream per archive record, numbered from 1 in list order.
    CWzError Setup(const std::list<RestoreArchiveInfo>& archives);
    void Clear();

    // Stream number to its pipeline entry.
    std::map<int, PipelineInfo> getStreamPipeinfoMap() const;
    void setStreamBytes(int stream, uint64_t bytes);

private:
    mutable std::mutex m_mutex;
    std::map<int, PipelineInfo> m_streams;
};
