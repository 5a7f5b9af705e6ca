// EvEventFileSink: job events as JSON lines under the platform root.
#include "JxLib/EvEventFileSink.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "JxLib/EvDebug.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzAppendFile.h"
#include "WzUtils/WzFormat.h"
#include "WzUtils/WzJson.h"

std::string EvEventFileSink::FilePath() { return wz::PlatformPath("events/" + EvDebug::ProgramName() + ".jsonl"); }

std::string EvEventFileSink::FormatLine(const EvEventRecord& event) {
    std::string line = wz::Format("{\"pid\":%d,\"job\":%llu,\"level\":\"%s\",\"id\":\"0x%08x\",\"args\":[",
                                  static_cast<int>(::getpid()), static_cast<unsigned long long>(event.jobId),
                                  EvEventLevelName(event.level), event.messageId);
    for (size_t i = 0; i < event.arguments.size(); ++i) {
        const EvEventArgument& arg = event.arguments[i];
        line += wz::Format("%s{\"type\":%d,\"value\":", i == 0 ? "" : ",", arg.TypeCode());
        line += wz::JsonString(arg.AsText()) + "}";
    }
    line += "]}";
    return line;
}

void EvEventFileSink::Record(const EvEventRecord& event) {
    std::string text;
    for (const EvEventArgument& arg : event.arguments) text += " [" + arg.AsText() + "]";
    EvDebug log("EvEvent");
    log.setJobId(event.jobId);
    log.debug("Event 0x%08x (%s) raised with %zu argument(s):%s", event.messageId, EvEventLevelName(event.level),
              event.arguments.size(), text.c_str());

    const std::string path = wz::PlatformFilePath("events/" + EvDebug::ProgramName() + ".jsonl");
    if (!wz::AppendToFile(path, FormatLine(event) + "\n")) {
        int err = errno;
        EV_ERROR(log, "Cannot record event 0x%08x in [%s]: %s", event.messageId, path.c_str(), std::strerror(err));
    }
}
