// The engine object the jobs make.
#include "JxSQLVDIBase/CJxSQLVDI.h"

CJxSQLVDI::CJxSQLVDI() = default;
CJxSQLVDI::~CJxSQLVDI() = default;
