// MSSQLAuthentication: the SQL Server login configured for an instance of the
// application model, from the instance's properties "sqlAuthType" (0 = none
// configured), "sqlUserName" and "sqlPassword" (stored as JXPassword encodes it).
#pragma once

#include <cstdint>
#include <string>

class MSSQLAuthentication {
public:
    // Fills the type, the user name and the stored (encoded) password. 0 when
    // the instance has a login; JXAPPMGR_PROP_NOT_SET (type 0, texts
    // untouched) when it has none; JXAPPMGR_E_NO_OBJECT for an instance the
    // model does not have. `status` (when not null) receives the same code;
    // `flag` and `reserved` are accepted and not used.
    int getMSSQLAuthentication(uint64_t instanceId, unsigned long& authType, std::string& userName,
                               std::string& password, bool flag, int* status, void* reserved) const;
};
