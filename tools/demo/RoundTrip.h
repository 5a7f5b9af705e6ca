// RoundTrip: the system's main job on the embedded defaults, a backup and
// restore round trip through the job programs as the job manager starts
// them.
//
// Under the current platform root it makes a simulated instance with one
// user database in the FULL recovery model (two file groups, three or more
// data files and a log), the backup domain's model of it (instance 7, subclient
// 1234 of backup domain 2), the settings that lead the jobs to the central
// server's stand-in, and an in-process host serving that stand-in and the
// plug-in on loopback. Then each step is one job program run, and what
// the job manager saw of it is read back from its journal.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "WzUtils/CWzError.h"
#include "tools/demo/JobLauncher.h"
#include "tools/demo/JobSummary.h"

class JxHost;

struct RoundTripPrograms {
    std::string backup;        // jxsqlbackup
    std::string restore;       // jxsqlrestore
    std::string serveLibrary;  // the central server's stand-in
    std::string plugin;        // the system library
};

class RoundTrip {
public:
    static constexpr const char* kClient = "DEMOHOST";
    static constexpr const char* kInstance = "DEMOHOST/PROD";
    static constexpr uint64_t kInstanceId = 7;
    static constexpr uint64_t kSubclient = 1234;
    static constexpr const char* kDatabase = "Shop";

    // `dataBytes`: the size of the database's data files together (three
    // files, more when a file would pass the simulated instance's limit).
    RoundTrip(RoundTripPrograms programs, uint64_t dataBytes);
    ~RoundTrip();
    RoundTrip(const RoundTrip&) = delete;
    RoundTrip& operator=(const RoundTrip&) = delete;

    // The instance, the model, the settings and the host.
    CWzError SetUp();

    // The command line of a backup phase ('D', 'I', 'L') of job `jobId`.
    std::vector<std::string> BackupArguments(uint64_t jobId, char phase) const;
    // Runs the phase; the job's summary is kept.
    JobSummary Backup(uint64_t jobId, char phase);
    // Sets the number of data streams of the subclient's backups.
    bool SetDataStreams(int streams);
    // Writes `pages` pages of the database; `timeMs` as SqlSimChangeRequest.
    CWzError Change(uint32_t pages, uint64_t seed, int64_t timeMs = 0);

    // Restores the database under `newName` with every file moved to
    // `folder`, as restore task `taskId`; `pointInTime` (seconds, 0 for the
    // latest), STANDBY with its undo file when `standby`, replacing a
    // database of that name when `overwrite`.
    JobSummary Restore(uint64_t jobId, uint64_t taskId, const std::string& newName, const std::string& folder,
                       uint64_t pointInTime, bool standby, bool overwrite = false);

    // The bytes of each of a database's data files, by file id; empty when
    // it has none. (A log file is not compared: a restore writes its own.)
    std::vector<std::string> Contents(const std::string& database) const;
    // Its state text ("ONLINE", "STANDBY", ...), empty when unknown.
    std::string State(const std::string& database) const;

    // The whole demonstration: backups with changes between them, the two
    // restores, the comparisons and the printed summary. Returns 0 when
    // every job completed and both comparisons held.
    int RunDemo(FILE* out);

    const std::vector<JobSummary>& Jobs() const { return m_jobs; }
    // How the last job program run ended (its time and peak memory).
    const JobProgramRun& LastRun() const { return m_lastRun; }

private:
    RoundTripPrograms m_programs;
    uint64_t m_dataBytes;
    std::unique_ptr<JxHost> m_host;
    std::vector<JobSummary> m_jobs;
    JobProgramRun m_lastRun;
};
