// The request object: construction in both roles, the session time-out,
// sending replies (a record, or one text), the T-SQL name escaping, date
// conversions and the instance-name comparison.
#include "JxSQLMessageHandler/service/CSQLClientDll.h"

#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/SqlXmlRequestRecords.h"
#include "JxSQLMessageHandler/client/RestoreDateText.h"
#include "JxSQLMessageHandler/service/ServiceRecordHelpers.h"
#include "JxSQLMessageHandler/service/sqlRecordCodecs.h"
#include "JxSQLMessageHandler/service/sqlSessionAbort.h"
#include "Messages/XMLDecoder.h"
#include "WzUtils/WzClock.h"

namespace {
constexpr const char* kSessionTimeoutKey = "nSessionTimeoutInMins";
constexpr unsigned long kDefaultSessionTimeout = 240;

// The time-out setting as last read, shared by the process's request
// objects: every served request asks for it before its reply, and reading
// the settings file each time cost a file lookup per request. It is read
// again after kSettingRecheckMs of platform time, when another instance's
// settings are in focus, or at once when this process changed a setting.
constexpr int64_t kSettingRecheckMs = 1000;

struct TimeoutSetting {
    bool read = false;
    bool found = false;
    uint64_t minutes = 0;
    std::string path;
    uint64_t changes = 0;
    int64_t readAtMs = 0;
};

bool SessionTimeoutMinutes(uint64_t& minutes) {
    static std::mutex mutex;
    static TimeoutSetting setting;
    const std::string instance = JXPlatformInfo::CurrentInstance();
    const std::string path = JXPlatformInfo::SettingsPath(instance);
    const uint64_t changes = JXPlatformInfo::ChangeCount();
    const int64_t now = wz::ClockMs();
    std::lock_guard<std::mutex> lock(mutex);
    if (!setting.read || setting.path != path || setting.changes != changes || now < setting.readAtMs ||
        now - setting.readAtMs >= kSettingRecheckMs) {
        JXPlatformInfo settings(instance);
        uint64_t value = 0;
        setting.found = settings.getNumber("MSSQLAgent", kSessionTimeoutKey, &value) != 0;
        setting.minutes = setting.found ? value : 0;
        setting.path = path;
        setting.changes = changes;
        setting.readAtMs = now;
        setting.read = true;
    }
    minutes = setting.minutes;
    return setting.found;
}
}  // namespace

CSQLClientDll::CSQLClientDll(CJxNetwork* session, jxsDatabuf_v2* received, unsigned long code)
    : m_session(session), m_receivedBuffer(received), m_requestCode(code), m_ownsSession(false) {}

CSQLClientDll::CSQLClientDll()
    : m_session(new CJxNetwork()), m_receivedBuffer(&m_receiveBuffer), m_ownsSession(true) {
    SqlRegisterRecordCodecs();
}

CSQLClientDll::~CSQLClientDll() {
    if (m_ownsSession) delete m_session;
}

unsigned long CSQLClientDll::GetSQLSessionTimeout(unsigned long defaultSeconds) {
    if (!m_timeoutUnread) return m_sessionTimeout;
    unsigned long fallback = defaultSeconds == 0 ? kDefaultSessionTimeout : defaultSeconds;
    m_sessionTimeout = fallback;
    uint64_t minutes = 0;
    if (SessionTimeoutMinutes(minutes)) {
        m_sessionTimeout = minutes != 0 ? static_cast<unsigned long>(minutes * 60) : fallback;
    } else {
        EV_DEBUG(m_event, 3,
                 "Failed to get session time-out from registry key [%s]. Using default session time-out in seconds "
                 "[%lu].",
                 kSessionTimeoutKey, fallback);
    }
    m_sessionTimeout = std::max(fallback, m_sessionTimeout);
    EV_DEBUG(m_event, 2, "Session time-out in seconds [%lu]", m_sessionTimeout);
    m_timeoutUnread = false;
    return m_sessionTimeout;
}

