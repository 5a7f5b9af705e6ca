// EvTask: the options of a job's task, read by numeric option id.
//
// A task is a file under the platform root, "tasks/<job id>.ini", that the
// test or the job program writes before the job runs:
//
//   [options]
//   914693182=1              ; one value per option id
//   439957546.0=first        ; a list option: ids suffixed .0, .1, ...
//   [task]
//   instanceId=12            ; properties of the task itself
//
// Every getter returns 0 when it wrote the value and leaves the target
// unchanged otherwise: EVTASK_ERR_NOT_FOUND for an absent option,
// EVTASK_ERR_BAD_VALUE for one whose text does not fit the asked type.
// The file is read afresh on every call.
#pragma once

#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <vector>

class CNMessageBase;

constexpr int EVTASK_ERR_NOT_FOUND = 2;
constexpr int EVTASK_ERR_BAD_VALUE = 13;
// createScheduleJob while the scheduler cannot be reached.
constexpr int EVTASK_ERR_UNAVAILABLE = 0x20;

class EvTask {
public:
    explicit EvTask(uint64_t jobId);
    virtual ~EvTask() = default;

    // "1"/"true" and "0"/"false".
    int getOptionBool(unsigned long id, bool& value, void* reserved = nullptr) const;
    // A property of the task itself (the [task] section), read the same way.
    int getPropertyBool(const std::string& name, bool& value) const;
    // Decimal numbers in the range of the target type.
    int getOptionInt(unsigned long id, int& value, void* reserved = nullptr) const;
    int getOptionLong(unsigned long id, long& value, void* reserved = nullptr) const;
    int getOptionULong(unsigned long id, unsigned long& value, void* reserved = nullptr) const;
    int getOptionString(unsigned long id, std::string& value, void* reserved = nullptr) const;
    // The entries <id>.0, <id>.1, ... up to the first gap, or the single
    // entry <id>; replaces the list's content.
    int getOptionString(unsigned long id, std::list<std::string>& values, void* reserved = nullptr) const;

    // Option 140030 (32-bit) and option 1700227181 (64-bit); 0 when absent.
    int getInitiatedFrom() const;
    uint64_t getOriginalJobId() const;

    uint64_t jobId() const { return m_jobId; }

    // Creates a task for `entities` (JxEntities::GenericEntity messages)
    // with the pattern and job options given, and starts its job at once:
    // 0 with the new job's id appended to `jobIds`, or an error code with
    // `errorText` set. The stand-in starts nothing; it records the job in
    // ScheduledJobPath(<new id>) (EvTaskSchedule.cpp says how). While the
    // file "scheduler/unavailable" exists under the platform root every call
    // fails with EVTASK_ERR_UNAVAILABLE. The arguments it does not record
    // are accepted and not used.
    static int createScheduleJob(int subTaskType, int taskOperationType, std::list<long long>& jobIds,
                                 std::string& errorText, int jobCount, const std::vector<CNMessageBase>& entities,
                                 const CNMessageBase& pattern, const CNMessageBase& jobOptions, int reserved1,
                                 int reserved2, bool reserved3, int taskType, const std::string& reserved4,
                                 const std::string& reserved5);
    static std::string ScheduledJobPath(long long jobId);

    // The task file of a job, and a writer for tests and job programs.
    static std::string FilePath(uint64_t jobId);
    static bool setOption(uint64_t jobId, unsigned long id, const std::string& value);
    static bool setProperty(uint64_t jobId, const std::string& name, const std::string& value);

protected:
    // A property of the [task] section.
    std::optional<std::string> Property(const std::string& name) const;

private:
    std::optional<std::string> Option(const std::string& key) const;

    uint64_t m_jobId;
};
