// EvEventFileSink: records job events in a file under the platform root.
//
// One JSON line per event in "events/<program>.jsonl":
//   {"pid":123,"job":42,"level":"critical","id":"0x1e000132",
//    "args":[{"type":11,"value":"N'tempdb'"},{"type":5,"value":"7"}]}
// (values as text; wide text as UTF-8). Each event also goes to the debug log.
#pragma once

#include <string>

#include "JxLib/EvEventSink.h"

class EvEventFileSink : public EvEventSink {
public:
    void Record(const EvEventRecord& event) override;

    // The events file of this program.
    static std::string FilePath();
    // One event as its JSON line (without the line break).
    static std::string FormatLine(const EvEventRecord& event);
};
