// CSQLCommon: set-up shared by the backup and restore initialisation.
#include <cstdlib>
#include <limits>

#include "JxLib/JXGlobalParam.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/jobbase/CSQLCommon.h"
#include "WzUtils/FXString.h"

namespace {
constexpr uint32_t kMinVdiTimeoutRetries = 3;
}  // namespace

void CSQLCommon::ReadVdiTimeoutRetryLimit() {
    std::string text;
    JXGlobalParam::getProperty("JXMSSQL_VDI_TIMEOUT_RETRY_COUNT", text);
    FXString::Trim(text, " ");
    int64_t count = std::atoi(text.c_str());
    int64_t fromSettings = 0;
    if (JXPlatformInfo().getNumber("MSSQLAgent", "dwJXMSSQL_VDI_TIMEOUT_RETRY_COUNT", &fromSettings) != 0) {
        count = fromSettings;
    }
    // A negative count is no count: it must not wrap to billions of retries;
    // a count past 32 bits keeps the largest limit rather than its low bits.
    if (count < static_cast<int64_t>(kMinVdiTimeoutRetries)) {
        m_vdiTimeoutRetryLimit = kMinVdiTimeoutRetries;
    } else if (count > static_cast<int64_t>(std::numeric_limits<uint32_t>::max())) {
        m_vdiTimeoutRetryLimit = std::numeric_limits<uint32_t>::max();
    } else {
        m_vdiTimeoutRetryLimit = static_cast<uint32_t>(count);
    }
    EV_DEBUG(m_logger, 1, "VDI Timeout retry count is [%u].", m_vdiTimeoutRetryLimit);
}
