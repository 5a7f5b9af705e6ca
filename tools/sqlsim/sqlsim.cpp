// sqlsim: creates simulated SQL Server instances under the platform root
// ($JX_PLATFORM_ROOT) from a description file ("-" reads standard input),
// and changes their databases. The description's format is documented in
// JxsqlDMO/SqlSimDescription.h.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "JxSQLVDIBase/VdiLogStaging.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "JxsqlDMO/SqlSimDescription.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/PlatformRoot.h"

namespace {

void Usage(FILE* out, const char* program) {
    std::fprintf(out,
                 "usage: %s DESCRIPTION-FILE|-\n"
                 "       %s change INSTANCE DATABASE [pages=N] [seed=S] [mark=NAME] [time=MS]\n"
                 "       %s stage INSTANCE DATABASE FOLDER\n"
                 "\n"
                 "The first form creates the instances a description names (\"-\" reads it from\n"
                 "standard input). The second writes N data pages (8 KB, default 1) of DATABASE in\n"
                 "place, with content following from seed S, and appends one log record per page to\n"
                 "its log file; mark=NAME marks the last record as a log mark, time=MS dates the\n"
                 "records (milliseconds since 1970, default now). It prints the last LSN written.\n"
                 "The third takes a log backup of DATABASE and stages it in FOLDER as\n"
                 "<name>_Log_Backup_<n>.bak with its metadata twin <name>_Log_Backup_<n>.xml, and\n"
                 "prints the dump's path.\n"
                 "Everything lives under the platform root, $JX_PLATFORM_ROOT.\n",
                 program, program, program);
}

bool ParseNumber(const std::string& text, unsigned long long& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 19) return false;
    errno = 0;
    value = std::strtoull(text.c_str(), nullptr, 10);
    return errno == 0;
}

int Change(int argc, char** argv) {
    if (argc < 4) {
        Usage(stderr, argv[0]);
        return 2;
    }
    SqlSimChangeRequest request;
    request.database = argv[3];
    for (int i = 4; i < argc; ++i) {
        std::string arg = argv[i];
        size_t eq = arg.find('=');
        std::string key = arg.substr(0, eq), value = eq == std::string::npos ? "" : arg.substr(eq + 1);
        unsigned long long number = 0;
        if (key == "mark" && eq != std::string::npos && !value.empty()) {
            request.mark = value;
        } else if ((key == "pages" || key == "seed" || key == "time") && ParseNumber(value, number)) {
            if (key == "pages") {
                if (number == 0 || number > SqlSimChanges::kMaxPagesPerChange) {
                    std::fprintf(stderr, "sqlsim: pages must be 1 to %u\n", SqlSimChanges::kMaxPagesPerChange);
                    Usage(stderr, argv[0]);
                    return 2;
                }
                request.pages = static_cast<uint32_t>(number);
            } else if (key == "seed") {
                request.seed = number;
            } else {
                request.timeMs = static_cast<int64_t>(number);
            }
        } else {
            std::fprintf(stderr, "sqlsim: unknown or malformed argument [%s]\n", arg.c_str());
            Usage(stderr, argv[0]);
            return 2;
        }
    }
    SqlSimInstance instance;
    CWzError err = instance.Open(argv[2]);
    uint64_t lsn = 0;
    if (err.IsSuccess()) err = SqlSimChanges(instance).Change(request, &lsn);
    if (err.IsError()) {
        std::fprintf(stderr, "sqlsim: %s\n", err.AsString().c_str());
        return 1;
    }
    std::printf("changed %u page(s) of %s on %s, last LSN %llu\n", request.pages, request.database.c_str(), argv[2],
                static_cast<unsigned long long>(lsn));
    return 0;
}

}  // namespace

int Stage(int argc, char** argv) {
    if (argc != 5) {
        Usage(stderr, argv[0]);
        return 2;
    }
    std::string dump;
    CWzError err = VdiStageLogBackup(argv[2], argv[3], argv[4], dump);
    if (err.IsError()) {
        std::fprintf(stderr, "%s: %s\n", argv[0], err.GetMessage().c_str());
        return 1;
    }
    std::printf("%s\n", dump.c_str());
    return 0;
}

int main(int argc, char** argv) {
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        Usage(stdout, argv[0]);
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "change") == 0) return Change(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "stage") == 0) return Stage(argc, argv);
    if (argc != 2) {
        Usage(stderr, argv[0]);
        return 2;
    }
    std::string source = argv[1];
    std::stringstream text;
    if (source == "-") {
        text << std::cin.rdbuf();
    } else {
        std::ifstream file(source);
        if (!file) {
            std::fprintf(stderr, "sqlsim: cannot read [%s]\n", source.c_str());
            return 1;
        }
        text << file.rdbuf();
    }
    std::vector<std::string> created;
    CWzError err = SqlSimApplyDescription(text.str(), &created);
    for (const std::string& name : created) {
        std::printf("created instance %s under %s\n", name.c_str(), wz::PlatformRoot().c_str());
    }
    if (err.IsError()) {
        std::fprintf(stderr, "sqlsim: %s\n", err.AsString().c_str());
        return 1;
    }
    return 0;
}
