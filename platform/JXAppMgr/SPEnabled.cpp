// SPEnabled and SP are header-only; this unit gives the library its first object.
#include "JXAppMgr/SPEnabled.h"
