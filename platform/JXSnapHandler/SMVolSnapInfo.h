// SMVolSnapInfo: the volumes of a snapshot backup with the job id and the
// snapshot job id they belong to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SMVolSnapInfo {
    std::vector<std::string> volumes;
    uint64_t jobId = 0;
    uint64_t snapJobId = 0;
};
