// LSNSKey: the ordering key of a dump in an LSNS map.
#include "JxSQLCommon/state/LogFileInfo.h"

#include "JxSQLCommon/records/SqlStringUtils.h"
#include "WzUtils/FXErrorUtil.h"

CWzError LSNSKey(const LogFileInfo& info, std::string& key) {
    std::string first;
    std::string last;
    CWzError error = PaddLSN(info.firstLSN, first, kPaddedLSNWidth);
    if (error.IsError()) return error.Push(FXCODELOC, "PaddLSN failed %s", info.firstLSN.c_str());
    error = PaddLSN(info.lastLSN, last, kPaddedLSNWidth);
    if (error.IsError()) return error.Push(FXCODELOC, "PaddLSN failed %s", info.lastLSN.c_str());
    key = first + last;
    return CWzError::Success();
}
