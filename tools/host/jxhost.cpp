// jxhost: runs the communication-service host until SIGTERM or SIGINT.
//
//   jxhost [--port N] [--port-file REL] [--target NAME]...
//
// Listens on 127.0.0.1:N (default 0: any free port), writes the port it got
// to REL under the platform root (default "host/port"), and records each
// --target NAME as served on that port in the targets file, so requesters
// can attach to NAME. Bindings come from "host/bindings.ini" under the root.
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

int Usage() {
    std::fprintf(stderr, "usage: jxhost [--port N] [--port-file REL] [--target NAME]...\n");
    return 2;
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
    std::vector<std::string> targets;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (i + 1 >= argc) return Usage();
        std::string value = argv[++i];
        if (arg == "--port") {
            char* end = nullptr;
            port = std::strtoul(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || port > 65535) return Usage();
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

    JxHost host;
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
