// Clone settings readers.
#include "JxSQLCommon/jobbase/SQLCloneSettings.h"

#include "JxLib/EvDebug.h"

CloneReservationTimeInSeconds::CloneReservationTimeInSeconds(EvTask* task, int defaultSeconds)
    : m_task(task), m_default(defaultSeconds) {}

bool CloneReservationTimeInSeconds::getOptionValue(int& value, bool) {
    int seconds = m_default;
    getTaskOption(m_task, 136708744, seconds);
    if (seconds < 0) seconds = m_default;
    EV_DEBUG(Log(), 3, "Got the reservation time for clone [%d].", seconds);
    value = seconds;
    return true;
}

IscsiMountProxyClient::IscsiMountProxyClient(EvTask* task, unsigned long defaultClientId)
    : m_task(task), m_clientId(defaultClientId) {}

bool IscsiMountProxyClient::getOptionValue(unsigned long& value, bool) {
    getTaskOption(m_task, 162972553, m_clientId);
    EV_DEBUG(Log(), 3, "Got the ISCSI mount proxy client from clone [%lu].", m_clientId);
    value = m_clientId;
    return true;
}

CloneViaIscsiEnabled::CloneViaIscsiEnabled(bool cache)
    : SQLSwitchSettings("MSSQLAgent", "", "bEnableClonesViaISCSI", cache, true) {}
