// JxRegKey: a key of the agent's settings store opened by name, with its
// values read as text.
//
// A key is a section of the settings store of the current instance
// (JXPlatformInfo); values are written through JXPlatformInfo. Opening a key
// that has no value yet for reading fails; opening it for writing succeeds.
#pragma once

#include <string>

class JxRegKey {
public:
    static constexpr int kOpenFailed = -2;

    // 0 when the key is open; kOpenFailed when `readOnly` and the key does
    // not exist, or when the name is empty.
    int open(const std::string& key, bool readOnly);
    void close();
    bool isOpen() const { return m_open; }

    // True with `value` written when the open key has the value.
    bool getValue(const std::string& name, std::string& value) const;

private:
    std::string m_key;
    bool m_open = false;
};
