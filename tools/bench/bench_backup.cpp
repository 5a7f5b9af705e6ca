// bench_backup: whole backup and restore jobs, run as the job manager runs
// them (the job programs as processes of their own), against cp on the same
// disk and the same bytes.
//
//   bench_backup [--runs N] [--size-mb N] [--databases M] [--dir SCRATCH-DIR]
//
// Under a scratch platform root the round trip's set-up (tools/demo/
// RoundTrip.h) makes a database of --size-mb (default 1024) in data files of
// at most 256 MB. Each run times: cp of the data files with sync (the disk's own
// ceiling); a full backup job on 2, 4 and 1 streams (each job commits, which
// syncs its archive files); a restore job of the last of them under a new
// name; and cp of the copied files back with sync. Ratios are cp's time over
// the job's: 1.0 is as fast as cp. The peak resident memory of the job
// programs is measured on that database and on one of 64 MB, to show whether
// it depends on the data. Last, a full job of M small databases (default
// 100), per database, against central-server round trips. Minimum and median
// of --runs runs (default 5).
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JxCommandLineParser/BackupOptionsParser.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzClock.h"
#include "tools/bench/BenchRoot.h"
#include "tools/bench/BenchStats.h"
#include "tools/demo/RoundTrip.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string g_scratch;  // the scratch folder this run made, if any

void RemoveScratch() {
    std::error_code ec;
    if (!g_scratch.empty()) std::filesystem::remove_all(g_scratch, ec);
}

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

RoundTripPrograms Programs() { return {JX_BACKUP_PROGRAM, JX_RESTORE_PROGRAM, JX_SERVE_LIBRARY, JX_SQL_LIBRARY}; }

// Paths of the database's data files, quoted for the shell.
std::string QuotedDataFiles() {
    SqlSimInstance sim;
    std::string paths;
    if (sim.Open(RoundTrip::kInstance).IsError()) return paths;
    for (const auto& entry : std::filesystem::directory_iterator(sim.Location().DataDirectory())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(RoundTrip::kDatabase, 0) == 0 && entry.path().extension() != ".ldf") {
            paths += " '" + entry.path().string() + "'";
        }
    }
    return paths;
}

// cp of `paths` into `to` followed by sync; seconds, negative when cp failed.
double TimedCopy(const std::string& paths, const std::string& to) {
    std::filesystem::create_directories(to);
    const Clock::time_point start = Clock::now();
    if (std::system(("cp" + paths + " '" + to + "'").c_str()) != 0) return -1;
    ::sync();
    return Seconds(start);
}

// The archive files written so far go (the restore reads the newest backup only).
struct Memory {
    long backupKb = 0;
    long restoreKb = 0;
};

