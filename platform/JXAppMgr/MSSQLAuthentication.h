// MSSQLAuthentication: the SQL login an instance is backed up with.
//
// Read from the instance's properties "sqlUser", "sqlPassword" (the stored,
// encoded form) and "authType" (a number, 0 when absent). An instance
// without "sqlUser" has no SQL login: the read succeeds with an empty user.
#pragma once

#include <cstdint>
#include <string>

#include "JXAppMgr/AdaptersBase.h"

class MSSQLAuthentication : public AdaptersBase {
public:
    // 0 with the outputs written; a code of AppModel.h otherwise, its reason
    // in getLastErrorText. `cloud`, `status` and `reserved` are accepted for
    // the callers' sake: this platform keeps one kind of login.
    int getMSSQLAuthentication(uint64_t instanceId, unsigned long& authType, std::string& userName,
                               std::string& password, bool cloud, int* status, void* reserved);

    const std::string& getLastErrorText() const { return m_lastErrorText; }

private:
    std::string m_lastErrorText;
};
