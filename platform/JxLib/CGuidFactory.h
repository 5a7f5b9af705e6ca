// CGuidFactory: new GUID texts.
#pragma once

#include <string>

class CGuidFactory {
public:
    // A random (version 4) GUID in the form 8-4-4-4-12 lower-case hex digits;
    // the salt is accepted for the callers' sake and not mixed in.
    static std::string get_guid_nosalt(const std::string& salt);
};
