// agmaster: the master process of an availability-group backup for one
// child. Starts the backup program with "-alwayson" added to its arguments
// through the process runner, takes its connection back and answers the
// child's messages (see AgMasterStandIn.h).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "JxLib/JxProcess.h"
#include "JxSession/CJxNetwork.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"
#include "tools/agmaster/AgMasterStandIn.h"

namespace {

const char* const kUsage =
    "usage: agmaster [--silent | --refuse] [--databases NAME,NAME...] [--streams N]\n"
    "                [--server NAME] [--instance-id N] [--journal PATH] -- PROGRAM [ARGS...]\n"
    "Starts PROGRAM ARGS -alwayson through the process runner as the child of an\n"
    "availability-group backup (it connects back to the call-back address it is given)\n"
    "and answers it: the databases and stream count for its collect-file and\n"
    "stream-count requests, the server to use. --silent records and never answers;\n"
    "--refuse answers every request with a failure. Every message is recorded as one\n"
    "JSON line in the journal (default <platform root>/agmaster/journal.jsonl).\n"
    "Prints the journal lines when the child hangs up. Exit status: 0, 2 for a bad\n"
    "command line, 1 when the child never connected.\n";

bool Number(const char* text, long long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text, &end, 10);
    return errno == 0 && end != text && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
    AgMasterOptions options;
    options.journalPath = wz::PlatformFilePath("agmaster/journal.jsonl");
    int i = 1;
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        long long n = 0;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--") {
            ++i;
            break;
        } else if (arg == "--silent") {
            options.mode = AgMasterOptions::Mode::Silent;
        } else if (arg == "--refuse") {
            options.mode = AgMasterOptions::Mode::Refuse;
        } else if (arg == "--databases" && i + 1 < argc) {
            std::string list = argv[++i];
            for (size_t start = 0; start <= list.size();) {
                size_t end = list.find(',', start);
                if (end == std::string::npos) end = list.size();
                if (end > start) options.databases.push_back(list.substr(start, end - start));
                start = end + 1;
            }
        } else if (arg == "--streams" && i + 1 < argc && Number(argv[i + 1], n) && n >= 0 && n <= 64) {
            options.streams = n;
            ++i;
        } else if (arg == "--instance-id" && i + 1 < argc && Number(argv[i + 1], n) && n >= 0) {
            options.instanceId = n;
            ++i;
        } else if (arg == "--server" && i + 1 < argc) {
            options.server = argv[++i];
        } else if (arg == "--journal" && i + 1 < argc) {
            options.journalPath = argv[++i];
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (i >= argc) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const size_t slash = options.journalPath.rfind('/');
    if (slash != std::string::npos && slash > 0) (void)wz::MakeDirectoryTree(options.journalPath.substr(0, slash));
    AgMasterStandIn master(options);
    // The child is started through the process runner and connects back.
    uint16_t port = 0;
    std::string key;
    if (!master.Listen(port, key)) {
        std::fprintf(stderr, "agmaster: cannot listen on loopback: %s\n", std::strerror(errno));
        return 1;
    }
    std::string command;
    for (int k = i; k < argc; ++k) command += std::string(argv[k]) + " ";
    command += "-alwayson -jxscallerport " + std::to_string(port) + " -jxscallerkey " + key;
    std::string error;
    if (JxProcess::StartProcess("", command, error, 0) != 1) {
        std::fprintf(stderr, "agmaster: cannot start the child: %s\n", error.c_str());
        return 1;
    }
    std::unique_ptr<CJxNetwork> child = master.AcceptChild();
    if (child == nullptr) {
        std::fprintf(stderr, "agmaster: the child did not connect back.\n");
        return 1;
    }
    master.Serve(*child);
    for (const std::string& line : master.Journal()) std::printf("%s\n", line.c_str());
    return 0;
}
