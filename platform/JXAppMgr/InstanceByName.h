// InstanceByName: finds an instance of the model ("instance/<id>") by its
// client and name.
#pragma once

#include <cstdint>
#include <string>

class InstanceByName {
public:
    // The id of the instance of client `clientId` whose "name" equals
    // `instanceName` without regard to case (instance names are); 0 with
    // the id written, or JXAPPMGR_E_NO_OBJECT. The application type is
    // accepted and not used.
    static int getInstanceId(uint64_t clientId, uint64_t appTypeId, const std::string& instanceName,
                             uint64_t& instanceId);
};
