// JX1MinRPOLockFile: the lock file that guards a database of locality 1
// (the log-information database). It behaves exactly as CLockFileBase.
#pragma once

#include "JxSQLCommon/state/CLockFileBase.h"

class JX1MinRPOLockFile : public CLockFileBase {
public:
    using CLockFileBase::CLockFileBase;

    CWzError Unlock() override;
    CWzError DoLocking(unsigned long lockType, sfTime_t seconds) override;
};
