// TDebuggable: prefixed debug lines and single settings.
#include "JxLib/TDebuggable.h"

#include <cstdarg>

#include "JxLib/JXPlatformInfo.h"
#include "WzUtils/WzFormat.h"

void TDebuggable::debug(int level, const char* format, ...) {
    if (level > 1 && level > m_debugLog.GetDebugLevel()) return;
    va_list args;
    va_start(args, format);
    const std::string text = wz::FormatV(format, args);
    va_end(args);
    m_debugLog.debugLvl(level, "%s: %s", m_debugPrefix.c_str(), text.c_str());
}

std::string TDebuggable::getRegistryString(const std::string& name, const std::string& section) {
    std::string value;
    if (JXPlatformInfo().getString(section, name, value) == 0) value.clear();
    return value;
}
