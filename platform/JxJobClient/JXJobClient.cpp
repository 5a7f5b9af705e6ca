// JXJobClient: the restart string as a file; reports as journal lines.
#include "JxJobClient/JXJobClient.h"

#include <fstream>
#include <vector>

#include "JxJobClient/JobJournal.h"
#include "JxJobClient/JobManagerFiles.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"

namespace {

std::vector<std::string> ArgumentTexts(const EvEventArguments& arguments) {
    std::vector<std::string> texts;
    for (const EvEventArgument& arg : EvEventArguments::Decode(arguments.Bytes()).value_or(std::vector<EvEventArgument>{})) {
        texts.push_back(arg.AsText());
    }
    return texts;
}

}  // namespace

JXJobClient::JXJobClient(uint64_t jobId) : EvEvent("JxJobClient") { setJobId(jobId); }

std::string JXJobClient::getRestartString(int /*lookupType*/) const {
    std::ifstream in(jobmanager::RestartFilePath(jobId()));
    std::string line;
    std::getline(in, line);
    return line;
}

bool JXJobClient::setRestartString(uint64_t jobId, const std::string& text) {
    if (text.find_first_of("\r\n") != std::string::npos) return false;
    if (wz::MakeDirectoryTree(jobmanager::JobDirectory(jobId)) != 0) return false;
    // Replaced in one go: a save that fails leaves the previous string whole
    // for a restarted attempt, never an empty or cut one.
    if (!wz::WriteFileAtomically(jobmanager::RestartFilePath(jobId), text + "\n")) return false;
    return jobmanager::JournalLine(jobId, "setRestartString").Text("value", text).Append();
}

bool JXJobClient::setPendingCauseAndCriticalEvent(int cause, int, bool, int eventType, bool, int, int, int, int) {
    bool ok = jobmanager::JournalLine(jobId(), "setPendingCause")
                  .Hex("cause", static_cast<uint32_t>(cause))
                  .Text("event", "critical")
                  .Number("eventType", eventType)
                  .Texts("args", ArgumentTexts(pendingArguments()))
                  .Append();
    CriticalEvent(static_cast<uint32_t>(cause));
    return ok;
}

bool JXJobClient::setPendingCauseAndEvent(int cause, int eventId, int, bool, int eventType, bool, int, int, int,
                                          int) {
    bool ok = jobmanager::JournalLine(jobId(), "setPendingCause")
                  .Hex("cause", static_cast<uint32_t>(cause))
                  .Hex("eventId", static_cast<uint32_t>(eventId))
                  .Text("event", "major")
                  .Number("eventType", eventType)
                  .Texts("args", ArgumentTexts(pendingArguments()))
                  .Append();
    MajorEvent(static_cast<uint32_t>(eventId));
    return ok;
}

bool JXJobClient::complete(JXJobStatus status, JXJobStatusFor statusFor, JXPendingCause cause, int) {
    return jobmanager::JournalLine(jobId(), "complete")
        .Number("status", status)
        .Number("statusFor", statusFor)
        .Hex("cause", static_cast<uint32_t>(cause))
        .Append();
}

bool JXJobClient::addJobProgress(int step) { return Journal("addJobProgress", step); }

bool JXJobClient::markJobAlive() { return jobmanager::JournalLine(jobId(), "markJobAlive").Append(); }

bool JXJobClient::updateInfo(bool force, bool* changed) {
    if (changed != nullptr) *changed = false;
    return jobmanager::JournalLine(jobId(), "updateInfo").Flag("force", force).Append();
}

void JXJobClient::setActiveFile(const char* name) { Journal("setActiveFile", name); }

bool JXJobClient::setCurrentDatabase(const char* name) { return Journal("setCurrentDatabase", name); }

void JXJobClient::setToken(const char* token) { Journal("setToken", token); }

JXJobClient* JXJobClient::setRCID(int id) {
    Journal("setRCID", id);
    return this;
}

bool JXJobClient::Journal(const char* op, int64_t value) const {
    return jobmanager::JournalLine(jobId(), op).Number("value", value).Append();
}

bool JXJobClient::Journal(const char* op, const char* text) const {
    return jobmanager::JournalLine(jobId(), op).Text("value", text == nullptr ? "" : text).Append();
}
