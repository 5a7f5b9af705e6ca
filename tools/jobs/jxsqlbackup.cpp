// jxsqlbackup: starts a backup job (see README.md for its options).
//
// Exit status: 0 when the job is initialised, 1 when initialisation failed
// (the job manager's journal says why once the job is registered), 2 for a
// bad command line.
#include <cstdio>

#include "JxCommandLineParser/BackupOptionsParser.h"
#include "JxLib/EvDebug.h"
#include "JxSQLCommon/jobbase/CSQLCommon.h"

int main(int argc, char** argv) {
    EvDebug::SetProgramName("jxsqlbackup");
    BackupOptionsParser parser;
    if (CWzError err = parser.parse(argc, argv); err.IsError()) {
        std::fprintf(stderr, "jxsqlbackup: %s\n", err.GetMessage().c_str());
        return 2;
    }
    CSQLCommon job;
    bool registered = false;
    if (!job.initializeBackup(parser, registered)) {
        std::fprintf(stderr, "jxsqlbackup: job initialisation failed%s\n",
                     registered ? "; the job manager was told why" : " before registration");
        return 1;
    }
    return 0;
}
