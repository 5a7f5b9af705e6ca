// EvDebug: the agent's debug log.
//
// One log file per program under the platform root ("logs/<program>.log").
// Each line: "pid tid MM/DD HH:MM:SS jobid " followed by the text; lines
// written through the EV_* macros carry "file(line) -Tag--: " before the text.
// The debug level comes from the settings store (section "EventManager",
// key "nDebugLevel", default 1); detail lines (debugLvl) are written only when
// their level is at most the configured level, and level-1 lines always.
#pragma once

#include <cstdint>
#include <string>

class EvDebug {
public:
    explicit EvDebug(std::string module = "");
    virtual ~EvDebug() = default;

    void debug(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void error(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void debugLvl(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void Debug(const char* function, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void Error(const char* function, const char* format, ...) __attribute__((format(printf, 3, 4)));

    // One line tagged with source file, line and level tag (see EV_* below).
    void Tagged(const char* file, int line, const char* tag, int level, const char* format, ...)
        __attribute__((format(printf, 6, 7)));

    int GetDebugLevel() const;

    // The job id printed on this logger's lines (0 = none).
    void setJobId(uint64_t jobId) { m_jobId = jobId; }
    uint64_t jobId() const { return m_jobId; }

    // Process-wide: the program name that names the log file, and a debug
    // level that overrides the settings store (tests).
    static void SetProgramName(const std::string& name);
    static std::string ProgramName();
    static std::string LogFilePath();
    static void SetDebugLevel(int level);

    static constexpr const char* kError = "-Error-: ";
    static constexpr const char* kWarn = "-Warn--: ";
    static constexpr const char* kInfo = "-Info--: ";
    static constexpr const char* kDebug = "-Debug-: ";

private:
    void Write(const std::string& text) const;

    std::string m_module;
    uint64_t m_jobId = 0;
};

#define EV_ERROR(log, format, ...) \
    (log).Tagged(__FILE_NAME__, __LINE__, EvDebug::kError, 0, format __VA_OPT__(, ) __VA_ARGS__)
#define EV_WARN(log, format, ...) \
    (log).Tagged(__FILE_NAME__, __LINE__, EvDebug::kWarn, 0, format __VA_OPT__(, ) __VA_ARGS__)
#define EV_INFO(log, format, ...) \
    (log).Tagged(__FILE_NAME__, __LINE__, EvDebug::kInfo, 0, format __VA_OPT__(, ) __VA_ARGS__)
#define EV_DEBUG(log, level, format, ...) \
    (log).Tagged(__FILE_NAME__, __LINE__, EvDebug::kDebug, level, format __VA_OPT__(, ) __VA_ARGS__)
// Warnings and information written only from a debug level on.
#define EV_WARN_AT(log, level, format, ...) \
    (log).Tagged(__FILE_NAME__, __LINE__, EvDebug::kWarn, level, format __VA_OPT__(, ) __VA_ARGS__)
#define EV_INFO_AT(log, level, format, ...) \
    (log).Tagged(__FILE_NAME__, __LINE__, EvDebug::kInfo, level, format __VA_OPT__(, ) __VA_ARGS__)
