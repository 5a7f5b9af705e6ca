// JXGlobalParam: the backup domain's global parameters.
//
// Kept in a file of their own under the platform root
// ("settings/GlobalParams.ini", top-level "name=value" lines).
#pragma once

#include <string>

class JXGlobalParam {
public:
    // 0 when the parameter exists (value set), nonzero otherwise.
    static int getProperty(const std::string& name, std::string& value, void* reserved = nullptr);
    // Writes a parameter (tests and the demo set the domain up this way).
    static bool setProperty(const std::string& name, const std::string& value);
    static bool removeProperty(const std::string& name);
    // The seconds between progress updates of a restore of application
    // type `appType` (parameter "RecoveryUpdateSecs_<appType>"), as text; 0
    // when it is set, nonzero otherwise.
    static int getUpdateRecoverySec(unsigned long appType, std::string& value);

    static std::string FilePath();
};
