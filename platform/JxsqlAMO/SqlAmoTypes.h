// Value records the Analysis Services layer fills for its callers.
#pragma once

#include <string>

// One Analysis Services instance: its name ("HOST" or "HOST/INSTANCE"),
// version and service state ("running"/"stopped").
struct AnalysisServerInfo_t2 {
    std::string name;
    std::string version;
    std::string state;
};

// One remote partition of a database: the cube and measure group it belongs
// to, its name, and the server that holds its data.
struct AnalysisRemotePartitionInfo {
    std::string cube;
    std::string measureGroup;
    std::string partition;
    std::string remoteServer;
};
