// EvBkpTask: the task of a backup job.
#pragma once

#include "EvTaskApiNet/EvTask.h"

class EvBkpTask : public EvTask {
public:
    explicit EvBkpTask(uint64_t jobId, int /*flags*/ = 0, void* /*session*/ = nullptr) : EvTask(jobId) {}
};
