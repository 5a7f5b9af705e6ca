// JobRegistration: a job's registration with the job manager. It owns the
// job-manager clients and the job-results object it hands out, and is deleted
// through this base by the job that holds it.
#pragma once

class JobRegistration {
public:
    virtual ~JobRegistration() = default;
};
