// bench_mtbackup: a multi-threaded full backup job over equal databases,
// one per collect file, with 1 worker and with N workers. Under a scratch
// platform root, with the central server's stand-in served by an in-process
// host; the databases are read once before timing, so the page cache is warm.
// Minimum and median of --runs runs (default 3); each run starts on an empty
// disk library.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JxCommandLineParser/BackupOptionsParser.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxLib/JxProcess.h"
#include "JxLib/MangleHostName.h"
#include "JxSession/jxsTargets.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/PlatformRoot.h"
#include "tools/bench/BenchRoot.h"
#include "tools/bench/BenchStats.h"
#include "tools/host/HostBindings.h"
#include "tools/host/JxHost.h"
#include "tools/jobs/MultiThreadedBackupJob.h"

namespace {

bool SetUpRoot(JxHost& host) {
    if (host.Start(0).IsError()) return false;
    JXPlatformInfo settings;
    settings.setString("Base", "sJxServerHostName", "cs1");
    settings.setString("Base", "sJxServerClientName", "cs1client");
    if (!jxsRegisterTarget(MangleHostName("cs1", "cs1client", 8400, 8402), host.Port())) return false;
    if (!SetHostBinding("sLNSQLServer61", "sLPSQLMSG", {JX_SERVE_LIBRARY, "jxServeMessageHandler"})) return false;
    const std::string systemctl = wz::PlatformPath("bin/systemctl");
    std::filesystem::create_directories(wz::PlatformPath("bin"));
    FILE* f = std::fopen(systemctl.c_str(), "w");
    if (f == nullptr) return false;
    std::fputs("#!/bin/sh\necho 'Active: active (running)'\n", f);
    std::fclose(f);
    ::chmod(systemctl.c_str(), 0755);
    return JxProcess::SetProgramPath("systemctl", systemctl);
}

// Runs one multi-threaded job with `threads` workers; its seconds, or a
// negative value when it did not end successfully.
double RunJob(uint64_t jobId, int threads) {
    JXPlatformInfo().setNumber("MSSQLAgent", "BlbThreadCount", threads);
    std::vector<std::string> words = {"bench", "-j", std::to_string(jobId), "-token", std::to_string(jobId) + ":1:1",
                                      "-cell", "2", "-a", "1", "-D"};
    std::vector<char*> args;
    for (std::string& w : words) args.push_back(w.data());
    BackupOptionsParser parser;
    if (parser.parse(static_cast<int>(args.size()), args.data()).IsError()) return -1;
    const auto start = std::chrono::steady_clock::now();
    MultiThreadedBackupJob job;
    if (!job.startBackup(&parser, static_cast<int>(args.size()), args.data())) return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int Usage(FILE* out) {
    std::fprintf(out,
                 "usage: bench_mtbackup [--runs N] [--databases M] [--size-mb N] [--threads T] [--dir SCRATCH-DIR]\n"
                 "Times a multi-threaded full job of M equal databases of N MB (defaults 8 and 256), one\n"
                 "per collect file, with 1 worker and with T workers (default 4), and prints the minimum\n"
                 "and median of N runs (default 3). SCRATCH-DIR defaults to a new folder under /var/tmp,\n"
                 "removed afterwards.\n");
    return out == stdout ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 3, databases = 8, threads = 4;
    uint64_t sizeMb = 256;
    std::string dir;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") return Usage(stdout);
        if (a == "--runs" && i + 1 < argc) {
            runs = std::atoi(argv[++i]);
        } else if (a == "--databases" && i + 1 < argc) {
            databases = std::atoi(argv[++i]);
        } else if (a == "--size-mb" && i + 1 < argc) {
            sizeMb = std::strtoull(argv[++i], nullptr, 10);
        } else if (a == "--threads" && i + 1 < argc) {
            threads = std::atoi(argv[++i]);
        } else if (a == "--dir" && i + 1 < argc) {
            dir = argv[++i];
        } else {
            return Usage(stderr);
        }
    }
    if (runs < 1 || runs > 100 || databases < 1 || databases > 10 || threads < 1 || threads > 100 || sizeMb == 0 ||
        sizeMb * 1024 * 1024 > SqlSimInstance::kMaxFileSize) {
        return Usage(stderr);
    }
    const bool removeDir = dir.empty();
    if (dir.empty()) {
        char pattern[] = "/var/tmp/bench_mtbackup.XXXXXX";
        if (::mkdtemp(pattern) == nullptr) return std::perror("mkdtemp"), 1;
        dir = pattern;
    }
    wz::SetPlatformRoot(dir + "/root");
    JxHost host;
    if (!SetUpRoot(host)) return std::fprintf(stderr, "bench_mtbackup: platform set-up failed\n"), 1;

    SqlSimInstance instance;
    SqlSimServerSpec server;
    server.name = "BENCH/MT";
    if (instance.Create(server).IsError()) return 1;
    AppModel::Set("subclient/1", "instanceId", "7");
    AppModel::Set("subclient/1", "dataBkpStreams", "1");
    AppModel::Set("instance/7", "name", server.name);
    AppModel::Set("instance/7", "serverType", "DataBase Engine");
    AppModel::Set("instance/7", "sqlVersion", "15.0.4153.1");
    for (int i = 0; i < databases; ++i) {
        SqlSimDatabaseSpec db;
        db.name = "db" + std::to_string(i);
        db.dataSize = sizeMb * 1024 * 1024;
        if (instance.AddDatabase(db).IsError()) return 1;
        AppModel::Set("subclient/1", "property118_" + std::to_string(i + 1), db.name);
    }
    JXPlatformInfo().setNumber("MSSQLAgent", "BlbDbsPerCollect", 1);
    JXPlatformInfo().setNumber("MSSQLAgent", "BlbMinCollectFiles", 1);
    // Warm the page cache with the data files.
    std::string paths;
    for (const auto& entry : std::filesystem::directory_iterator(instance.Location().DataDirectory())) {
        paths += " '" + entry.path().string() + "'";
    }
    if (std::system(("cat" + paths + " > /dev/null").c_str()) != 0) return 1;

    bench::Figure oneWorker{"full job, 1 worker", "s", {}};
    bench::Figure manyWorkers{"full job, " + std::to_string(threads) + " workers", "s", {}};
    bench::Figure speedUp{std::to_string(threads) + " workers over 1 worker", "ratio", {}};
    uint64_t job = 0;
    for (int run = 0; run < runs; ++run) {
        bench::DropArchiveFiles();
        const double one = RunJob(++job, 1);
        bench::DropArchiveFiles();
        const double many = RunJob(++job, threads);
        if (one < 0 || many < 0) return std::fprintf(stderr, "bench_mtbackup: a job did not run\n"), 1;
        oneWorker.runs.push_back(one);
        manyWorkers.runs.push_back(many);
        speedUp.runs.push_back(one / many);
    }
    bench::DropArchiveFiles();
    const std::string title = "bench_mtbackup: " + std::to_string(databases) + " databases of " +
                              std::to_string(sizeMb) + " MB, one per collect file, " + std::to_string(runs) +
                              " run(s)";
    bench::Print(title.c_str(), {oneWorker, manyWorkers, speedUp});
    host.Stop();
    if (removeDir) std::filesystem::remove_all(dir);
    return 0;
}
