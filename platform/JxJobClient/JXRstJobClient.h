// JXRstJobClient: the job manager's restore client of one job.
#pragma once

class JXRstJobClient {
public:
    virtual ~JXRstJobClient() = default;
};
