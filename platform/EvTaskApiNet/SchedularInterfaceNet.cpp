// Scheduler options of a job's task, from its task file.
#include "EvTaskApiNet/SchedularInterfaceNet.h"

#include <string>

#include "EvTaskApiNet/EvTask.h"

int SchedularInterfaceNet::GetTaskOptionBoolean(uint64_t jobId, int option, bool& value, int) {
    const int rc = EvTask(jobId).getPropertyBool("schedulerOption" + std::to_string(option), value);
    if (rc == EVTASK_ERR_NOT_FOUND) {
        value = false;
        return 0;
    }
    return rc;
}
