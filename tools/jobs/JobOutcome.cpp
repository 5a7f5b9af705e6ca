// Reading a job's end back from its journal.
#include "tools/jobs/JobOutcome.h"

#include "JxJobClient/JobJournalReader.h"

namespace {

int StatusNumber(const std::string& text) {
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || value > 1000) return 0;
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

std::string JobOutcome::StatusText() const {
    switch (status) {
    case 1:
        return "completed";
    case 2:
        return "failed";
    case 3:
        return "completed with errors";
    case 4:
        return "stopped";
    default:
        return "no status";
    }
}

JobOutcome ReadJobOutcome(uint64_t jobId) {
    JobOutcome outcome;
    const auto entries = jobmanager::JobJournalReader::Read(jobId);
    if (!entries) return outcome;
    for (const jobmanager::JournalEntry& e : *entries) {
        if (e.op == "registerJob") {
            outcome = JobOutcome();  // a new attempt of the job: what came before is not its end
        } else if (e.op == "setPendingCause") {
            outcome.cause = e.Get("cause");
            outcome.causeArgs = e.List("args");
        } else if (e.op == "complete") {
            outcome.status = StatusNumber(e.Get("status"));
            // A cause given at completion replaces the pending one and its texts.
            const std::string cause = e.Get("cause");
            if (!cause.empty() && cause != "0x00000000" && cause != outcome.cause) {
                outcome.cause = cause;
                outcome.causeArgs.clear();
            }
        }
    }
    return outcome;
}

std::string UnfinishedJobLine(uint64_t jobId, const JobOutcome& outcome, const std::string& notStarted) {
    if (outcome.status == 1) return "";
    std::string line = "job " + std::to_string(jobId) + " ";
    line += outcome.status == 0 ? notStarted
                                : outcome.StatusText() + " (status " + std::to_string(outcome.status) + ")";
    if (!outcome.cause.empty()) {
        line += ", cause " + outcome.cause;
        std::string texts;
        for (const std::string& arg : outcome.causeArgs) {
            if (!arg.empty()) texts += (texts.empty() ? "" : "; ") + arg;
        }
        if (!texts.empty()) line += ": " + texts;
    }
    // One line, whatever the texts hold.
    for (char& c : line) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return line;
}
