// Fuzz target: any text given to the journal reader is refused or read, and
// what it reads writes back as a line that reads the same.
#include <cstddef>
#include <cstdint>
#include <string>

#include "JxJobClient/JobJournal.h"
#include "JxJobClient/JobJournalReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    auto entry = jobmanager::JobJournalReader::ParseLine(text);
    if (!entry) return 0;
    jobmanager::JournalLine line(entry->job, entry->op);
    for (const auto& [key, value] : entry->values) {
        if (key != "job" && key != "op") line.Text(key, value);
    }
    for (const auto& [key, list] : entry->lists) line.Texts(key, list);
    auto again = jobmanager::JobJournalReader::ParseLine(line.text());
    if (!again || again->op != entry->op || again->job != entry->job || again->lists != entry->lists) __builtin_trap();
    return 0;
}
