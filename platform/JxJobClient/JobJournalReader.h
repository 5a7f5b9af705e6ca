// JobJournalReader: reads a job's journal back (tests and the demo).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace jobmanager {

// One journal line: "job", "op" and the other keys. Strings are unescaped;
// numbers and true/false keep their text; arrays of strings are in `lists`.
struct JournalEntry {
    uint64_t job = 0;
    std::string op;
    std::map<std::string, std::string> values;
    std::map<std::string, std::vector<std::string>> lists;

    // The value of `key`, empty when absent.
    std::string Get(const std::string& key) const;
    // The array of `key`, empty when absent.
    std::vector<std::string> List(const std::string& key) const;
};

class JobJournalReader {
public:
    // Every line of the job's journal, oldest first; empty when there is no
    // journal, nullopt when a line is not a journal line.
    static std::optional<std::vector<JournalEntry>> Read(uint64_t jobId);

    // One line; nullopt when it is not a flat object of strings, numbers,
    // true/false and arrays of strings with "job" and "op".
    static std::optional<JournalEntry> ParseLine(const std::string& line);

    // The entries of one operation, in order.
    static std::vector<JournalEntry> WithOp(const std::vector<JournalEntry>& entries, const std::string& op);
};

}  // namespace jobmanager
