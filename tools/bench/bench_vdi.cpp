// bench_vdi: throughput of the virtual-device engine and the data pipeline
// against `cp` of the same files on the same disk.
//
//   bench_vdi [--runs N] [--size-mb N] [--transfer-kb K] [--buffers B] [--verbose]
//
// Makes a database of --size-mb (default 1024, in files of 256 MB) under a
// scratch platform root, then each run times: cp of its data files (alone
// and followed by sync), a full backup on 1 and on 4 streams (the transfer,
// and the transfer with its commit, which syncs the archive files), and a
// full restore under a new name from each (which syncs the restored files).
// The files of the previous restore are deleted before each restore, outside
// its time, so that it writes new files as cp does rather than also freeing
// an older copy.
// Ratios are cp's time over the operation's: 1.0 is as fast as cp, above is
// faster. Minimum and median of --runs runs (default 3). K (default 2048)
// and B (default 20) are the engine's maximum transfer size and buffer
// count, the restore jobs' defaults. --verbose prints each run's wall and
// CPU seconds (user + system) of every step, to see where time goes on a
// loaded machine.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <list>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include "JxSQLVDIBase/CJxSQLVDI.h"
#include "JxSqlDataReaderWriter/DataReaderWriter.h"
#include "JxSqlDataReaderWriter/SqlDataTransferHandler.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "tools/bench/BenchRoot.h"
#include "tools/bench/BenchStats.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kServer = "bench/inst";
constexpr uint64_t kFileBytes = 256ull * 1024 * 1024;

unsigned long g_transfer = 2 * 1024 * 1024;
unsigned long g_buffers = 20;

