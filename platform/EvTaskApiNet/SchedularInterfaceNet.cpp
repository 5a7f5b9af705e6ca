// Scheduler options of a job's task, from its task file.
#include "EvTaskApiNet/SchedularInterfaceNet.h"

#include <string>

#include "EvTaskApiNet/EvTask.h"

namespace {

// Reads the [task] section through the task's own property reader.
class SchedulerTask : public EvTask {
public:
    using EvTask::EvTask;
    using EvTask::Property;
};

}  // namespace

int SchedularInterfaceNet::GetTaskOptionBoolean(uint64_t jobId, int option, bool& value, int) {
    auto text = SchedulerTask(jobId).Property("schedulerOption" + std::to_string(option));
    if (!text) {
        value = false;
        return 0;
    }
    if (*text == "1" || *text == "true") {
        value = true;
    } else if (*text == "0" || *text == "false") {
        value = false;
    } else {
        return EVTASK_ERR_BAD_VALUE;
    }
    return 0;
}
