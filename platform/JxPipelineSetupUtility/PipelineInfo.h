// PipelineInfo: one stream of a pipeline to the media.
#pragma once

#include <cstdint>
#include <memory>

#include "JxPipelineSetupUtility/JXArchive.h"

struct PipelineInfo {
    uint32_t streamNumber = 0;
    uint64_t offset = 0;         // of the stream's piece in its archive file
    uint64_t bytes = 0;          // bytes moved so far
    std::shared_ptr<JXArchive> pArchive;  // null until the archive file is open
};
