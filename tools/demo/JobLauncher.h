// JobLauncher: starts a job program the way the job manager does (a process
// of its own under the same platform root) and collects how it ended: its
// exit status, its wall time and its peak resident memory.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct JobProgramRun {
    int exitStatus = -1;  // 0..255; -1 when it did not start or ended by a signal
    double seconds = 0;   // from start to end
    long peakRssKb = 0;   // its maximum resident set size
};

class JobLauncher {
public:
    JobLauncher() = default;
    ~JobLauncher();  // waits for a program still running
    JobLauncher(const JobLauncher&) = delete;
    JobLauncher& operator=(const JobLauncher&) = delete;

    // Starts `program` with `args`; the environment (and with it the
    // platform root) is this process's. False when it could not start.
    bool Start(const std::string& program, const std::vector<std::string>& args);
    bool Running() const { return m_pid > 0; }
    // Waits for the program to end.
    JobProgramRun Wait();

    // Start and Wait in one.
    static JobProgramRun Run(const std::string& program, const std::vector<std::string>& args);

private:
    pid_t m_pid = -1;
    double m_started = 0;
};
