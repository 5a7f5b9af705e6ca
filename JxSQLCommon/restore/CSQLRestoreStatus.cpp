// CSQLRestoreBase: the per-object restore status in the job results.
#include "JobResults/StoreResults.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"

void CSQLRestoreBase::SetRestoreStatus(std::string objectName, RESTORE_STATUS_STRING_MAPPING status) {
    if (m_pJobResults == nullptr) {
        EV_ERROR(m_logger, "No job results to record status [%d] of [%s].", static_cast<int>(status),
                 objectName.c_str());
        return;
    }
    if (!m_pJobResults->setRestoreStatusOnObject(objectName, status, true)) {
        EV_ERROR(m_logger, "Failed to record status [%d] of [%s] in the job results.", static_cast<int>(status),
                 objectName.c_str());
    }
}
