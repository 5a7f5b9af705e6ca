// Clone settings readers.
#include "JxSQLCommon/jobbase/SQLCloneSettings.h"

#include "JxLib/EvDebug.h"
#include "Messages/CNMessageBase.h"

namespace {
// TMMsg::SqlServerRstOption and its list of mount paths.
constexpr int kRstOptionModule = 12;
constexpr int kRstOptionMessage = 133;
constexpr int kMountPathsField = 43;
constexpr int kMountPathsMember = 49;
}  // namespace

CloneMountDirectory::CloneMountDirectory(EvTask* task, std::string defaultDirectory)
    : m_task(task), m_directory(std::move(defaultDirectory)) {}

bool CloneMountDirectory::getOptionValue(std::string& value, bool) {
    std::list<std::string> texts;
    getTaskOption(m_task, 439957546, texts);
    if (texts.empty()) return false;
    CNMessageBase options(kRstOptionModule, kRstOptionMessage);
    CWzError error;
    if (options.unserialize(texts.front(), &error) != kMsgOk) {
        EV_ERROR(Log(), "TMMsg::SqlServerRstOption Unserialization failed for Common Mount Path.");
        return false;
    }
    std::vector<std::string> paths = options.getliststring(kMountPathsField, kMountPathsMember);
    if (paths.empty() || paths.front().empty()) return false;
    m_directory = paths.front();
    EV_DEBUG(Log(), 3, "Found mount path is [%s].", m_directory.c_str());
    value = m_directory;
    return true;
}

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
