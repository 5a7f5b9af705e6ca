// JobJournalEventSink: events as journal lines.
#include "JxJobClient/JobJournalEventSink.h"

#include <string>
#include <vector>

#include "JxJobClient/JobJournal.h"
#include "JxLib/EvEventFileSink.h"

void JobJournalEventSink::Record(const EvEventRecord& event) {
    if (event.jobId == 0) {
        EvEventFileSink().Record(event);
        return;
    }
    std::vector<std::string> args;
    args.reserve(event.arguments.size());
    for (const EvEventArgument& arg : event.arguments) args.push_back(arg.AsText());
    jobmanager::JournalLine(event.jobId, "event")
        .Text("level", EvEventLevelName(event.level))
        .Hex("id", event.messageId)
        .Texts("args", args)
        .Append();
}

void JobJournalEventSink::InstallForProcess() {
    // One sink for the life of the process: it holds no state of its own.
    static JobJournalEventSink sink;
    EvEventSink::Install(&sink);
}
