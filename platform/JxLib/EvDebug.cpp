// EvDebug: per-program debug log files under the platform root.
#include "JxLib/EvDebug.h"

#include <pthread.h>
#include <unistd.h>

#include <errno.h>

#include <atomic>
#include <cstdarg>
#include <ctime>
#include <mutex>

#include "JxLib/SettingsFile.h"
#include "JxLib/JXPlatformInfo.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzAppendFile.h"
#include "WzUtils/WzFormat.h"

namespace {

std::mutex g_mutex;
std::string g_programName;           // guarded by g_mutex
std::atomic<int> g_levelOverride{-1};

std::string DefaultProgramName() {
    return (program_invocation_short_name != nullptr && *program_invocation_short_name != '\0')
               ? program_invocation_short_name
               : "jxsql";
}

int ConfiguredLevel() {
    // Read straight from the settings file: JXPlatformInfo logs through
    // EvDebug, and a settings read must not recurse into logging.
    auto text = SettingsFile(JXPlatformInfo::SettingsPath(JXPlatformInfo::CurrentInstance()))
                    .Get("EventManager", "nDebugLevel");
    if (!text) return 1;
    char* end = nullptr;
    long v = std::strtol(text->c_str(), &end, 10);
    return (end != text->c_str() && *end == '\0' && v >= 0 && v <= 10) ? static_cast<int>(v) : 1;
}

}  // namespace

EvDebug::EvDebug(std::string module) : m_module(std::move(module)) {}

void EvDebug::SetProgramName(const std::string& name) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_programName = name;
}

std::string EvDebug::ProgramName() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_programName.empty() ? DefaultProgramName() : g_programName;
}

std::string EvDebug::LogFilePath() { return wz::PlatformPath("logs/" + ProgramName() + ".log"); }

void EvDebug::SetDebugLevel(int level) { g_levelOverride.store(level); }

int EvDebug::GetDebugLevel() const {
    int forced = g_levelOverride.load();
    if (forced >= 0) return forced;
    static const int configured = ConfiguredLevel();
    return configured;
}

void EvDebug::Write(const std::string& text) const {
    time_t now = ::time(nullptr);
    struct tm tmNow {};
    ::localtime_r(&now, &tmNow);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%m/%d %H:%M:%S", &tmNow);
    std::string line = wz::Format("%d %lx %s %llu ", static_cast<int>(::getpid()),
                                  static_cast<unsigned long>(::pthread_self()), stamp,
                                  static_cast<unsigned long long>(m_jobId));
    line += text;
    if (line.empty() || line.back() != '\n') line += '\n';

    wz::AppendToFile(wz::PlatformFilePath("logs/" + ProgramName() + ".log"), line);  // logging never fails the caller
}

#define EV_FORMAT(out, format)           \
    std::string out;                     \
    do {                                 \
        va_list args_;                   \
        va_start(args_, format);         \
        out = wz::FormatV(format, args_); \
        va_end(args_);                   \
    } while (0)

void EvDebug::debug(const char* format, ...) {
    EV_FORMAT(text, format);
    Write(text);
}

void EvDebug::error(const char* format, ...) {
    EV_FORMAT(text, format);
    Write("ERROR: " + text);
}

void EvDebug::debugLvl(int level, const char* format, ...) {
    if (level > 1 && level > GetDebugLevel()) return;
    EV_FORMAT(text, format);
    Write(text);
}

void EvDebug::Debug(const char* function, const char* format, ...) {
    EV_FORMAT(text, format);
    Write(std::string(function ? function : "") + "() - " + text);
}

void EvDebug::Error(const char* function, const char* format, ...) {
    EV_FORMAT(text, format);
    Write(std::string(function ? function : "") + "() - ERROR: " + text);
}

void EvDebug::Tagged(const char* file, int line, const char* tag, int level, const char* format, ...) {
    if (level > 1 && level > GetDebugLevel()) return;
    EV_FORMAT(text, format);
    Write(wz::Format("%s(%d) %s", file ? file : "", line, tag ? tag : "") + text);
}
