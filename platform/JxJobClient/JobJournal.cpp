// JobJournal: building and appending journal lines.
#include "JxJobClient/JobJournal.h"

#include <cerrno>
#include <cinttypes>
#include <cstring>

#include "JxJobClient/JobManagerFiles.h"
#include "JxLib/EvDebug.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzAppendFile.h"
#include "WzUtils/WzFileSystem.h"
#include "WzUtils/WzFormat.h"
#include "WzUtils/WzJson.h"

namespace jobmanager {

std::string JournalPath(uint64_t jobId) { return JobDirectory(jobId) + "/journal.jsonl"; }

JournalLine::JournalLine(uint64_t jobId, std::string_view op) : m_jobId(jobId) {
    m_text = wz::Format("{\"job\":%" PRIu64 ",\"op\":", jobId) + wz::JsonString(op);
}

JournalLine& JournalLine::Raw(std::string_view key, const std::string& value) {
    m_text += "," + wz::JsonString(key) + ":" + value;
    return *this;
}

JournalLine& JournalLine::Number(std::string_view key, int64_t value) {
    return Raw(key, wz::Format("%" PRId64, value));
}

JournalLine& JournalLine::Unsigned(std::string_view key, uint64_t value) {
    return Raw(key, wz::Format("%" PRIu64, value));
}

std::string JournalId(uint32_t value) { return wz::Format("0x%08x", value); }

JournalLine& JournalLine::Hex(std::string_view key, uint32_t value) { return Raw(key, "\"" + JournalId(value) + "\""); }

JournalLine& JournalLine::Text(std::string_view key, std::string_view value) {
    return Raw(key, wz::JsonString(value));
}

JournalLine& JournalLine::Flag(std::string_view key, bool value) { return Raw(key, value ? "true" : "false"); }

JournalLine& JournalLine::Texts(std::string_view key, const std::vector<std::string>& values) {
    std::string list = "[";
    for (size_t i = 0; i < values.size(); ++i) list += (i == 0 ? "" : ",") + wz::JsonString(values[i]);
    return Raw(key, list + "]");
}

bool JournalLine::Append() const {
    if (wz::MakeDirectoryTree(JobDirectory(m_jobId)) != 0 || !wz::AppendToFile(JournalPath(m_jobId), text() + "\n")) {
        int err = errno;
        EvDebug log("JxJobClient");
        log.setJobId(m_jobId);
        EV_ERROR(log, "Cannot write to the job journal [%s]: %s", JournalPath(m_jobId).c_str(), std::strerror(err));
        return false;
    }
    return true;
}

}  // namespace jobmanager
