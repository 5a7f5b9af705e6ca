// BackupPipelineSetup: the streams of a backup pipeline, each with the
// archive file it writes, and what the pipeline was set up for. Copied
// member by member.
#pragma once

#include <map>

#include "JxPipelineSetupUtility/PipelineInfo.h"
#include "JxPipelineSetupUtility/SetupPipelineArgs.h"

class BackupPipelineSetup {
public:
    BackupPipelineSetup() = default;
    explicit BackupPipelineSetup(const SetupPipelineArgs_t& args) : m_args(args) {}

    const SetupPipelineArgs_t& getSetupArgs() const { return m_args; }
    // Stream number to its pipeline entry.
    const std::map<int, PipelineInfo>& getStreamPipeinfoMap() const { return m_streams; }
    void setStreamPipeinfo(int stream, const PipelineInfo& info) { m_streams[stream] = info; }

private:
    SetupPipelineArgs_t m_args;
    std::map<int, PipelineInfo> m_streams;
};
