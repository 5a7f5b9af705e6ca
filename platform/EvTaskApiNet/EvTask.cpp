// EvTask: task options from the task file under the platform root.
#include "EvTaskApiNet/EvTask.h"

#include <cerrno>
#include <cinttypes>
#include <cstdlib>
#include <limits>

#include "EvTaskApiNet/EvRstTask.h"
#include "JxLib/SettingsFile.h"
#include "WzUtils/PlatformRoot.h"

namespace {

constexpr const char* kOptions = "options";
constexpr const char* kTask = "task";

// Strict decimal: optional sign, digits, nothing else.
bool ParseSigned(const std::string& text, long long& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || errno == ERANGE) return false;
    out = v;
    return true;
}

bool ParseUnsigned(const std::string& text, unsigned long long& out) {
    if (text.empty() || text[0] == '-' || text[0] == '+') return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || errno == ERANGE) return false;
    out = v;
    return true;
}

template <typename T>
int ReadSigned(const std::optional<std::string>& text, T& value) {
    if (!text) return EVTASK_ERR_NOT_FOUND;
    long long v = 0;
    if (!ParseSigned(*text, v) || v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max()) {
        return EVTASK_ERR_BAD_VALUE;
    }
    value = static_cast<T>(v);
    return 0;
}

// "1"/"true" and "0"/"false"; the target is written only on success.
int ReadBool(const std::optional<std::string>& text, bool& value) {
    if (!text) return EVTASK_ERR_NOT_FOUND;
    if (*text == "1" || *text == "true") {
        value = true;
    } else if (*text == "0" || *text == "false") {
        value = false;
    } else {
        return EVTASK_ERR_BAD_VALUE;
    }
    return 0;
}

}  // namespace

EvTask::EvTask(uint64_t jobId) : m_jobId(jobId) {}

std::string EvTask::FilePath(uint64_t jobId) { return wz::PlatformPath("tasks/" + std::to_string(jobId) + ".ini"); }

bool EvTask::setOption(uint64_t jobId, unsigned long id, const std::string& value) {
    return SettingsFile(FilePath(jobId)).Set(kOptions, std::to_string(id), value);
}

bool EvTask::setProperty(uint64_t jobId, const std::string& name, const std::string& value) {
    return SettingsFile(FilePath(jobId)).Set(kTask, name, value);
}

std::optional<std::string> EvTask::Option(const std::string& key) const {
    return SettingsFile(FilePath(m_jobId)).Get(kOptions, key);
}

std::optional<std::string> EvTask::Property(const std::string& name) const {
    return SettingsFile(FilePath(m_jobId)).Get(kTask, name);
}

int EvTask::getOptionBool(unsigned long id, bool& value, void*) const {
    return ReadBool(Option(std::to_string(id)), value);
}

int EvTask::getPropertyBool(const std::string& name, bool& value) const { return ReadBool(Property(name), value); }

int EvTask::getOptionInt(unsigned long id, int& value, void*) const {
    return ReadSigned(Option(std::to_string(id)), value);
}

int EvTask::getOptionLong(unsigned long id, long& value, void*) const {
    return ReadSigned(Option(std::to_string(id)), value);
}

int EvTask::getOptionULong(unsigned long id, unsigned long& value, void*) const {
    auto text = Option(std::to_string(id));
    if (!text) return EVTASK_ERR_NOT_FOUND;
    unsigned long long v = 0;
    if (!ParseUnsigned(*text, v) || v > std::numeric_limits<unsigned long>::max()) return EVTASK_ERR_BAD_VALUE;
    value = static_cast<unsigned long>(v);
    return 0;
}

int EvTask::getOptionString(unsigned long id, std::string& value, void*) const {
    auto text = Option(std::to_string(id));
    if (!text) return EVTASK_ERR_NOT_FOUND;
    value = *text;
    return 0;
}

int EvTask::getOptionString(unsigned long id, std::list<std::string>& values, void*) const {
    SettingsFile::Sections all = SettingsFile(FilePath(m_jobId)).Load();
    const auto& options = all[kOptions];
    const std::string base = std::to_string(id);
    std::list<std::string> found;
    for (size_t i = 0;; ++i) {
        auto it = options.find(base + "." + std::to_string(i));
        if (it == options.end()) break;
        found.push_back(it->second);
    }
    if (found.empty()) {
        auto single = options.find(base);
        if (single == options.end()) return EVTASK_ERR_NOT_FOUND;
        found.push_back(single->second);
    }
    values = std::move(found);
    return 0;
}

int EvTask::getInitiatedFrom() const {
    int value = 0;
    getOptionInt(140030, value);
    return value;
}

uint64_t EvTask::getOriginalJobId() const {
    unsigned long value = 0;
    getOptionULong(1700227181, value);
    return value;
}

int EvRstTask::getInstanceId(uint64_t& id) const { return UnsignedProperty("instanceId", id); }

int EvRstTask::UnsignedProperty(const char* name, uint64_t& value) const {
    auto text = Property(name);
    if (!text) return EVTASK_ERR_NOT_FOUND;
    unsigned long long v = 0;
    if (!ParseUnsigned(*text, v)) return EVTASK_ERR_BAD_VALUE;
    value = v;
    return 0;
}

int EvRstTask::getXMLOptions(uint64_t, std::string& xml) const {
    auto text = Property("xmlOptions");
    if (!text) return EVTASK_ERR_NOT_FOUND;
    xml = *text;
    return 0;
}

int EvRstTask::getDestinationClientId(uint64_t& id) const { return UnsignedProperty("destinationClientId", id); }

int EvRstTask::getAppId(uint64_t& id) const { return UnsignedProperty("appId", id); }
