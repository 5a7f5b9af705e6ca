// Reading a job's end back from the journal and the disk library.
#include "tools/demo/JobSummary.h"

#include <algorithm>
#include <fstream>

#include "JxJobClient/JobJournalReader.h"
#include "JxPipelineSetupUtility/DiskLibrary.h"
#include "WzUtils/PlatformRoot.h"
#include "tools/jobs/JobOutcome.h"

namespace {

using jobmanager::JobJournalReader;

uint64_t Number(const std::string& text) {
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value;
}

// Bytes of the job's committed pieces.
uint64_t CommittedBytes(uint64_t jobId) {
    DiskLibrary library;
    std::vector<MediaArchiveFile> files;
    if (library.Open().IsError() || library.ListArchiveFiles(files).IsError()) return 0;
    uint64_t bytes = 0;
    for (const MediaArchiveFile& file : files) {
        if (file.jobId != jobId) continue;
        std::vector<MediaPiece> pieces;
        if (library.PiecesOf(file.id.archiveFileId, pieces).IsError()) continue;
        for (const MediaPiece& piece : pieces) {
            if (piece.committed) bytes += piece.length;
        }
    }
    return bytes;
}

void AddOnce(std::vector<std::string>& names, const std::string& name) {
    if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}

}  // namespace

std::string JobSummary::StatusText() const {
    JobOutcome outcome;
    outcome.status = status;
    return outcome.StatusText();
}

JobSummary SummarizeJob(uint64_t jobId, const std::string& level, const JobProgramRun& run) {
    JobSummary s;
    s.jobId = jobId;
    s.level = level;
    s.seconds = run.seconds;
    const auto entries = JobJournalReader::Read(jobId);
    if (!entries) return s;
    uint64_t restoredBytes = 0;
    for (const jobmanager::JournalEntry& e : *entries) {
        if (e.op == "setActiveFile" || e.op == "setCurrentDatabase") AddOnce(s.databases, e.Get("value"));
        if (e.op == "setUncompBytes2Add") restoredBytes += Number(e.Get("value"));
    }
    const JobOutcome outcome = ReadJobOutcome(jobId);
    s.status = outcome.status;
    s.cause = outcome.cause;
    s.causeArgs = outcome.causeArgs;
    const bool isRestore = JobJournalReader::WithOp(*entries, "registerJob").empty() ||
                           JobJournalReader::WithOp(*entries, "registerJob").front().Get("kind") != "backup";
    s.bytes = isRestore ? restoredBytes : CommittedBytes(jobId);
    if (isRestore) {
        // A restore names its databases in its status file, one "<status>\t<name>" a line.
        std::ifstream statuses(wz::PlatformPath("jobresults/" + std::to_string(jobId) + "/RestoreStatus.txt"));
        std::string line;
        while (std::getline(statuses, line)) {
            const size_t tab = line.find('\t');
            if (tab != std::string::npos) AddOnce(s.databases, line.substr(tab + 1));
        }
    }
    return s;
}

void PrintJobSummaries(FILE* out, const std::vector<JobSummary>& jobs) {
    std::fprintf(out, "  %-6s %-14s %-22s %12s %9s %12s  %s\n", "job", "level", "databases", "bytes", "seconds",
                 "MiB/s", "status");
    for (const JobSummary& j : jobs) {
        std::string names;
        for (const std::string& n : j.databases) names += (names.empty() ? "" : ",") + n;
        const double mib = static_cast<double>(j.bytes) / (1024.0 * 1024.0);
        const double rate = j.seconds > 0 ? mib / j.seconds : 0;
        std::fprintf(out, "  %-6llu %-14s %-22s %12llu %9.2f %12.1f  %s\n", static_cast<unsigned long long>(j.jobId),
                     j.level.c_str(), names.empty() ? "-" : names.c_str(), static_cast<unsigned long long>(j.bytes),
                     j.seconds, rate, j.StatusText().c_str());
    }
}
