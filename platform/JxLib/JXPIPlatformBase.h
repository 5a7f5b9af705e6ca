// JXPI_PlatformBase, JXPI_Base: the base settings of the agent's
// installation (section "Base" of the settings store).
#pragma once

#include <string>

class JXPI_PlatformBase {
public:
    // `appType` names the application the settings are read for; this
    // platform keeps one "Base" section for all of them.
    explicit JXPI_PlatformBase(int appType = 0) { (void)appType; }

    // The central server's host name ("sJxServerHostName"); empty when the
    // settings hold none (getLastError then tells why).
    std::string getJxServerHostName();

    int getLastError() const { return m_lastError; }

private:
    int m_lastError = 0;
};

class JXPI_Base {
public:
    // The installation's platform type bits ("nPlatformType"); 0 when absent.
    static unsigned long getPlatformType();
};
