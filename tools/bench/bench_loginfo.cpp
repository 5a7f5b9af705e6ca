// bench_loginfo: four processes inserting into one log-information database
// against one process inserting all the rows, each statement under the state
// store's lock.
//
//   bench_loginfo [--runs N] [--rows N]
//
// Each run inserts 4 x --rows rows (default 50 a writer) into a fresh
// database, once from one process and once from four at the same time. It
// reports the throughput ratio (four writers over one), how often the
// writers took turns (4 means one after another; 4 x rows means strictly in
// turn), and the longest single insert of the four writers in units of the
// one writer's median insert, beside the one writer's own longest in the same
// unit. Minimum and median of --runs runs (default 5).
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "JxSQLCommon/state/CLogInfoDB.h"
#include "JxSQLCommon/state/DBLocker.h"
#include "WzSQLite/CSQLite3Query.h"
#include "tools/bench/BenchRoot.h"
#include "tools/bench/BenchStats.h"

namespace {

using Clock = std::chrono::steady_clock;

int Usage(FILE* out, int code) {
    std::fprintf(out, "usage: bench_loginfo [--runs N] [--rows N]\n");
    return code;
}

// What one writer process measured, sent back through a pipe.
struct WriterResult {
    int32_t failures = 0;
    double medianInsertMs = 0;
    double longestInsertMs = 0;
};

WriterResult WriteRows(const std::string& folder, int writer, int rows) {
    WriterResult result;
    CLogInfoDB db(folder, DB_LOCALITY_1MIN_RPO);
    std::vector<double> times;
    for (int i = 0; i < rows; ++i) {
        Clock::time_point start = Clock::now();
        CWzError e = db.Insert("Logs", "DBSerialNo_FK, FileName, FirstLSN, LastLSN, StartTime, EndTime",
                               FX::CSQLite3Sql("?,?,'1','2',0,0", {int64_t{writer}, "w" + std::to_string(writer) +
                                                                                         "_" + std::to_string(i)}));
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        if (e.IsError()) ++result.failures;
    }
    result.medianInsertMs = bench::Median(times);
    result.longestInsertMs = times.empty() ? 0 : *std::max_element(times.begin(), times.end());
    return result;
}

struct RunResult {
    bool ok = false;
    double rowsPerSecond = 0;
    double medianInsertMs = 0;
    double longestInsertMs = 0;
    int turns = 0;
};

// `writers` processes insert `rows` rows each into a fresh database, all
// starting together.
RunResult Run(const std::string& folder, int writers, int rows) {
    RunResult run;
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    std::filesystem::create_directories(folder, ec);
    {
        CLogInfoDB db(folder, DB_LOCALITY_1MIN_RPO);
        if (db.CreateTablesSchema().IsError()) return run;
    }
    int start[2], results[2];
    if (::pipe(start) != 0) return run;
    if (::pipe(results) != 0) return run;
    std::vector<pid_t> children;
    for (int w = 1; w <= writers; ++w) {
        pid_t pid = ::fork();
        if (pid == 0) {
            ::close(start[1]);
            char c;
            if (::read(start[0], &c, 1) != 0) ::_exit(3);  // starts when the parent closes its end
            WriterResult r = WriteRows(folder, w, rows);
            ::_exit(::write(results[1], &r, sizeof r) == static_cast<ssize_t>(sizeof r) ? 0 : 4);
        }
        if (pid < 0) return run;
        children.push_back(pid);
    }
    ::close(start[0]);
    ::close(results[1]);
    Clock::time_point begin = Clock::now();
    ::close(start[1]);
    bool ok = true;
    for (pid_t pid : children) {
        int status = 0;
        ok = ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0 && ok;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    std::vector<double> medians;
    for (int w = 0; w < writers; ++w) {
        WriterResult r;
        ok = ::read(results[0], &r, sizeof r) == static_cast<ssize_t>(sizeof r) && r.failures == 0 && ok;
        medians.push_back(r.medianInsertMs);
        run.longestInsertMs = std::max(run.longestInsertMs, r.longestInsertMs);
    }
    ::close(results[0]);
    if (!ok) return run;

    CLogInfoDB db(folder, DB_LOCALITY_1MIN_RPO);
    DBLocker locker(&db, DB_LOCALITY_1MIN_RPO, 1, true);
    std::unique_ptr<SQueryHandle> query = db.ExecuteQuery("SELECT DBSerialNo_FK FROM Logs ORDER BY Id");
    if (!locker.IsDbLocked() || query == nullptr) return run;
    int last = 0, count = 0;
    while (query->m_query->NextRow()) {
        int writer = query->m_query->GetIntField(0);
        if (writer != last) ++run.turns;
        last = writer;
        ++count;
    }
    if (count != writers * rows) return run;  // a row was lost
    run.ok = true;
    run.rowsPerSecond = writers * rows / seconds;
    run.medianInsertMs = bench::Median(medians);
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5, rows = 50;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") return Usage(stdout, 0);
        if ((arg != "--runs" && arg != "--rows") || i + 1 >= argc) return Usage(stderr, 2);
        char* end = nullptr;
        long value = std::strtol(argv[++i], &end, 10);
        if (*end != '\0' || value < 1 || value > 100000) return Usage(stderr, 2);
        (arg == "--runs" ? runs : rows) = static_cast<int>(value);
    }
    bench::BenchRoot root;
    if (!root.ok()) {
        std::fprintf(stderr, "bench_loginfo: cannot make a temporary root\n");
        return 1;
    }
    const std::string folder = root.path() + "/dump";
    constexpr int kWriters = 4;

    bench::Figure ratio{"rows/s of 4 writers / of 1 writer", "x (at least 0.8)", {}};
    bench::Figure turns{"turns between the 4 writers", "(4 = one after another)", {}};
    bench::Figure longest{"longest insert of 4 writers / 1 writer's median", "statements", {}};
    // The same for the one writer, who never waits: how far the disk alone
    // spreads the time of one statement.
    bench::Figure alone{"longest insert of 1 writer / its median", "statements", {}};
    bench::Figure one{"rows/s, 1 writer", "1/s", {}};
    bench::Figure four{"rows/s, 4 writers", "1/s", {}};
    for (int r = 0; r < runs; ++r) {
        RunResult single = Run(folder, 1, kWriters * rows);
        RunResult several = Run(folder, kWriters, rows);
        if (!single.ok || !several.ok) {
            std::fprintf(stderr, "bench_loginfo: a run failed or lost rows\n");
            return 1;
        }
        ratio.runs.push_back(several.rowsPerSecond / single.rowsPerSecond);
        turns.runs.push_back(several.turns);
        longest.runs.push_back(several.longestInsertMs / single.medianInsertMs);
        alone.runs.push_back(single.longestInsertMs / single.medianInsertMs);
        one.runs.push_back(single.rowsPerSecond);
        four.runs.push_back(several.rowsPerSecond);
    }
    std::printf("%d writers x %d rows against 1 writer x %d rows, %d runs\n", kWriters, rows, kWriters * rows, runs);
    bench::Print("bench_loginfo", {ratio, turns, longest, alone, one, four});
    return 0;
}
