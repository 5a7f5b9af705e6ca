// JobJournal: what a job told the job manager.
//
// Every call of a job-manager client that reports something is one JSON line
// appended to the job's journal, "jobmanager/<job id>/journal.jsonl" under the
// platform root, for example
//   {"job":42,"op":"registerJob","kind":"backup","ok":true,"lastError":0}
//   {"job":42,"op":"setPendingCause","cause":"0x1e000132","event":"critical","args":["7","2"]}
// Every line has "job" and "op"; the other keys are the call's own. Values
// are strings, numbers, true/false or arrays of strings. Lines are appended
// whole (O_APPEND), so the journal stays readable while a job writes to it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace jobmanager {

// "jobmanager/<job id>/journal.jsonl" under the platform root.
std::string JournalPath(uint64_t jobId);

// A message or cause id as the journal writes it: "0x%08x".
std::string JournalId(uint32_t value);

// One journal line being built.
class JournalLine {
public:
    JournalLine(uint64_t jobId, std::string_view op);

    JournalLine& Number(std::string_view key, int64_t value);
    JournalLine& Unsigned(std::string_view key, uint64_t value);
    // Message and cause ids, written as "0x%08x" text.
    JournalLine& Hex(std::string_view key, uint32_t value);
    JournalLine& Text(std::string_view key, std::string_view value);
    JournalLine& Flag(std::string_view key, bool value);
    JournalLine& Texts(std::string_view key, const std::vector<std::string>& values);

    // The line without its line break.
    std::string text() const { return m_text + "}"; }

    // Appends the line to the job's journal; false (logged) when it cannot be
    // written.
    bool Append() const;

private:
    JournalLine& Raw(std::string_view key, const std::string& value);

    uint64_t m_jobId;
    std::string m_text;
};

}  // namespace jobmanager
