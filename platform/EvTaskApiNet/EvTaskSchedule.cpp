// EvTask::createScheduleJob: the stand-in of the scheduler's "create a task
// and run it now" call. It starts no job; it records what it was asked in
// one file per new job under the platform root, "scheduler/jobs/<id>.ini":
//
//   [job]
//   subTaskType=2
//   taskOperationType=2
//   taskType=1
//   entityCount=1
//   entity0=<JxEntities_GenericEntity .../>     ; the messages' XML text
//   pattern=<TMMsg_Pattern .../>
//   jobOptions=<TMMsg_JobOption ...>...</TMMsg_JobOption>
//
// Job ids count up from 1; each id's file is created exclusively, so
// concurrent callers never share one.
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "EvTaskApiNet/EvTask.h"
#include "Messages/CNMessageBase.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"

namespace {

constexpr const char* kJobsFolder = "scheduler/jobs";
constexpr const char* kUnavailableFile = "scheduler/unavailable";
// Bounds the search for a free id; far beyond what a test or demo schedules.
constexpr long long kMaxJobs = 1000000;

// The message's XML text on one line; false when it cannot be written.
bool Line(const CNMessageBase& message, std::string& xml) {
    return message.serialize(xml) == kMsgOk && xml.find('\n') == std::string::npos;
}

// The failure of a record write as a result code (never 0) and its text.
int RecordFailure(std::string& errorText) {
    const int error = errno != 0 ? errno : EIO;
    errorText = std::string("Cannot record the job: ") + std::strerror(error);
    return error;
}

// Takes the lowest free job id by creating its file exclusively.
bool ReserveJobId(long long& jobId) {
    for (long long id = 1; id <= kMaxJobs; ++id) {
        const int fd = wz::Fs().Open(EvTask::ScheduledJobPath(id), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd >= 0) {
            (void)wz::Fs().Close(fd);  // nothing written yet; the record replaces it
            jobId = id;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    errno = ENOSPC;
    return false;
}

}  // namespace

std::string EvTask::ScheduledJobPath(long long jobId) {
    return wz::PlatformPath(std::string(kJobsFolder) + "/" + std::to_string(jobId) + ".ini");
}

int EvTask::createScheduleJob(int subTaskType, int taskOperationType, std::list<long long>& jobIds,
                              std::string& errorText, int /*jobCount*/, const std::vector<CNMessageBase>& entities,
                              const CNMessageBase& pattern, const CNMessageBase& jobOptions, int /*reserved1*/,
                              int /*reserved2*/, bool /*reserved3*/, int taskType, const std::string& /*reserved4*/,
                              const std::string& /*reserved5*/) {
    struct stat info {};
    if (wz::Fs().Stat(wz::PlatformPath(kUnavailableFile), &info) == 0) {
        errorText = "The scheduler cannot be reached";
        return EVTASK_ERR_UNAVAILABLE;
    }
    if (entities.empty()) {
        errorText = "No entity to schedule a job for";
        return EVTASK_ERR_BAD_VALUE;
    }
    std::string record = "[job]\nsubTaskType=" + std::to_string(subTaskType) +
                         "\ntaskOperationType=" + std::to_string(taskOperationType) +
                         "\ntaskType=" + std::to_string(taskType) +
                         "\nentityCount=" + std::to_string(entities.size()) + "\n";
    std::string xml;
    for (size_t i = 0; i < entities.size(); ++i) {
        if (!Line(entities[i], xml)) {
            errorText = "An entity cannot be written";
            return EVTASK_ERR_BAD_VALUE;
        }
        record += "entity" + std::to_string(i) + "=" + xml + "\n";
    }
    if (!Line(pattern, xml)) {
        errorText = "The pattern cannot be written";
        return EVTASK_ERR_BAD_VALUE;
    }
    record += "pattern=" + xml + "\n";
    if (!Line(jobOptions, xml)) {
        errorText = "The job options cannot be written";
        return EVTASK_ERR_BAD_VALUE;
    }
    record += "jobOptions=" + xml + "\n";

    long long jobId = 0;
    if (wz::MakeDirectoryTree(wz::PlatformPath(kJobsFolder)) != 0 || !ReserveJobId(jobId)) {
        return RecordFailure(errorText);
    }
    if (!wz::WriteFileAtomically(ScheduledJobPath(jobId), record)) {
        const int error = RecordFailure(errorText);
        (void)wz::Fs().Unlink(ScheduledJobPath(jobId));  // frees the id again
        return error;
    }
    jobIds.push_back(jobId);
    return 0;
}
