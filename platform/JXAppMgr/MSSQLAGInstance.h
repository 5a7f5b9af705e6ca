// MSSQLAGInstance: the availability-group side of an instance.
#pragma once

#include <cstdint>
#include <string>

class MSSQLAGInstance {
public:
    explicit MSSQLAGInstance(uint64_t instanceId) : m_id(instanceId) {}

    // The availability group as the XML text of its message (property
    // "availabilityGroup"); 0 with the text written (it may be empty), or a
    // code of AppModel.h.
    int getAvailabilityGroup(std::string& xml) const;

private:
    uint64_t m_id;
};
