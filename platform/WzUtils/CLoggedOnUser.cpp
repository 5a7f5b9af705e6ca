// CLoggedOnUser: the identity the process currently acts as.
#include "WzUtils/CLoggedOnUser.h"

#include <unistd.h>

uint64_t CLoggedOnUser::GetToken() const { return static_cast<uint64_t>(::geteuid()); }
