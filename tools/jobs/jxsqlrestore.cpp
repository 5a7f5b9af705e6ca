// jxsqlrestore: starts a restore job (see README.md for its options).
//
// Exit status: 0 when the job is initialised, 1 when initialisation failed,
// 2 for a bad command line.
#include <cstdio>

#include "JxCommandLineParser/RestoreOptionsParser.h"
#include "JxLib/EvDebug.h"
#include "JxSQLCommon/jobbase/CSQLCommon.h"

int main(int argc, char** argv) {
    EvDebug::SetProgramName("jxsqlrestore");
    RestoreOptionsParser parser;
    if (CWzError err = parser.parse(argc, argv); err.IsError()) {
        std::fprintf(stderr, "jxsqlrestore: %s\n", err.GetMessage().c_str());
        return 2;
    }
    CSQLCommon job;
    if (!job.initializeRestore(parser)) {
        std::fprintf(stderr, "jxsqlrestore: job initialisation failed\n");
        return 1;
    }
    return 0;
}
