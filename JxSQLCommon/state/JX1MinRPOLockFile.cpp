// JX1MinRPOLockFile
#include "JxSQLCommon/state/JX1MinRPOLockFile.h"

CWzError JX1MinRPOLockFile::Unlock() { return CLockFileBase::Unlock(); }

CWzError JX1MinRPOLockFile::DoLocking(unsigned long lockType, sfTime_t seconds) {
    return CLockFileBase::DoLocking(lockType, seconds);
}
