// SetupPipelineArgs_t: what a pipeline to the media is set up for: the job
// and its application, the backup type, the number of streams and the size
// of their buffers. Copied member by member.
#pragma once

#include <cstdint>
#include <string>

struct SetupPipelineArgs_t {
    uint64_t jobId = 0;
    uint64_t appNumber = 0;
    uint64_t jxCellId = 0;
    std::string csHost;  // the central server's host
    int bkpType = 0;     // 'D', 'I', 'L' or the job's numeric type
    int streams = 1;
    unsigned long bufferKb = 0;
};
