// jxsqlrestore: runs one restore job (see README.md for its options and
// exit status).
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "EvTaskApiNet/EvTask.h"
#include "JxCommandLineParser/RestoreOptionsParser.h"
#include "JxLib/EvDebug.h"
#include "JxSQLCommon/dump/CSQLDumpLiveSync.h"
#include "JxSQLCommon/dump/HighAvailLiveSync.h"
#include "tools/jobs/JobOutcome.h"
#include "tools/jobs/SqlRestoreProgramJob.h"

namespace {

// Exit status of a job that reported its end, by the status it reported.
int ExitCodeOf(int jobStatus) {
    switch (jobStatus) {
        case CSQLRestoreBase::kJobCompleted:
            return 0;
        case CSQLRestoreBase::kJobCompletedWithErrors:
            return 3;
        case CSQLRestoreBase::kJobFailed:
            return 4;
        case CSQLRestoreBase::kJobKilled:
            return 5;
        default:
            return 4;
    }
}

void Usage(std::FILE* out) {
    std::fprintf(out,
                 "usage: jxsqlrestore -j JOBID [-token TOKEN] -rt TASKID [-cn CLIENT] [-rbs]\n"
                 "                    [-dump | -livesync | -halivesync] [-revert]\n"
                 "Runs one restore job under the platform root that JX_PLATFORM_ROOT names.\n"
                 "-dump also restores the log dumps on the subclients' disk libraries.\n"
                 "-livesync keeps standby copies current: dump restores run again and again for\n"
                 "LiveSyncHoursToStayAlive hours, LiveSyncWaitDurationMinutes apart.\n"
                 "-halivesync is live sync that reads the dumps from loginfo.db in the dump folders.\n"
                 "-revert makes the job's task a revert: the databases go back to their snapshot first.\n"
                 "Exit status: 0 completed, 1 initialisation failed, 2 bad command line,\n"
                 "3 completed with some databases failed, 4 failed, 5 stopped by the job manager.\n");
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            Usage(stdout);
            return 0;
        }
    }
    EvDebug::SetProgramName("jxsqlrestore");
    // "-dump" and "-livesync" choose the job class; the option parser sees
    // the rest.
    bool dumpRestore = false;
    bool liveSync = false;
    bool highAvailLiveSync = false;  // live sync from loginfo.db
    bool revert = false;             // sets the task's revert option
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && std::strcmp(argv[i], "-dump") == 0) {
            dumpRestore = true;
        } else if (i > 0 && std::strcmp(argv[i], "-livesync") == 0) {
            liveSync = true;
        } else if (i > 0 && std::strcmp(argv[i], "-halivesync") == 0) {
            highAvailLiveSync = true;
        } else if (i > 0 && std::strcmp(argv[i], "-revert") == 0) {
            revert = true;
        } else {
            args.push_back(argv[i]);
        }
    }
    RestoreOptionsParser parser;
    if (CWzError err = parser.parse(static_cast<int>(args.size()), args.data()); err.IsError()) {
        std::fprintf(stderr, "jxsqlrestore: %s\n", err.GetMessage().c_str());
        Usage(stderr);
        return 2;
    }
    // The job manager always names the job and its task; without them the
    // job would run as job 0 on task 0.
    if (parser.getJobId() == 0 || parser.getRestoreTaskId() == 0) {
        std::fprintf(stderr, "jxsqlrestore: %s\n",
                     parser.getJobId() == 0 ? "a job id (-j, not 0) is needed" : "a restore task id (-rt, not 0) is needed");
        Usage(stderr);
        return 2;
    }
    if (int{dumpRestore} + int{liveSync} + int{highAvailLiveSync} > 1) {
        std::fprintf(stderr, "jxsqlrestore: -dump, -livesync and -halivesync choose different jobs; give one\n");
        Usage(stderr);
        return 2;
    }
    // The revert option of the job's task (the scheduler's option 7).
    if (revert && !EvTask::setProperty(parser.getJobId(), "schedulerOption7", "1")) {
        std::fprintf(stderr, "jxsqlrestore: cannot set the revert option of job %llu\n",
                     static_cast<unsigned long long>(parser.getJobId()));
        return 1;
    }
    std::unique_ptr<CSQLRestoreBase> job;
    if (highAvailLiveSync) {
        job = std::make_unique<HighAvailLiveSync>();
    } else if (liveSync) {
        job = std::make_unique<CSQLDumpLiveSync>();
    } else if (dumpRestore) {
        job = std::make_unique<SqlDumpRestoreProgramJob>();  // writes the restore maps too
    } else {
        job = std::make_unique<SqlRestoreProgramJob>();  // writes the restore maps
    }
    (void)job->startRestore(parser);  // the outcome is the status the job reported
    const int status = job->getReportedJobStatus();
    job.reset();  // a dump restore or live sync drops its markers and mounts here
    // A job that did not complete says so, with its cause, as its last line.
    const std::string end = UnfinishedJobLine(parser.getJobId(), ReadJobOutcome(parser.getJobId()),
                                              "initialisation failed (see the job's log)");
    if (!end.empty()) std::fprintf(stderr, "jxsqlrestore: %s\n", end.c_str());
    return status == 0 ? 1 : ExitCodeOf(status);
}
