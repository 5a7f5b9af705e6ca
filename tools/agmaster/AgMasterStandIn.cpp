// The availability-group master stand-in: one child, one connection, replies
// in order.
#include "tools/agmaster/AgMasterStandIn.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <random>

#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSession/CJxNetwork.h"
#include "JxSession/jxsSocket.h"
#include "WzUtils/WzClock.h"

namespace {

using CF = SQLPmn::SQLAGCollectFile;
using SC = SQLPmn::SQLAGStreamCount;

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) < 0x20) {
            out += ' ';
            continue;
        }
        out += c;
    }
    return out + "\"";
}

std::string PhaseOf(const CNMessageBase& m, CNFieldId full, CNFieldId diff, CNFieldId log) {
    if (m.getint64(full) == 1) return "FULL";
    if (m.getint64(diff) == 1) return "DIFF";
    if (m.getint64(log) == 1) return "LOG";
    return "NONE";
}

std::string Joined(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& name : names) out += (out.empty() ? "" : ",") + name;
    return out;
}

}  // namespace

AgMasterStandIn::AgMasterStandIn(AgMasterOptions options) : m_options(std::move(options)) {}

AgMasterStandIn::~AgMasterStandIn() {
    if (m_listener >= 0) ::close(m_listener);
}

bool AgMasterStandIn::Listen(uint16_t& port, std::string& key) {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listener < 0) return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(m_listener, 1) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        return false;
    }
    port = ntohs(addr.sin_port);
    std::random_device random;
    m_key.clear();
    for (int i = 0; i < 32; ++i) m_key += "0123456789abcdef"[random() % 16];
    key = m_key;
    return true;
}

std::unique_ptr<CJxNetwork> AgMasterStandIn::AcceptChild() {
    if (m_listener < 0) return nullptr;
    const int64_t deadline = jxsDeadline(m_options.timeoutSeconds);
    pollfd waiting{m_listener, POLLIN, 0};
    const int64_t waitMs = wz::RealMs(static_cast<int64_t>(m_options.timeoutSeconds) * 1000);
    if (::poll(&waiting, 1, static_cast<int>(std::min<int64_t>(waitMs, 1 << 30))) != 1) return nullptr;
    const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return nullptr;
    std::string presented(m_key.size(), '\0');
    size_t got = 0;
    int err = 0;
    if (jxsReadExact(fd, presented.data(), presented.size(), deadline, got, err) != jxsIoStatus::Done ||
        presented != m_key) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<CJxNetwork>(fd);
}

void AgMasterStandIn::Serve(CJxNetwork& child) {
    for (;;) {
        CNMessageBase* received = nullptr;
        bool timedOut = false;
        if (child.ReceiveXMLMessage(nullptr, received, nullptr, 0, m_options.timeoutSeconds, timedOut).IsError()) {
            return;  // the child hung up (or went silent past the bound)
        }
        std::unique_ptr<CNMessageBase> message(received);
        std::unique_ptr<CNMessageBase> reply;
        const bool refuse = m_options.mode == AgMasterOptions::Mode::Refuse;
        switch (message->getMessage()) {
            case 41:
                Record(std::string("{\"event\":\"") +
                       (message->getint64(SQLPmn::SQLAGClientStartedFinish::kStarted) == 1 ? "started" : "finished") +
                       "\"}");
                break;
            case 44: {
                using JS = SQLPmn::SQLAGJobStatus;
                const int status = message->getint64(JS::kSuccess) == 1          ? 1
                                   : message->getint64(JS::kPartialSuccess) == 1 ? 3
                                   : message->getint64(JS::kFailure) == 1        ? 2
                                                                                  : 0;
                Record("{\"event\":\"jobStatus\",\"status\":" + std::to_string(status) + "}");
                break;
            }
            case 15: {
                auto answer = std::make_unique<CF>();
                answer->setint64(CF::kOwnCollectFile, refuse ? 0 : 1);
                const std::string phase = PhaseOf(*message, CF::kPhaseFull, CF::kPhaseDiff, CF::kPhaseLog);
                if (message->getint64(CF::kOwnCollectFile) == 1) {
                    Record("{\"event\":\"collectFile\",\"phase\":\"" + phase + "\",\"converted\":" +
                           std::to_string(message->getint64(CF::kConvertedList)) + ",\"databases\":" +
                           Quoted(Joined(message->getliststring(CF::kDatabases))) + ",\"streams\":" +
                           std::to_string(message->getint64(CF::kStreamCount)) + "}");
                } else {
                    const char* kind = message->getint64(CF::kWantPromoted) == 1   ? "promoted"
                                       : message->getint64(CF::kWantRestart) == 1  ? "restart"
                                       : message->getint64(CF::kWantOnDemandList) == 1 ? "onDemand"
                                                                                      : "unknown";
                    Record(std::string("{\"event\":\"collectRequest\",\"kind\":\"") + kind + "\",\"phase\":\"" +
                           phase + "\"}");
                    answer->setliststring(CF::kDatabases, m_options.databases);
                    answer->setint64(CF::kStreamCount, m_options.streams);
                }
                reply = std::move(answer);
                break;
            }
            case 101: {
                using TC = SQLPmn::SQLTLDumpCache;
                Record("{\"event\":\"dumpCache\",\"subclient\":" + std::to_string(message->getint64(TC::kSubclientId)) +
                       ",\"operation\":" + std::to_string(message->getint64(TC::kOperation)) +
                       ",\"cache\":" + Quoted(message->getstring(TC::kCacheText)) + "}");
                break;
            }
            case 61: {
                const std::string phase = PhaseOf(*message, SC::kPhaseFull, SC::kPhaseDiff, SC::kPhaseLog);
                if (message->isSet(SC::kStreamCount)) {
                    Record("{\"event\":\"streamCount\",\"phase\":\"" + phase + "\",\"streams\":" +
                           std::to_string(message->getint64(SC::kStreamCount)) + "}");
                } else {
                    Record("{\"event\":\"streamCountQuery\",\"phase\":\"" + phase + "\"}");
                    auto answer = std::make_unique<SC>();
                    answer->setint64(SC::kStreamCount, m_options.streams);
                    reply = std::move(answer);
                }
                break;
            }
            default: {
                if (message->getMessage() == SQLPmn::SQLAGSQLServerToUseForBackup().getMessage()) {
                    Record("{\"event\":\"serverRequest\"}");
                    auto answer = std::make_unique<SQLPmn::SQLAGSQLServerToUseForBackup>();
                    answer->setstring(SQLPmn::SQLAGSQLServerToUseForBackup::kServerName, m_options.server);
                    answer->setint64(SQLPmn::SQLAGSQLServerToUseForBackup::kInstanceId, m_options.instanceId);
                    reply = std::move(answer);
                } else {
                    Record("{\"event\":\"unexpected\",\"message\":" + std::to_string(message->getMessage()) + "}");
                }
                break;
            }
        }
        if (reply != nullptr && m_options.mode != AgMasterOptions::Mode::Silent) {
            bool flag = false;
            if (child.SendXMLMessage(*reply, 0, m_options.timeoutSeconds, flag).IsError()) return;
        }
    }
}

std::vector<std::string> AgMasterStandIn::Journal() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_journal;
}

void AgMasterStandIn::Record(const std::string& line) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_journal.push_back(line);
    if (!m_options.journalPath.empty()) {
        std::ofstream out(m_options.journalPath, std::ios::app);
        out << line << "\n";
    }
}
