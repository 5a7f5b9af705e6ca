// JXPlatformInfo: file-backed settings store.
#include "JxLib/JXPlatformInfo.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <mutex>

#include "JxLib/EvDebug.h"
#include "JxLib/SettingsFile.h"
#include "WzUtils/PlatformRoot.h"

namespace {

std::mutex g_focusMutex;
std::string g_focus;
std::atomic<uint64_t> g_changes{0};

EvDebug& Log() {
    static EvDebug log("JXPlatformInfo");
    return log;
}

}  // namespace

std::string JXPlatformInfo::CurrentInstance() {
    std::lock_guard<std::mutex> lock(g_focusMutex);
    if (!g_focus.empty()) return g_focus;
    const char* env = std::getenv("JX_INSTANCE");
    return (env != nullptr && *env != '\0') ? env : "Instance001";
}

void JXPlatformInfo::SetCurrentInstance(const std::string& instance) {
    std::lock_guard<std::mutex> lock(g_focusMutex);
    g_focus = instance;
}

std::string JXPlatformInfo::SettingsPath(const std::string& instance) {
    return wz::PlatformPath("settings/" + instance + ".ini");
}

JXPlatformInfo::JXPlatformInfo() : m_instance(CurrentInstance()) {}

JXPlatformInfo::JXPlatformInfo(std::string instance) : m_instance(std::move(instance)) {}

int JXPlatformInfo::Fail(int code, std::string message) {
    m_lastError = code;
    m_lastErrorMsg = std::move(message);
    return 0;
}

int JXPlatformInfo::ReadInt64(const std::string& section, const std::string& key, int64_t* value) {
    auto text = SettingsFile(SettingsPath(m_instance)).Get(section, key);
    if (!text) return Fail(JXPI_ERR_NOT_FOUND, "key [" + section + "/" + key + "] not found");
    const char* begin = text->c_str();
    char* end = nullptr;
    errno = 0;
    // Decimal, or hexadecimal with "0x"; a leading zero does not make the
    // value octal ("010" is ten).
    const char* digits = begin;
    while (*digits == ' ' || *digits == '\t') ++digits;
    if (*digits == '+' || *digits == '-') ++digits;
    int base = (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) ? 16 : 10;
    long long v = std::strtoll(begin, &end, base);
    if (end == begin || *end != '\0') {
        Log().error("Setting [%s/%s] value [%s] is not a number; default kept", section.c_str(), key.c_str(),
                    text->c_str());
        return Fail(JXPI_ERR_BAD_TYPE, "key [" + section + "/" + key + "] is not a number");
    }
    if (errno == ERANGE) {
        Log().error("Setting [%s/%s] value [%s] is out of range; default kept", section.c_str(), key.c_str(),
                    text->c_str());
        return Fail(JXPI_ERR_RANGE, "key [" + section + "/" + key + "] out of range");
    }
    *value = v;
    m_lastError = 0;
    m_lastErrorMsg.clear();
    return 1;
}

namespace {

template <typename T>
int Narrow(int ok, int64_t wide, T* value, const std::string& section, const std::string& key) {
    if (!ok) return 0;
    if (wide < static_cast<int64_t>(std::numeric_limits<T>::min()) ||
        (wide > 0 && static_cast<uint64_t>(wide) > static_cast<uint64_t>(std::numeric_limits<T>::max()))) {
        Log().error("Setting [%s/%s] value [%lld] is out of range; default kept", section.c_str(), key.c_str(),
                    static_cast<long long>(wide));
        return 0;
    }
    *value = static_cast<T>(wide);
    return 1;
}

}  // namespace

int JXPlatformInfo::getNumber(const std::string& section, const std::string& key, int* value) {
    int64_t wide = 0;
    int read = ReadInt64(section, key, &wide);
    int ok = Narrow(read, wide, value, section, key);
    if (!ok && m_lastError == 0) Fail(JXPI_ERR_RANGE, "key [" + section + "/" + key + "] out of range");
    return ok;
}

int JXPlatformInfo::getNumber(const std::string& section, const std::string& key, unsigned int* value) {
    int64_t wide = 0;
    int read = ReadInt64(section, key, &wide);
    int ok = Narrow(read, wide, value, section, key);
    if (!ok && m_lastError == 0) Fail(JXPI_ERR_RANGE, "key [" + section + "/" + key + "] out of range");
    return ok;
}

int JXPlatformInfo::getNumber(const std::string& section, const std::string& key, int64_t* value) {
    int64_t wide = 0;
    if (!ReadInt64(section, key, &wide)) return 0;
    *value = wide;
    return 1;
}

int JXPlatformInfo::getNumber(const std::string& section, const std::string& key, uint64_t* value) {
    int64_t wide = 0;
    int read = ReadInt64(section, key, &wide);
    int ok = Narrow(read, wide, value, section, key);
    if (!ok && m_lastError == 0) Fail(JXPI_ERR_RANGE, "key [" + section + "/" + key + "] out of range");
    return ok;
}

int JXPlatformInfo::getString(const std::string& section, const std::string& key, std::string& value) {
    auto text = SettingsFile(SettingsPath(m_instance)).Get(section, key);
    if (!text) return Fail(JXPI_ERR_NOT_FOUND, "key [" + section + "/" + key + "] not found");
    value = *text;
    m_lastError = 0;
    m_lastErrorMsg.clear();
    return 1;
}

int JXPlatformInfo::setNumber(const std::string& section, const std::string& key, int64_t value) {
    return setString(section, key, std::to_string(value));
}

uint64_t JXPlatformInfo::ChangeCount() { return g_changes.load(); }

int JXPlatformInfo::setString(const std::string& section, const std::string& key, const std::string& value) {
    const bool written = SettingsFile(SettingsPath(m_instance)).Set(section, key, value);
    ++g_changes;  // also after a failure: the file may have changed in part
    if (!written) return Fail(JXPI_ERR_WRITE, "cannot write key [" + section + "/" + key + "]");
    m_lastError = 0;
    return 1;
}

int JXPlatformInfo::deleteValue(const std::string& section, const std::string& key) {
    const bool removed = SettingsFile(SettingsPath(m_instance)).Remove(section, key);
    ++g_changes;
    if (!removed) return Fail(JXPI_ERR_NOT_FOUND, "key [" + section + "/" + key + "] not found");
    return 1;
}
