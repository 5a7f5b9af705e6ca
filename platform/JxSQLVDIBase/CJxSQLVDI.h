// CJxSQLVDI: the virtual-device engine the jobs make, one per backup or
// restore of a database.
#pragma once

#include "JxSQLVDIBase/CJxSQLVDIBase.h"

class CJxSQLVDI : public CJxSQLVDIBase {
public:
    CJxSQLVDI();
    ~CJxSQLVDI() override;
};
