// TDebuggable: a debug base for classes of the job libraries that log under
// a prefix of their own and read single settings by name.
//
// Lines go to the program's debug log (EvDebug) as "<prefix>: <text>"; a
// line of level 0 or 1 is always written, a higher one only up to the
// configured debug level.
#pragma once

#include <string>

#include "JxLib/EvDebug.h"

class TDebuggable {
public:
    TDebuggable() = default;
    virtual ~TDebuggable() = default;
    TDebuggable(const TDebuggable&) = delete;
    TDebuggable& operator=(const TDebuggable&) = delete;

    virtual void debug(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));

    void setDebugPrefix(const std::string& prefix) { m_debugPrefix = prefix; }
    const std::string& debugPrefix() const { return m_debugPrefix; }

    // The setting `name` of `section` of the settings store; empty when it
    // is not set.
    std::string getRegistryString(const std::string& name, const std::string& section);

protected:
    EvDebug m_debugLog;

private:
    std::string m_debugPrefix;
};