int Usage(FILE* out, int code) {
    std::fprintf(out, "usage: bench_vdi [--runs N] [--size-mb N] [--transfer-kb K] [--buffers B] [--verbose]\n");
    return code;
}

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// CPU seconds (user + system) of this process, or of its waited-for children.
double CpuSeconds(int who) {
    struct rusage u {};
    ::getrusage(who, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void Configure(CJxSQLVDIBase& e, int streams) {
    e.setVDIMaxTransferSize(g_transfer);
    e.setVDIBuffercount(g_buffers);
    e.setNumberOfStreams(streams);
    e.setVDITimeOut(300);
}

bool Backup(uint64_t job, int streams, std::list<RestoreArchiveInfo>& archives, double& transfer, double& commit) {
    SqlDataTransferHandler handler(true, job, 1, 2, "cs", 1, 0);
    CJxSQLVDI engine;
    Configure(engine, streams);
    engine.setBackupType('D');
    if (!engine.Initialize() || !engine.SetServerName(kServer, "Big")) return false;
    handler.setDbName("Big");
    handler.setVDIBase(&engine);
    handler.setStreams(streams);
    Clock::time_point start = Clock::now();
    bool ok = handler.startTransfer();
    ok = engine.Finalize(false) && ok;
    transfer = Seconds(start);
    if (!ok) {
        std::fprintf(stderr, "backup failed: %s %s\n", engine.getJXErrorString().c_str(),
                     handler.getLastErrorString().c_str());
        return false;
    }
    archives.clear();
    for (auto& [stream, w] : handler.getStreamWriterMap()) {
        RestoreArchiveInfo a;
        a.archiveFileId = w->getArchiveFileId().archiveFileId;
        a.offset = w->getArchiveFileOffset();
        archives.push_back(a);
    }
    start = Clock::now();
    ok = handler.closePipeline(1, false);
    commit = Seconds(start);
    return ok;
}

bool Restore(const std::list<RestoreArchiveInfo>& archives, const std::string& folder, int files, double& seconds) {
    SqlDataTransferHandler handler;
    CJxSQLVDI engine;
    engine.SetRestore();
    Configure(engine, static_cast<int>(archives.size()));
    engine.addFileToRename("Big", folder + "/big.mdf");
    engine.addFileToRename("Big_log", folder + "/big.ldf");
    for (int i = 2; i <= files; ++i) {
        engine.addFileToRename("Big" + std::to_string(i), folder + "/big" + std::to_string(i) + ".ndf");
    }
    engine.setReplace();
    if (!engine.SetServerName(kServer, "BigCopy")) return false;
    handler.setDbName("BigCopy");
    handler.setVDIBase(&engine);
    handler.setStreams(static_cast<int>(archives.size()));
    handler.setRestoreArchiveFileInfoList(archives);
    Clock::time_point start = Clock::now();
    bool ok = handler.startTransfer();
    ok = engine.Finalize(false) && ok;
    seconds = Seconds(start);
    if (!ok) std::fprintf(stderr, "restore failed: %s\n", engine.getJXErrorString().c_str());
    return ok;
}

bool MakeDatabase(int files, std::string& paths) {
    SqlSimInstance sim;
    SqlSimServerSpec server;
    server.name = kServer;
    SqlSimDatabaseSpec db;
    db.name = "Big";
    db.dataSize = kFileBytes;
    if (sim.Create(server).IsError() || sim.AddDatabase(db).IsError()) return false;
    for (int i = 2; i <= files; ++i) {
        SqlSimFileSpec f;
        f.database = "Big";
        f.fileGroup = "PRIMARY";
        f.logicalName = "Big" + std::to_string(i);
        f.size = kFileBytes;
        if (sim.AddFile(f).IsError()) return false;
    }
    for (const auto& entry : std::filesystem::directory_iterator(sim.Location().DataDirectory())) {
        if (entry.path().extension() != ".ldf") paths += " '" + entry.path().string() + "'";
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 3;
    uint64_t sizeMb = 1024;
    bool verbose = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") return Usage(stdout, 0);
        if (a == "--verbose") {
            verbose = true;
            continue;
        }
        if (i + 1 >= argc) return Usage(stderr, 2);
        const char* value = argv[++i];
        if (a == "--runs") {
            runs = std::atoi(value);
        } else if (a == "--size-mb") {
            sizeMb = std::strtoull(value, nullptr, 10);
        } else if (a == "--transfer-kb") {
            g_transfer = std::strtoul(value, nullptr, 10) * 1024;
        } else if (a == "--buffers") {
            g_buffers = std::strtoul(value, nullptr, 10);
        } else {
            return Usage(stderr, 2);
        }
    }
    if (runs < 1 || sizeMb == 0) return Usage(stderr, 2);
    bench::BenchRoot root;
    if (!root.ok()) return std::fprintf(stderr, "bench_vdi: no scratch folder\n"), 1;
    int files = static_cast<int>(std::min<uint64_t>(4, (sizeMb * 1024 * 1024 + kFileBytes - 1) / kFileBytes));
    double mb = static_cast<double>(files) * static_cast<double>(kFileBytes) / (1024.0 * 1024.0);
    std::string paths;
    if (!MakeDatabase(files, paths)) return std::fprintf(stderr, "bench_vdi: cannot make the database\n"), 1;

    bench::Figure cpRate{"cp of the data files", "MB/s", {}};
    bench::Figure backup1{"full backup, 1 stream (x cp)", "ratio", {}};
    bench::Figure backup4{"full backup, 4 streams (x cp)", "ratio", {}};
    bench::Figure backup1Sync{"full backup and commit, 1 stream (x cp + sync)", "ratio", {}};
    bench::Figure backup4Sync{"full backup and commit, 4 streams (x cp + sync)", "ratio", {}};
    bench::Figure fourOverOne{"4 streams over 1 stream, backup speed", "ratio", {}};
    bench::Figure restore1{"full restore, 1 stream (x cp + sync)", "ratio", {}};
    bench::Figure restore4{"full restore, 4 streams (x cp + sync)", "ratio", {}};
    const std::string cpDir = root.path() + "/cp";
    const std::string restored = root.path() + "/restored";
    for (int run = 0; run < runs; ++run) {
        std::filesystem::create_directories(cpDir);
        Clock::time_point start = Clock::now();
        double cpu = CpuSeconds(RUSAGE_CHILDREN);
        if (std::system(("cp" + paths + " '" + cpDir + "'").c_str()) != 0) return 1;
        double cp = Seconds(start);
        const double cpCpu = CpuSeconds(RUSAGE_CHILDREN) - cpu;
        ::sync();
        double cpSync = Seconds(start);
        std::filesystem::remove_all(cpDir);
        ::sync();
        std::list<RestoreArchiveInfo> one, four;
        double t1 = 0, c1 = 0, t4 = 0, c4 = 0, r1 = 0, r4 = 0;
        double cpuT1 = 0, cpuT4 = 0, cpuR1 = 0, cpuR4 = 0;
        std::filesystem::create_directories(restored);
        cpu = CpuSeconds(RUSAGE_SELF);
        auto step = [&cpu](double& spent) {
            const double now = CpuSeconds(RUSAGE_SELF);
            spent = now - cpu;
            cpu = now;
            return true;
        };
        auto clear = [&restored, &cpu] {
            std::filesystem::remove_all(restored);
            std::filesystem::create_directories(restored);
            ::sync();
            cpu = CpuSeconds(RUSAGE_SELF);
            return true;
        };
        if (!Backup(10 + run * 2, 1, one, t1, c1) || !step(cpuT1) || !Backup(11 + run * 2, 4, four, t4, c4) ||
            !step(cpuT4) || !clear() || !Restore(one, restored, files, r1) || !step(cpuR1) || !clear() ||
            !Restore(four, restored, files, r4) || !step(cpuR4)) {
            return 1;
        }
        if (verbose) {
            std::printf("run %d: wall/cpu s: cp %.2f/%.2f, cp+sync %.2f; backup 1 %.2f+%.2f/%.2f, "
                        "backup 4 %.2f+%.2f/%.2f; restore 1 %.2f/%.2f, restore 4 %.2f/%.2f\n",
                        run + 1, cp, cpCpu, cpSync, t1, c1, cpuT1, t4, c4, cpuT4, r1, cpuR1, r4, cpuR4);
            std::fflush(stdout);
        }
        cpRate.runs.push_back(mb / cp);
        backup1.runs.push_back(cp / t1);
        backup4.runs.push_back(cp / t4);
        backup1Sync.runs.push_back(cpSync / (t1 + c1));
        backup4Sync.runs.push_back(cpSync / (t4 + c4));
        fourOverOne.runs.push_back(t1 / t4);
        restore1.runs.push_back(cpSync / r1);
        restore4.runs.push_back(cpSync / r4);
        // The archive files of this run go; the next run starts as empty.
        std::filesystem::remove_all(root.path() + "/media");
    }
    std::string title = "bench_vdi: " + std::to_string(static_cast<int>(mb)) + " MB database, " +
                        std::to_string(runs) + " run(s)";
    bench::Print(title.c_str(),
                 {cpRate, backup1, backup4, backup1Sync, backup4Sync, fourOverOne, restore1, restore4});
    return 0;
}
