// EvRstTask: the task of a restore job.
#pragma once

#include "EvTaskApiNet/EvTask.h"

class EvRstTask : public EvTask {
public:
    explicit EvRstTask(uint64_t jobId, int /*flags*/ = 0, void* /*session*/ = nullptr, bool /*xml*/ = false)
        : EvTask(jobId) {}

    // The task's instance (property "instanceId"); 0 when it names none or a
    // bad number.
    int getInstanceId(uint64_t& id) const;
};
