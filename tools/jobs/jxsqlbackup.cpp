// jxsqlbackup: runs one phase of a backup job (see README.md for its
// options).
//
// Exit status: 0 when the job ran to its end and reported its status to the
// job manager (the journal holds the status), 1 when it could not start
// (before registration nothing is reported), 2 for a bad command line.
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "JxCommandLineParser/BackupOptionsParser.h"
#include "JxLib/EvDebug.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/dump/CSQLDump.h"
#include "tools/jobs/JobOutcome.h"
#include "tools/jobs/SnapshotBackupJob.h"
#include "tools/jobs/MultiThreadedBackupJob.h"

namespace {

const char* const kUsage =
    "usage: jxsqlbackup -j <job id> -token <id:phase:attempt> -cell <id> -a <application>\n"
    "                   (-D | -I | -L) [-type <flags>] [-skipconversion] [-restart <text>]\n"
    "                   [-cn <client>] [-ma <media agent>] [-rbs [-rbsstreams <n>]]\n"
    "                   [-alwayson -jxscallerport <port> -jxscallerkey <key>]\n"
    "       jxsqlbackup -mt -j <job id> -token <id:phase:attempt> -cell <id> -a <application> -D\n"
    "  -D, -I, -L        full, differential or transaction-log phase\n"
    "  -type <flags>     requested type: 1 full, 2 log, 256 log without truncation, 4 differential\n"
    "  -skipconversion   do not apply the conversion rules\n"
    "  -restart <text>   the job manager's restart string, e.g. \"-o 4096|1\"\n"
    "       jxsqlbackup -logdump -j <job id> -token <id:phase:attempt> -cell <id> -a <application> -L\n"
    "  -logdump          log backup taken as transaction-log dumps by the dump library\n"
    "                    (libJxSQLPmnOSC.so in the base directory) onto the disk library\n"
    "       jxsqlbackup -a <cell>:<application> -j <job id> -jt <token> -scid <client> -integcheck\n"
    "  -integcheck       check a snapshot job's copy for the source job that started this program\n"
    "  -mt               multi-threaded full backup: the subclient's databases in size-balanced\n"
    "                    collect files, each backed up by a worker of its own (settings\n"
    "                    BlbThreadCount, BlbDbsPerCollect, BlbMinCollectFiles, BlbThreadTimeout)\n"
    "  -alwayson         availability-group child: connects back to the master that started it\n"
    "Runs under the platform root named by JX_PLATFORM_ROOT; see tools/jobs/README.md.\n";

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    EvDebug::SetProgramName("jxsqlbackup");
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-integcheck") == 0) {
            // Started on the integrity proxy by a snapshot job: exit 0 when
            // the check passed, 1 otherwise (the source has its answer).
            SnapshotBackupJob check;
            return check.performIntegrityCheck(argc, argv) ? 0 : 1;
        }
    }
    // -mt and -logdump select the job; the option parser does not know them.
    bool multiThreaded = false;
    bool logDump = false;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && std::strcmp(argv[i], "-mt") == 0) {
            multiThreaded = true;
        } else if (i > 0 && std::strcmp(argv[i], "-logdump") == 0) {
            logDump = true;
        } else {
            args.push_back(argv[i]);
        }
    }
    argc = static_cast<int>(args.size());
    argv = args.data();
    BackupOptionsParser parser;
    if (CWzError err = parser.parse(argc, argv); err.IsError()) {
        std::fprintf(stderr, "jxsqlbackup: %s\n%s", err.GetMessage().c_str(), kUsage);
        return 2;
    }
    if (!parser.isDOption() && !parser.isIOption() && !parser.isLOption()) {
        std::fprintf(stderr, "jxsqlbackup: one of -D, -I or -L is needed\n%s", kUsage);
        return 2;
    }
    if (int{parser.isDOption()} + int{parser.isIOption()} + int{parser.isLOption()} > 1) {
        std::fprintf(stderr, "jxsqlbackup: -D, -I and -L are different phases; give one\n%s", kUsage);
        return 2;
    }
    if (multiThreaded && !parser.isDOption()) {
        std::fprintf(stderr, "jxsqlbackup: -mt runs full backups only (-D)\n%s", kUsage);
        return 2;
    }
    if (logDump && (multiThreaded || !parser.isLOption())) {
        std::fprintf(stderr, "jxsqlbackup: -logdump runs log backups only (-L)\n%s", kUsage);
        return 2;
    }
    bool started = false;
    if (logDump) {
        CSQLDump job;
        started = job.startBackup(&parser, argc, argv);
    } else if (multiThreaded) {
        auto job = std::make_unique<MultiThreadedBackupJob>();
        started = job->startBackup(&parser, argc, argv);
        // A worker that outlived the job's wait still uses the job object:
        // it is left to the end of the process instead of being freed.
        if (job->WorkersOutstanding()) (void)job.release();
    } else {
        SnapshotBackupJob job;
        started = job.startBackup(&parser, argc, argv);
    }
    // A job that did not complete says so, with its cause, as its last line.
    const std::string end = UnfinishedJobLine(parser.getJobId(), ReadJobOutcome(parser.getJobId()),
                                              "could not start (see the job's log)");
    if (!end.empty()) std::fprintf(stderr, "jxsqlbackup: %s\n", end.c_str());
    return started ? 0 : 1;
}
