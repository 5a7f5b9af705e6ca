// bench_revert: throughput of reverting a database's volume from its
// snapshot against `cp -r` of the same volume directory on the same disk.
//
//   bench_revert [--runs N] [--size-mb N]
//
// Makes a database of --size-mb (default 256, in two data files) on the
// volume of a scratch instance, snaps it, then each run times: cp -r of the
// volume directory (alone, and followed by sync), and the revert of the
// database from the snapshot (which syncs the files it puts in place).
// Ratios are cp's time over the revert's: 1.0 is as fast as cp, above is
// faster. Minimum and median of --runs runs (default 5).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JXSnapHandler/JXSnapClientAPI.h"
#include "JxSnapRestoreHandler/SnapCopyRestoreHandler.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "tools/bench/BenchRoot.h"
#include "tools/bench/BenchStats.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kServer = "bench/inst";
constexpr uint64_t kInstanceId = 1;
constexpr uint64_t kSnapJob = 1;

int Usage(FILE* out, int code) {
    std::fprintf(out, "usage: bench_revert [--runs N] [--size-mb N]\n");
    return code;
}

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// The database "Big" in two data files of half the size each; its volume
// (the instance's data directory) in `volume`.
bool MakeDatabase(uint64_t bytes, std::string& volume) {
    SqlSimInstance sim;
    SqlSimServerSpec server;
    server.name = kServer;
    SqlSimDatabaseSpec db;
    db.name = "Big";
    db.dataSize = bytes / 2;
    if (sim.Create(server).IsError() || sim.AddDatabase(db).IsError()) return false;
    SqlSimFileSpec second;
    second.database = "Big";
    second.fileGroup = "PRIMARY";
    second.logicalName = "Big2";
    second.size = bytes - bytes / 2;
    if (sim.AddFile(second).IsError()) return false;
    volume = sim.Location().DataDirectory();
    return AppModel::Set(AppModel::ObjectName("instance", kInstanceId), "name", kServer);
}

bool Snap(const std::string& metadataDirectory, std::string& error) {
    JXSnapClientAPI::SnapRequest request;
    request.jobId = kSnapJob;
    request.instance = kServer;
    request.databases = {"Big"};
    request.metadataDirectory = metadataDirectory;
    request.levelName = "Full";
    std::vector<std::string> volumes;
    return JXSnapClientAPI::snapDatabases(request, volumes, error);
}

bool Revert(double& seconds) {
    SqlRestoreTaskOptions_t options;
    options.destinationInstanceId = kInstanceId;
    SnapCopyRestoreHandler handler;
    const Clock::time_point start = Clock::now();
    const bool ok = handler.Initialize(2, kSnapJob, 99, options, "Big", "", "", true, {}) &&
                    handler.restoreSnapData("");
    seconds = Seconds(start);
    if (!ok) std::fprintf(stderr, "revert failed: %s\n", handler.getLastError().c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    uint64_t sizeMb = 256;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") return Usage(stdout, 0);
        if (i + 1 >= argc) return Usage(stderr, 2);
        const char* value = argv[++i];
        if (a == "--runs") {
            runs = std::atoi(value);
        } else if (a == "--size-mb") {
            sizeMb = std::strtoull(value, nullptr, 10);
        } else {
            return Usage(stderr, 2);
        }
    }
    if (runs < 1 || sizeMb == 0 || sizeMb > SqlSimInstance::kMaxFileSize / (1024 * 1024)) return Usage(stderr, 2);
    bench::BenchRoot root;
    if (!root.ok()) return std::fprintf(stderr, "bench_revert: no scratch folder\n"), 1;
    std::string volume;
    std::string error;
    if (!MakeDatabase(sizeMb * 1024 * 1024, volume)) {
        return std::fprintf(stderr, "bench_revert: cannot make the database\n"), 1;
    }
    if (!Snap(root.path(), error)) return std::fprintf(stderr, "bench_revert: cannot snap: %s\n", error.c_str()), 1;
    const double mb = static_cast<double>(sizeMb);

    bench::Figure cpRate{"cp -r of the volume", "MB/s", {}};
    bench::Figure revertRate{"revert of the database", "MB/s", {}};
    bench::Figure overCp{"revert (x cp -r)", "ratio", {}};
    bench::Figure overCpSync{"revert (x cp -r + sync)", "ratio", {}};
    const std::string cpDir = root.path() + "/cp";
    for (int run = 0; run < runs; ++run) {
        ::sync();
        Clock::time_point start = Clock::now();
        if (std::system(("cp -r '" + volume + "' '" + cpDir + "'").c_str()) != 0) return 1;
        const double cp = Seconds(start);
        ::sync();
        const double cpSync = Seconds(start);
        std::filesystem::remove_all(cpDir);
        ::sync();
        double revert = 0;
        if (!Revert(revert)) return 1;
        cpRate.runs.push_back(mb / cp);
        revertRate.runs.push_back(mb / revert);
        overCp.runs.push_back(cp / revert);
        overCpSync.runs.push_back(cpSync / revert);
    }
    const std::string title =
        "bench_revert: " + std::to_string(sizeMb) + " MB volume, " + std::to_string(runs) + " run(s)";
    bench::Print(title.c_str(), {cpRate, revertRate, overCp, overCpSync});
    return 0;
}
