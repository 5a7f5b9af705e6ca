// EvRstTask: the task of a restore job.
#pragma once

#include <string>

#include "EvTaskApiNet/EvTask.h"

class EvRstTask : public EvTask {
public:
    explicit EvRstTask(uint64_t jobId, int /*flags*/ = 0, void* /*session*/ = nullptr, bool /*xml*/ = false)
        : EvTask(jobId) {}

    // The task's instance (property "instanceId"); 0 when it names none or a
    // bad number.
    int getInstanceId(uint64_t& id) const;
    // The task's XML options (property "xmlOptions") of restore task
    // `taskId` (this task's file holds them whatever the id).
    int getXMLOptions(uint64_t taskId, std::string& xml) const;
    // The destination client (property "destinationClientId") and the
    // application the task restores (property "appId").
    int getDestinationClientId(uint64_t& id) const;
    int getAppId(uint64_t& id) const;

private:
    int UnsignedProperty(const char* name, uint64_t& value) const;
};
