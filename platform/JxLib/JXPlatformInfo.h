// JXPlatformInfo: the agent's settings store.
//
// One settings file per agent instance under the platform root
// ("settings/<instance>.ini"); the instance is the process-wide focus set by
// JXPI_EventManager::setFocus or JXPI_Session::setFocus ("Instance001" unless
// the environment variable JX_INSTANCE names another). Section "MSSQLAgent"
// holds the agent's own keys; the empty section name is the top level.
#pragma once

#include <cstdint>
#include <string>

class EvDebug;

class JXPlatformInfo {
public:
    JXPlatformInfo();
    explicit JXPlatformInfo(std::string instance);
    virtual ~JXPlatformInfo() = default;

    // Read through the 64-bit reader into a local zero; the target is written
    // only when the read succeeded and the value fits. Nonzero on success.
    int getNumber(const std::string& section, const std::string& key, int* value);
    int getNumber(const std::string& section, const std::string& key, unsigned int* value);
    int getNumber(const std::string& section, const std::string& key, int64_t* value);
    int getNumber(const std::string& section, const std::string& key, uint64_t* value);
    // Nonzero when the key is present.
    int getString(const std::string& section, const std::string& key, std::string& value);

    int setNumber(const std::string& section, const std::string& key, int64_t value);
    int setString(const std::string& section, const std::string& key, const std::string& value);
    int deleteValue(const std::string& section, const std::string& key);

    // Counts the settings this process changed (set or deleted), so that a
    // cached setting can tell it must be read again.
    static uint64_t ChangeCount();

    int getLastError() const { return m_lastError; }
    int getRegError() const { return m_lastError; }
    std::string getLastErrorMsg() const { return m_lastErrorMsg; }

    // ---- This machine and the central server in the backup domain ----
    // (JXPlatformInfoIdentity.cpp; section "Base" unless said otherwise)
    // The installation's platform type word "nPlatformType" (0 when absent);
    // bit 0 set: the central server's software is installed on this machine.
    unsigned long getJXPlatformType();
    // The central server's client name "sJxServerClientName" into `buffer`
    // (zero-terminated, cut to `size` - 1 characters); 0 on success, else an
    // error code with `buffer` holding "".
    int getJxServerClientName(char* buffer, unsigned long size);
    int findJxServerClientName(char* buffer, unsigned long size);
    // This machine's client name: "sPhysicalNodeName" of the top section, else
    // the host name of the system.
    std::string getPhysicalMachine();
    // The network name under which other clients reach the client `name`
    // (targets are named plainly here, so it is `name`). 0 when `name` is
    // empty, else nonzero.
    int getClientHostNameMangled(const std::string& name, std::string& mangled);

    const std::string& instance() const { return m_instance; }
    // The settings file of an instance.
    static std::string SettingsPath(const std::string& instance);

    // The process-wide instance focus.
    static std::string CurrentInstance();
    static void SetCurrentInstance(const std::string& instance);

private:
    int Fail(int code, std::string message);
    int ReadInt64(const std::string& section, const std::string& key, int64_t* value);

    std::string m_instance;
    int m_lastError = 0;
    std::string m_lastErrorMsg;
};

// Instance focus of the event manager and of the network sessions.
class JXPI_EventManager {
public:
    static void setFocus(const std::string& instance) { JXPlatformInfo::SetCurrentInstance(instance); }
};

// The session settings of the focus instance (section "Session").
class JXPI_Session {
public:
    JXPI_Session() = default;
    // The arguments name the session kind of the closed layer; one section
    // serves every kind here.
    JXPI_Session(int, int) {}
    static void setFocus(const std::string& instance) { JXPlatformInfo::SetCurrentInstance(instance); }
    // "nAttachTimeout" in seconds; 0 when the settings hold none. The flag
    // asks the closed layer to re-read its cache; every read is fresh here.
    unsigned long getAttachTimeOut(bool refresh);
};

// The process-wide instance focus as a value to hand to setFocus.
class JXPI_Focus {
public:
    static std::string getFocus() { return JXPlatformInfo::CurrentInstance(); }
};

// Error codes of the store.
constexpr int JXPI_ERR_NOT_FOUND = 2;
constexpr int JXPI_ERR_BAD_TYPE = 13;
constexpr int JXPI_ERR_RANGE = 34;
constexpr int JXPI_ERR_WRITE = 5;