unsigned long CSQLClientDll::sendReply(unsigned long replyCode) {
    int timeout = static_cast<int>(std::min<unsigned long>(GetSQLSessionTimeout(120), INT32_MAX));
    bool flag = false;
    CWzError e = m_session->SendXDRMessage(replyCode, &m_sendBuffer, 0, timeout, flag);
    if (e.IsSuccess()) return 1;
    m_event.Error("CSQLClientDll::sendReply", "Sending message failed. Error:[%s]", e.AsString().c_str());
    SqlAbortWithLastError(m_session, timeout, flag);
    return 0;
}

bool CSQLClientDll::sendTextReply(unsigned long replyCode, const std::string& text, const char* releaseFailureLog,
                                  const char* sendFailureLog) {
    SQLXmlTextRecord_t record;
    record.xml = const_cast<char*>(text.c_str());
    m_sendBuffer.setExternalBuffer(&record, sizeof record);
    if (sendReply(replyCode) == 0 && sendFailureLog != nullptr) m_event.error("%s", sendFailureLog);
    m_sendBuffer.setExternalBuffer(nullptr, 0);
    return ReleaseReceivedRequest(m_session, m_receivedBuffer, m_requestCode, releaseFailureLog);
}

std::string CSQLClientDll::getEscapedDbName(const char* name) {
    std::string escaped = name != nullptr ? name : "";
    for (char special : {'\'', '[', ']'}) {
        for (size_t at = escaped.find(special); at != std::string::npos; at = escaped.find(special, at + 2)) {
            escaped.insert(at, 1, special);
        }
    }
    return escaped;
}

time_t CSQLClientDll::convertAsciiDateToUnixTime(std::string text) {
    // Fixed positions of "YYYY-MM-DD hh:mm:ss"; a short text reads as zeros.
    text.resize(std::max<size_t>(text.size(), 19), '\0');
    auto field = [&](size_t at, size_t length) { return std::atoi(text.substr(at, length).c_str()); };
    struct tm parts {};
    parts.tm_year = field(0, 4) - 1900;
    parts.tm_mon = field(5, 2) - 1;
    parts.tm_mday = field(8, 2);
    parts.tm_hour = field(11, 2);
    parts.tm_min = field(14, 2);
    parts.tm_sec = field(17, 2);
    parts.tm_wday = 0;
    parts.tm_yday = 0;
    parts.tm_isdst = -1;
    return mktime(&parts);
}

void CSQLClientDll::convertUnixTimeToAsciiDate(long time, std::string& out, unsigned long format, bool quoted) {
    time_t t = static_cast<time_t>(time);
    struct tm parts {};
    localtime_r(&t, &parts);
    out = SqlRestoreDateText(parts, format, quoted);
    EV_DEBUG(m_event, 3, "Date string to be used for restore is [%s].", out.c_str());
}

bool CompareInstanceNameOnHostName(std::string& name, std::string& configured, std::string& hostName) {
    if (strcasecmp(name.c_str(), configured.c_str()) == 0) return true;
    size_t slash = configured.rfind('/');
    std::string instance = slash == std::string::npos ? "" : configured.substr(slash + 1);
    // Instance names keep the server's own "HOST\INSTANCE" form.
    std::string candidate = instance.empty() ? hostName : hostName + "\\" + instance;
    return strcasecmp(name.c_str(), candidate.c_str()) == 0;
}

unsigned long GetXmlTagID(std::string& xml) {
    EvDebug log;
    EV_DEBUG(log, 4, "Get the TAG ID for the xml string [%s].", xml.c_str());
    XMLDecoder decoder;
    CNMessageBase* message = decoder.unSerialize(xml);
    if (message == nullptr) {
        EV_ERROR(log, "Failed to get the TAG ID for the xml string [%s].", xml.c_str());
        return 0;
    }
    unsigned long tag = message->getTagID();
    EV_DEBUG(log, 4, "Got the TAG ID [%lu] for the xml.", tag);
    return tag;
}

extern "C" __attribute__((visibility("default"))) int sqlUpdateQRBackupSetInfo(const char*, const char*) {
    return 1;
}
