// jxhost: runs the communication-service host until SIGTERM or SIGINT.
//
//   jxhost [--port N] [--port-file REL] [--target NAME]... [--max-sessions N]
//
// Listens on 127.0.0.1:N (default 0: any free port), writes the port it got
// to REL under the platform root (default "host/port"), and records each
// --target NAME as served on that port in the targets file, so requesters
// can attach to NAME. Bindings come from "host/bindings.ini" under the root.
// At most --max-sessions attached sessions (default 256) are served at once;
// further attach requests are refused with an abort until sessions end.
// Connections that have not attached get 10 seconds for their attach request
// and do not count against that limit; of them the host keeps 256, closing
// the oldest to admit a newer one.
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "JxLib/EvDebug.h"
#include "JxSession/jxsTargets.h"
#include "WzUtils/PlatformRoot.h"
#include "tools/host/JxHost.h"

namespace {

constexpr const char* kUsage =
    "usage: jxhost [--port N] [--port-file REL] [--target NAME]... [--max-sessions N]\n"
    "  --port N          listen on 127.0.0.1:N (default 0: any free port)\n"
    "  --port-file REL   write the port to REL under the platform root (default host/port)\n"
    "  --target NAME     record NAME as served on this port (repeatable)\n"
    "  --max-sessions N  serve at most N attached sessions at once (default 256)\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

// A decimal number in [low, high].
bool ParseNumber(const std::string& text, unsigned long low, unsigned long high, unsigned long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtoul(text.c_str(), &end, 10);
    return !text.empty() && text[0] != '-' && *end == '\0' && errno == 0 && value >= low && value <= high;
}

// Writes the port through a temporary file, so a reader never sees half of it.
bool WritePortFile(const std::string& relative, uint16_t port) {
    std::string path = wz::PlatformFilePath(relative);
    std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << port << "\n";
        if (!out.flush()) return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    unsigned long port = 0;
    std::string portFile = "host/port";
    unsigned long maxSessions = JxHost::kDefaultMaxSessions;
    std::vector<std::string> targets;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (i + 1 >= argc) return Usage();
        std::string value = argv[++i];
        if (arg == "--port") {
            if (!ParseNumber(value, 0, 65535, port)) return Usage();
        } else if (arg == "--max-sessions") {
            if (!ParseNumber(value, 1, 1u << 20, maxSessions)) return Usage();
        } else if (arg == "--port-file") {
            if (value.empty() || value[0] == '/' || value.find("..") != std::string::npos) return Usage();
            portFile = value;
        } else if (arg == "--target") {
            targets.push_back(value);
        } else {
            return Usage();
        }
    }

    EvDebug::SetProgramName("jxhost");
    // Signals are taken synchronously by this thread; every other thread
    // inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    JxHost host(static_cast<uint32_t>(maxSessions));
    CWzError e = host.Start(static_cast<uint16_t>(port));
    if (e.IsError()) {
        std::fprintf(stderr, "jxhost: %s\n", e.GetMessage().c_str());
        return 1;
    }
    for (const std::string& target : targets) {
        if (!jxsRegisterTarget(target, host.Port())) {
            std::fprintf(stderr, "jxhost: cannot record target %s\n", target.c_str());
            return 1;
        }
    }
    if (!WritePortFile(portFile, host.Port())) {
        std::fprintf(stderr, "jxhost: cannot write %s\n", portFile.c_str());
        return 1;
    }
    std::printf("%u\n", static_cast<unsigned>(host.Port()));
    std::fflush(stdout);

    int signal = 0;
    while (sigwait(&stopSignals, &signal) != 0) {
    }
    host.Stop();
    return 0;
}
