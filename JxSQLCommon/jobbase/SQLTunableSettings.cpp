// VDI time-out and tunable readers.
#include "JxSQLCommon/jobbase/SQLTunableSettings.h"

#include "JXAppMgr/Instance.h"
#include "JXAppMgr/Subclient.h"
#include "JxLib/EvDebug.h"

namespace {
constexpr unsigned long kDefaultVdiTimeout = 300;
}

GetVdiTimeout::GetVdiTimeout(unsigned long defaultSeconds, int operationType)
    : m_seconds(defaultSeconds), m_operationType(operationType) {}

bool GetVdiTimeout::getOptionValue(unsigned long& value, bool) {
    if (m_subclient != nullptr) {
        if (int rc = m_subclient->getVDITimeout(m_seconds); rc != 0) {
            EV_WARN(Log(), "Failed to retrieve VDI timout with error [%d] from subclient properties.", rc);
        }
    }
    if (m_instance != nullptr) {
        if (int rc = m_instance->getVDITimeout(m_seconds); rc != 0) {
            EV_WARN(Log(), "Failed to look up VDI timeout property from instance with error [%d].", rc);
        }
    }
    unsigned long fromTask = 0;
    if (m_operationType == SQL_OPERATION_RESTORE) {
        getTaskOption(m_task, 1776271159, fromTask);
    } else if (m_operationType == SQL_OPERATION_BACKUP) {
        getTaskOption(m_task, 1460375259, fromTask);
    }
    if (fromTask != 0) m_seconds = fromTask;
    value = m_seconds != 0 ? m_seconds : kDefaultVdiTimeout;
    EV_DEBUG(Log(), 3, "Got [%lu] as vdi timeout.", value);
    return true;
}

SQLTunableSetting::SQLTunableSetting(const Kind& kind, int defaultValue, SQLOperationType operationType)
    : m_operationType(operationType), m_kind(kind), m_tunable(defaultValue) {}

bool SQLTunableSetting::getOptionValue(int& value, bool) {
    if (m_subclient != nullptr) {
        if (int rc = (m_subclient->*m_kind.subclientTunable)(m_tunable); rc != 0) {
            EV_WARN(Log(), "Failed to retrieve %s with error [%d] from subclient properties.", m_kind.name, rc);
        }
    }
    if (unsigned long id = TaskOptionId(); id != 0) {
        int fromTask = 0;
        getTaskOption(m_task, id, fromTask);
        if (fromTask >= 1) m_tunable = fromTask;
    }
    EV_DEBUG(Log(), 3, "Tunable parameter %s is [%d].", m_kind.name, m_tunable);
    value = m_tunable >= 1 ? m_tunable : m_kind.fallback;
    return true;
}

namespace {
const SQLTunableSetting::Kind kBlockSize{"block size", 65536, &MsSqlSubclient::GetTunable_BlockSize};
const SQLTunableSetting::Kind kBufferCount{"buffer count", 20, &MsSqlSubclient::GetTunable_BufferCount};
const SQLTunableSetting::Kind kMaxTransferSize{"max transfer size", 2097152,
                                               &MsSqlSubclient::GetTunable_MaxTransferSize};
}  // namespace

GetTunableBlockSize::GetTunableBlockSize(int defaultValue, SQLOperationType operationType)
    : SQLTunableSetting(kBlockSize, defaultValue, operationType) {}

unsigned long GetTunableBlockSize::TaskOptionId() const {
    return m_operationType == SQL_OPERATION_BACKUP ? 2112785777 : 0;
}

GetTunableBufferCount::GetTunableBufferCount(int defaultValue, SQLOperationType operationType)
    : SQLTunableSetting(kBufferCount, defaultValue, operationType) {}

unsigned long GetTunableBufferCount::TaskOptionId() const {
    return m_operationType == SQL_OPERATION_RESTORE ? 1996329556 : 793491248;
}

GetTunableMaxTransferSize::GetTunableMaxTransferSize(int defaultValue, SQLOperationType operationType)
    : SQLTunableSetting(kMaxTransferSize, defaultValue, operationType) {}

unsigned long GetTunableMaxTransferSize::TaskOptionId() const {
    return m_operationType == SQL_OPERATION_RESTORE ? 1749046413 : 2139618737;
}
