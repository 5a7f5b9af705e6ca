// bench_backup: cost of whole backup jobs. Under a scratch platform root,
// with the central server's stand-in served by an in-process host, it times
// (1) cp of a large database's data files against a full backup job of that
// database, and (2) a full job of many small databases, per database,
// against round trips to the central server.
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
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSession/jxsTargets.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/PlatformRoot.h"
#include "tools/host/HostBindings.h"
#include "tools/host/JxHost.h"

namespace {

constexpr uint64_t kFileBytes = 256ull * 1024 * 1024;

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

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

// Subclient `subclient` of instance `instanceId` ("name") holding `databases`.
void Model(uint64_t subclient, uint64_t instanceId, const std::string& name, const std::vector<std::string>& databases) {
    const std::string sc = "subclient/" + std::to_string(subclient);
    const std::string in = "instance/" + std::to_string(instanceId);
    AppModel::Set(sc, "instanceId", std::to_string(instanceId));
    AppModel::Set(sc, "dataBkpStreams", "2");
    AppModel::Set(in, "name", name);
    AppModel::Set(in, "serverType", "DataBase Engine");
    AppModel::Set(in, "sqlVersion", "15.0.4153.1");
    int n = 0;
    for (const std::string& db : databases) AppModel::Set(sc, "property118_" + std::to_string(++n), db);
}

bool RunFullJob(uint64_t jobId, uint64_t subclient) {
    std::vector<std::string> words = {"bench", "-j", std::to_string(jobId), "-token", std::to_string(jobId) + ":1:1",
                                      "-cell", "2", "-a", std::to_string(subclient), "-D", "-type", "1"};
    std::vector<char*> args;
    for (std::string& w : words) args.push_back(w.data());
    BackupOptionsParser parser;
    if (parser.parse(static_cast<int>(args.size()), args.data()).IsError()) return false;
    CSQLBackup job;
    return job.startBackup(&parser, static_cast<int>(args.size()), args.data());
}

int Usage(FILE* out) {
    std::fprintf(out,
                 "usage: bench_backup [--size-mb N] [--databases M] [--dir SCRATCH-DIR]\n"
                 "Times cp of an N MB database's data files (default 1024, in 256 MB files) against a\n"
                 "full backup job of it, and a full job of M small databases (default 100) per\n"
                 "database against central-server round trips. SCRATCH-DIR defaults to a new folder\n"
                 "under /var/tmp, removed afterwards.\n");
    return out == stdout ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t sizeMb = 1024;
    int databases = 100;
    std::string dir;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") return Usage(stdout);
        if (a == "--size-mb" && i + 1 < argc) {
            sizeMb = std::strtoull(argv[++i], nullptr, 10);
        } else if (a == "--databases" && i + 1 < argc) {
            databases = std::atoi(argv[++i]);
        } else if (a == "--dir" && i + 1 < argc) {
            dir = argv[++i];
        } else {
            return Usage(stderr);
        }
    }
    if (sizeMb == 0) sizeMb = 256;
    if (databases < 1 || databases > 10000) return Usage(stderr);
    const bool removeDir = dir.empty();
    if (dir.empty()) {
        char pattern[] = "/var/tmp/bench_backup.XXXXXX";
        if (::mkdtemp(pattern) == nullptr) return std::perror("mkdtemp"), 1;
        dir = pattern;
    }
    wz::SetPlatformRoot(dir + "/root");
    JxHost host;
    if (!SetUpRoot(host)) return std::fprintf(stderr, "bench_backup: platform set-up failed\n"), 1;

    // (1) One large database.
    SqlSimInstance big;
    SqlSimServerSpec server;
    server.name = "BENCH/BIG";
    SqlSimDatabaseSpec db;
    db.name = "Big";
    db.dataSize = kFileBytes;
    int files = static_cast<int>((sizeMb * 1024 * 1024 + kFileBytes - 1) / kFileBytes);
    if (big.Create(server).IsError() || big.AddDatabase(db).IsError()) return 1;
    for (int i = 2; i <= files; ++i) {
        SqlSimFileSpec f;
        f.database = "Big";
        f.fileGroup = "PRIMARY";
        f.logicalName = "Big" + std::to_string(i);
        f.size = kFileBytes;
        if (big.AddFile(f).IsError()) return 1;
    }
    Model(1, 7, "BENCH/BIG", {"Big"});
    std::string paths;
    for (const auto& entry : std::filesystem::directory_iterator(big.Location().DataDirectory())) {
        if (entry.path().extension() != ".ldf") paths += " '" + entry.path().string() + "'";
    }
    const double mb = static_cast<double>(files) * static_cast<double>(kFileBytes) / (1024.0 * 1024.0);
    std::filesystem::create_directories(dir + "/cp");
    auto start = std::chrono::steady_clock::now();
    if (std::system(("cp" + paths + " '" + dir + "/cp'").c_str()) != 0) return 1;
    ::sync();
    const double cp = Seconds(start);
    std::filesystem::remove_all(dir + "/cp");
    ::sync();
    start = std::chrono::steady_clock::now();
    if (!RunFullJob(1, 1)) return std::fprintf(stderr, "bench_backup: the large job did not run\n"), 1;
    const double job = Seconds(start);
    std::printf("database of %.0f MB: cp with sync %.2f s, full backup job %.2f s (%.2f x cp)\n", mb, cp, job,
                cp / job);

    // (2) Many small databases.
    SqlSimInstance small;
    server.name = "BENCH/SMALL";
    if (small.Create(server).IsError()) return 1;
    std::vector<std::string> names;
    for (int i = 0; i < databases; ++i) {
        SqlSimDatabaseSpec s;
        s.name = "db" + std::to_string(i);
        if (small.AddDatabase(s).IsError()) return 1;
        names.push_back(s.name);
    }
    Model(2, 8, "BENCH/SMALL", names);
    start = std::chrono::steady_clock::now();
    if (!RunFullJob(2, 2)) return std::fprintf(stderr, "bench_backup: the small job did not run\n"), 1;
    const double perDatabase = Seconds(start) / databases;
    start = std::chrono::steady_clock::now();
    constexpr int kTrips = 20;
    for (int i = 0; i < kTrips; ++i) {
        CSQLClientDll requester;
        std::string xml;
        (void)requester.getSqlJobInfo(2, 2, xml);  // any answer is a round trip
    }
    const double trips = Seconds(start);
    std::printf("job of %d small databases: %.1f ms per database; %d central-server round trips %.1f ms (%.2f x)\n",
                databases, perDatabase * 1000, kTrips, trips * 1000, perDatabase / trips);
    host.Stop();
    if (removeDir) std::filesystem::remove_all(dir);
    return 0;
}
