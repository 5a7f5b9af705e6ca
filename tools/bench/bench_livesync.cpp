// bench_livesync: the loginfo.db side of one live-sync run on a dump folder
// whose database lists many old dumps, against a folder that lists only the
// new ones.
//
//   bench_livesync [--runs N] [--old N] [--new N]
//
// Two dump folders hold the same --new dumps (default 20; .bak and .xml
// files and their loginfo.db rows) after the standby's last LSN; the first
// folder's loginfo.db also lists --old older dumps (default 10000). One
// measured step is what a run does with a folder's loginfo.db: find the
// database's serial number, take a reference on the rows after the
// standby's LSN and read them under one lock, check their files and add
// them to the run's list, and release the references at the end. The LSNs
// of the new dumps gain a digit, so the step also shows they are all found.
// Minimum and median of --runs steps (default 30) per folder, and their
// ratio (at most 2 wanted).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "JxSQLCommon/dump/HighAvailLiveSync.h"
#include "JxSQLCommon/state/CLogInfoDB.h"
#include "tools/bench/BenchRoot.h"
#include "tools/bench/BenchStats.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kStandbyLSN = "99990";

int Usage(FILE* out, int code) {
    std::fprintf(out, "usage: bench_livesync [--runs N] [--old N] [--new N]\n");
    return code;
}

// A dump folder whose loginfo.db lists `oldRows` dumps up to the standby's
// LSN and `newRows` after it; only the new dumps have files.
bool MakeFolder(const std::string& folder, int oldRows, int newRows) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    CLogInfoDB db(folder, DB_LOCALITY_1MIN_RPO);
    unsigned serial = 0;
    if (db.CreateTablesSchema().IsError() || db.InsertDBRecord("SQL1", 5, "Sales", serial).IsError()) return false;
    const std::string columns = "DBSerialNo_FK, FileName, FirstLSN, LastLSN, StartTime, EndTime";
    std::vector<FX::CSQLite3Sql> rows;
    const long long standby = std::atoll(kStandbyLSN);
    for (int i = 0; i < oldRows; ++i) {
        const long long last = standby - oldRows + i + 1;
        rows.emplace_back("?,?,?,?,0,0", std::vector<FX::CSQLite3Value>{int64_t{serial}, "old_" + std::to_string(i) + ".bak",
                                                                     std::to_string(last - 1), std::to_string(last)});
        if (rows.size() == 500 || i + 1 == oldRows) {
            if (db.Insert("Logs", columns, rows).IsError()) return false;
            rows.clear();
        }
    }
    for (int i = 0; i < newRows; ++i) {
        const std::string name = "new_" + std::to_string(i);
        const long long last = standby + (i + 1) * 3;  // crosses 100000
        std::ofstream(folder + "/" + name + ".bak") << "backup data";
        std::ofstream(folder + "/" + name + ".xml") << "<metadata/>";
        rows.emplace_back("?,?,?,?,0,0", std::vector<FX::CSQLite3Value>{int64_t{serial}, name + ".bak",
                                                                     std::to_string(last - 3), std::to_string(last)});
    }
    return newRows == 0 || !db.Insert("Logs", columns, rows).IsError();
}

// One run's loginfo.db step on `folder`; false when it did not list exactly
// the `expected` new dumps.
bool Step(const std::string& folder, size_t expected, double& ms) {
    const Clock::time_point start = Clock::now();
    size_t listed = 0;
    {
        HighAvailLiveSync job;
        CLogInfoDB db(folder, DB_LOCALITY_1MIN_RPO);
        unsigned serial = 0;
        if (db.GetDatabaseSerialNo("", "Sales", serial).IsError()) return false;
        std::map<std::string, SqlAFilesPerBackup_t> items;
        if (job.PopulateHybridList(db, folder, serial, kStandbyLSN, items).IsError()) return false;
        listed = items.size();
        if (job.HeldReferences() != expected) return false;
    }  // the job's end releases the references
    ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return listed == expected;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 30, oldRows = 10000, newRows = 20;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") return Usage(stdout, 0);
        if ((arg != "--runs" && arg != "--old" && arg != "--new") || i + 1 >= argc) return Usage(stderr, 2);
        char* end = nullptr;
        long value = std::strtol(argv[++i], &end, 10);
        if (*end != '\0' || value < 1 || value > 1000000) return Usage(stderr, 2);
        (arg == "--runs" ? runs : arg == "--old" ? oldRows : newRows) = static_cast<int>(value);
    }
    bench::BenchRoot root;
    if (!root.ok()) {
        std::fprintf(stderr, "bench_livesync: cannot make a temporary root\n");
        return 1;
    }
    const std::string big = root.path() + "/big";
    const std::string small = root.path() + "/small";
    if (!MakeFolder(big, oldRows, newRows) || !MakeFolder(small, 0, newRows)) {
        std::fprintf(stderr, "bench_livesync: cannot fill the dump folders\n");
        return 1;
    }
    // The first step on each folder also creates the index the read uses.
    bench::Figure firstBig{"first step, old + new rows (creates the index)", "ms", {}};
    bench::Figure firstSmall{"first step, new rows only (creates the index)", "ms", {}};
    double ms = 0;
    if (!Step(big, static_cast<size_t>(newRows), ms)) return std::fprintf(stderr, "bench_livesync: step failed\n"), 1;
    firstBig.runs.push_back(ms);
    if (!Step(small, static_cast<size_t>(newRows), ms)) return std::fprintf(stderr, "bench_livesync: step failed\n"), 1;
    firstSmall.runs.push_back(ms);

    bench::Figure withOld{"step, old + new rows", "ms", {}};
    bench::Figure alone{"step, new rows only", "ms", {}};
    for (int r = 0; r < runs; ++r) {
        if (!Step(big, static_cast<size_t>(newRows), ms)) return std::fprintf(stderr, "bench_livesync: step failed\n"), 1;
        withOld.runs.push_back(ms);
        if (!Step(small, static_cast<size_t>(newRows), ms)) return std::fprintf(stderr, "bench_livesync: step failed\n"), 1;
        alone.runs.push_back(ms);
    }
    bench::Figure ratio{"median step with old rows / new rows only", "x (at most 2)", {}};
    ratio.runs.push_back(bench::Median(withOld.runs) / bench::Median(alone.runs));
    std::printf("%d old and %d new rows against %d new rows, %d runs\n", oldRows, newRows, newRows, runs);
    bench::Print("bench_livesync", {ratio, withOld, alone, firstBig, firstSmall});
    return 0;
}
