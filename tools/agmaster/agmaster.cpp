// agmaster: the master process of an availability-group backup for one
// child. Starts the backup program as its child through the process runner,
// with "-alwayson -masterport <port>" added to its arguments, and answers the
// child's messages (see AgMasterStandIn.h).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "JxLib/JxProcess.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"
#include "tools/agmaster/AgMasterStandIn.h"

namespace {

const char* const kUsage =
    "usage: agmaster [--silent | --refuse] [--databases NAME,NAME...] [--streams N]\n"
    "                [--server NAME] [--instance-id N] [--journal PATH] -- PROGRAM [ARGS...]\n"
    "Starts PROGRAM ARGS -alwayson -masterport <port> as the child of an availability-group\n"
    "backup and answers it: the databases and stream count for its collect-file and\n"
    "stream-count requests, the server to use. --silent records and never answers;\n"
    "--refuse answers every request with a failure. Every message is recorded as one\n"
    "JSON line in the journal (default <platform root>/agmaster/journal.jsonl).\n"
    "Exit status: the child's, or 2 for a bad command line, 1 when the child never connected.\n";

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
    std::string command;
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
    for (; i < argc; ++i) command += (command.empty() ? "" : " ") + std::string(argv[i]);
    if (command.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const size_t slash = options.journalPath.rfind('/');
    if (slash != std::string::npos && slash > 0) (void)wz::MakeDirectoryTree(options.journalPath.substr(0, slash));
    AgMasterStandIn master(options);
    uint16_t port = 0;
    if (!master.Listen(port)) {
        std::fprintf(stderr, "agmaster: cannot listen on loopback: %s\n", std::strerror(errno));
        return 1;
    }
    command += " -alwayson -masterport " + std::to_string(port);
    int status = -1;
    std::string output, error;
    std::thread child([&] { status = JxProcess::system(command, output, error, options.timeoutSeconds); });
    const bool served = master.Serve();
    child.join();
    std::fputs(output.c_str(), stdout);
    std::fputs(error.c_str(), stderr);
    if (!served) return 1;
    return status < 0 ? 1 : status;
}
