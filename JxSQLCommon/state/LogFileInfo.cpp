// LSNSKey: the ordering key of a dump in an LSNS map.
#include "JxSQLCommon/state/LogFileInfo.h"

#include "WzUtils/FXErrorUtil.h"

namespace {

// TEMPORARY: stands for PaddLSN of the shared utilities until that lands;
// replace with the shared function.
CWzError PaddLSNTemp(const std::string& in, std::string& out, size_t width) {
    if (in.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "in is empty");
    if (in.size() > width) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "String is too long");
    out = std::string(width - in.size(), '0') + in;
    return CWzError::Success();
}

}  // namespace

CWzError LSNSKey(const LogFileInfo& info, std::string& key) {
    std::string first;
    std::string last;
    CWzError error = PaddLSNTemp(info.firstLSN, first, kPaddedLSNWidth);
    if (error.IsError()) return error.Push(FXCODELOC, "PaddLSN failed %s", info.firstLSN.c_str());
    error = PaddLSNTemp(info.lastLSN, last, kPaddedLSNWidth);
    if (error.IsError()) return error.Push(FXCODELOC, "PaddLSN failed %s", info.lastLSN.c_str());
    key = first + last;
    return CWzError::Success();
}