// Peak memory of a full backup job and of its restore on a database of `mb` MB.
bool MeasureMemory(const std::string& dir, uint64_t mb, Memory& memory) {
    wz::SetPlatformRoot(dir);
    RoundTrip trip(Programs(), mb * 1024 * 1024);
    if (trip.SetUp().IsError()) return false;
    const JobSummary backup = trip.Backup(1, 'D');
    const long backupKb = trip.LastRun().peakRssKb;
    const JobSummary restore = trip.Restore(2, 1, "ShopCopy", dir + "/restored", 0, false, true);
    memory = {backupKb, trip.LastRun().peakRssKb};
    return backup.status == 1 && restore.status == 1;
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

// A full job of `databases` small databases in one process, per database,
// against round trips to the central server (served by `trip`'s host).
bool SmallDatabases(int databases) {
    SqlSimInstance small;
    SqlSimServerSpec server;
    server.name = "BENCH/SMALL";
    if (small.Create(server).IsError()) return false;
    const std::string sc = AppModel::ObjectName("subclient", 2);
    const std::string in = AppModel::ObjectName("instance", 8);
    AppModel::Set(sc, "instanceId", "8");
    AppModel::Set(sc, "name", "small");
    AppModel::Set(in, "name", "BENCH/SMALL");
    AppModel::Set(in, "serverType", "DataBase Engine");
    AppModel::Set(in, "sqlVersion", "15.0.4153.1");
    for (int i = 0; i < databases; ++i) {
        SqlSimDatabaseSpec s;
        s.name = "db" + std::to_string(i);
        if (small.AddDatabase(s).IsError()) return false;
        AppModel::Set(sc, "property118_" + std::to_string(i + 1), s.name);
    }
    Clock::time_point start = Clock::now();
    if (!RunFullJob(1000, 2)) return false;
    const double perDatabase = Seconds(start) / databases;
    start = Clock::now();
    constexpr int kTrips = 20;
    for (int i = 0; i < kTrips; ++i) {
        CSQLClientDll requester;
        std::string xml;
        (void)requester.getSqlJobInfo(2, 2, xml);  // any answer is a round trip
    }
    const double trips = Seconds(start);
    std::printf("job of %d small databases: %.1f ms per database; %d central-server round trips %.1f ms (%.2f x)\n",
                databases, perDatabase * 1000, kTrips, trips * 1000, perDatabase / trips);
    return true;
}

int Usage(FILE* out) {
    std::fprintf(out,
                 "usage: bench_backup [--runs N] [--size-mb N] [--databases M] [--dir SCRATCH-DIR]\n"
                 "SCRATCH-DIR defaults to a new folder under /var/tmp, removed afterwards.\n");
    return out == stdout ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    uint64_t sizeMb = 1024;
    int databases = 100;
    std::string dir;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") return Usage(stdout);
        if (i + 1 >= argc) return Usage(stderr);
        const char* value = argv[++i];
        if (a == "--runs") {
            runs = std::atoi(value);
        } else if (a == "--size-mb") {
            sizeMb = std::strtoull(value, nullptr, 10);
        } else if (a == "--databases") {
            databases = std::atoi(value);
        } else if (a == "--dir") {
            dir = value;
        } else {
            return Usage(stderr);
        }
    }
    if (runs < 1 || runs > 100 || sizeMb < 4 || databases < 1 || databases > 10000) return Usage(stderr);
    if (dir.empty()) {
        char pattern[] = "/var/tmp/bench_backup.XXXXXX";
        if (::mkdtemp(pattern) == nullptr) return std::perror("mkdtemp"), 1;
        dir = pattern;
        std::atexit(RemoveScratch);
        g_scratch = dir;  // a folder of our own goes however the run ends
    }
    wz::SetTimeScale(1.0);

    Memory small;
    if (!MeasureMemory(dir + "/small", 64, small)) {
        return std::fprintf(stderr, "bench_backup: the 64 MB round trip failed (root %s/small)\n", dir.c_str()), 1;
    }

    wz::SetPlatformRoot(dir + "/root");
    RoundTrip trip(Programs(), sizeMb * 1024 * 1024);
    if (CWzError err = trip.SetUp(); err.IsError()) {
        return std::fprintf(stderr, "bench_backup: platform set-up failed: %s\n", err.GetMessage().c_str()), 1;
    }
    const std::string paths = QuotedDataFiles();
    const double mb = static_cast<double>(sizeMb);

    bench::Figure cpRate{"cp of the data files with sync (disk ceiling)", "MB/s", {}};
    bench::Figure backup1{"full backup job, 1 stream", "MB/s", {}};
    bench::Figure backup2{"full backup job, 2 streams", "MB/s", {}};
    bench::Figure backup4{"full backup job, 4 streams", "MB/s", {}};
    bench::Figure ratio1{"full backup, 1 stream (x cp)", "ratio", {}};
    bench::Figure fourOverOne{"4 streams over 1 stream", "ratio", {}};
    bench::Figure cpBack{"cp back with sync", "MB/s", {}};
    bench::Figure restore{"restore job of the 1-stream backup", "MB/s", {}};
    bench::Figure restoreRatio{"restore (x cp back)", "ratio", {}};
    bench::Figure backupMemory{"peak memory, backup job program, 1 stream", "MiB", {}};
    bench::Figure backupMemory4{"peak memory, backup job program, 4 streams", "MiB", {}};
    bench::Figure restoreMemory{"peak memory, restore job program", "MiB", {}};
    uint64_t job = 10;
    for (int run = 0; run < runs; ++run) {
        const double cp = TimedCopy(paths, dir + "/cp");
        if (cp < 0) return std::fprintf(stderr, "bench_backup: cp failed\n"), 1;
        double seconds[5] = {};
        long peak[5] = {};
        for (int streams : {2, 4, 1}) {
            bench::DropArchiveFiles();
            trip.SetDataStreams(streams);
            if (trip.Backup(++job, 'D').status != 1) {
                return std::fprintf(stderr, "bench_backup: backup job %llu failed (root %s/root)\n",
                                    static_cast<unsigned long long>(job), dir.c_str()),
                       1;
            }
            seconds[streams] = trip.LastRun().seconds;
            peak[streams] = trip.LastRun().peakRssKb;
        }
        if (trip.Restore(++job, 1, "ShopCopy", dir + "/restored", 0, false, true).status != 1) {
            return std::fprintf(stderr, "bench_backup: restore job %llu failed (root %s/root)\n",
                                static_cast<unsigned long long>(job), dir.c_str()),
                   1;
        }
        const double restored = trip.LastRun().seconds;
        const long restorePeak = trip.LastRun().peakRssKb;
        std::error_code ec;
        std::filesystem::remove_all(dir + "/cpback", ec);
        const double back = TimedCopy(" '" + dir + "/cp'/*", dir + "/cpback");
        std::filesystem::remove_all(dir + "/cp", ec);
        std::filesystem::remove_all(dir + "/cpback", ec);
        if (back < 0) return std::fprintf(stderr, "bench_backup: cp back failed\n"), 1;
        cpRate.runs.push_back(mb / cp);
        backup1.runs.push_back(mb / seconds[1]);
        backup2.runs.push_back(mb / seconds[2]);
        backup4.runs.push_back(mb / seconds[4]);
        ratio1.runs.push_back(cp / seconds[1]);
        fourOverOne.runs.push_back(seconds[1] / seconds[4]);
        cpBack.runs.push_back(mb / back);
        restore.runs.push_back(mb / restored);
        restoreRatio.runs.push_back(back / restored);
        backupMemory.runs.push_back(static_cast<double>(peak[1]) / 1024.0);
        backupMemory4.runs.push_back(static_cast<double>(peak[4]) / 1024.0);
        restoreMemory.runs.push_back(static_cast<double>(restorePeak) / 1024.0);
    }
    const std::string title = "bench_backup: job programs on a " + std::to_string(sizeMb) + " MB database, " +
                              std::to_string(runs) + " run(s)";
    bench::Print(title.c_str(), {cpRate, backup1, backup2, backup4, ratio1, fourOverOne, cpBack, restore, restoreRatio,
                                 backupMemory, backupMemory4, restoreMemory});
    std::printf("peak memory on a 64 MB database: backup job (1 stream) %.1f MiB, restore job %.1f MiB\n",
                static_cast<double>(small.backupKb) / 1024.0, static_cast<double>(small.restoreKb) / 1024.0);
    std::fflush(stdout);
    bench::DropArchiveFiles();
    return SmallDatabases(databases) ? 0 : 1;
}
