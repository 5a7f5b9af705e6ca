// jxsqlbackup: runs one phase of a backup job (see README.md for its
// options).
//
// Exit status: 0 when the job ran to its end and reported its status to the
// job manager (the journal holds the status), 1 when it could not start
// (before registration nothing is reported), 2 for a bad command line.
#include <cstdio>
#include <cstring>

#include "JxCommandLineParser/BackupOptionsParser.h"
#include "JxLib/EvDebug.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "tools/jobs/SnapshotBackupJob.h"

namespace {

const char* const kUsage =
    "usage: jxsqlbackup -j <job id> -token <id:phase:attempt> -cell <id> -a <application>\n"
    "                   (-D | -I | -L) [-type <flags>] [-skipconversion] [-restart <text>]\n"
    "                   [-cn <client>] [-ma <media agent>] [-rbs [-rbsstreams <n>]]\n"
    "  -D, -I, -L        full, differential or transaction-log phase\n"
    "  -type <flags>     requested type: 1 full, 2 log, 256 log without truncation, 4 differential\n"
    "  -skipconversion   do not apply the conversion rules\n"
    "  -restart <text>   the job manager's restart string, e.g. \"-o 4096|1\"\n"
    "       jxsqlbackup -a <cell>:<application> -j <job id> -jt <token> -scid <client> -integcheck\n"
    "  -integcheck       check a snapshot job's copy for the source job that started this program\n"
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
    BackupOptionsParser parser;
    if (CWzError err = parser.parse(argc, argv); err.IsError()) {
        std::fprintf(stderr, "jxsqlbackup: %s\n%s", err.GetMessage().c_str(), kUsage);
        return 2;
    }
    if (!parser.isDOption() && !parser.isIOption() && !parser.isLOption()) {
        std::fprintf(stderr, "jxsqlbackup: one of -D, -I or -L is needed\n%s", kUsage);
        return 2;
    }
    SnapshotBackupJob job;
    if (!job.startBackup(&parser, argc, argv)) {
        std::fprintf(stderr, "jxsqlbackup: the job could not start; see the job's log\n");
        return 1;
    }
    return 0;
}
