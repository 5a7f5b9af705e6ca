// CLoggedOnUser: the identity the process currently acts as.
#pragma once

#include <cstdint>

class CLoggedOnUser {
public:
    // The current identity's token: the effective user id on this platform.
    uint64_t GetToken() const;
};
