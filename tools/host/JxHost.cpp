// The host: loopback listener, one thread per session, plug-ins by dlopen.
#include "tools/host/JxHost.h"

#include <arpa/inet.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cinttypes>
#include <cstring>
#include <string>
#include <system_error>

#include "JxLib/EvDebug.h"
#include "JxSession/CJxNetwork.h"
#include "tools/host/HostBindings.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzClock.h"

namespace {

using HandlerEntry = void (*)(CJxNetwork*, unsigned long);

EvDebug& Log() {
    static EvDebug log("JxHost");
    return log;
}

// The attach deadline in platform seconds: kAttachRequestTimeoutSeconds, but
// never less than one real second. Tests scale the platform clock a
// thousandfold, which would otherwise leave a client ten real milliseconds
// between its connect and its attach request on a loaded machine.
int AttachRequestTimeout() {
    const double scale = wz::TimeScale();
    const double floor = scale > 0 ? std::ceil(1.0 / scale) : 0.0;
    if (floor <= JxHost::kAttachRequestTimeoutSeconds) return JxHost::kAttachRequestTimeoutSeconds;
    return floor >= INT_MAX ? INT_MAX : static_cast<int>(floor);
}

}  // namespace

JxHost::JxHost(uint32_t maxSessions) : m_maxSessions(maxSessions == 0 ? 1 : maxSessions) {}

JxHost::~JxHost() { Stop(); }

CWzError JxHost::Start(uint16_t port) {
    if (::pipe2(m_stopPipe, O_CLOEXEC) != 0) return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "pipe2 failed.");
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0) return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "socket failed.");
    int one = 1;
    ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listenFd, SOMAXCONN) != 0) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Cannot listen on port %u.", static_cast<unsigned>(port));
    }
    socklen_t length = sizeof address;
    ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_acceptThread = std::thread(&JxHost::AcceptLoop, this);
    EV_INFO(Log(), "Host listening on port %u.", static_cast<unsigned>(m_port));
    return CWzError::Success();
}

void JxHost::AcceptLoop() {
    for (;;) {
        pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
        int rc = ::poll(fds, 2, 1000);
        ReapFinished();
        if (rc < 0 && errno != EINTR) {
            EV_ERROR(Log(), "poll on the listener failed: %s", std::strerror(errno));
            return;
        }
        if (fds[1].revents != 0) return;
        if (rc <= 0 || (fds[0].revents & POLLIN) == 0) continue;
        int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            WZSLEEP_InTeRnAl(100);  // e.g. out of descriptors: do not spin
            continue;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping) {
            ::close(fd);
            continue;
        }
        if (m_unattached.size() >= kMaxUnattached) CloseOldestUnattached();
        int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (own < 0) {
            EV_ERROR(Log(), "Connection refused: no descriptor left to track it: %s", std::strerror(errno));
            Refuse(fd, "no descriptor");
            continue;
        }
        uint64_t id = ++m_nextId;
        try {
            m_sessions[id] = std::thread(&JxHost::Serve, this, id, fd);
        } catch (const std::system_error& error) {
            // Out of threads or memory: this connection goes, the others stay.
            EV_ERROR(Log(), "Connection refused: cannot start a session thread (%s); %zu sessions are open.",
                     error.what(), m_sessionFds.size());
            m_sessions.erase(id);
            ::close(own);
            Refuse(fd, "no thread");
            continue;
        }
        m_sessionFds[id] = own;
        m_unattached.insert(id);
    }
}

void JxHost::CloseOldestUnattached() {
    const uint64_t oldest = *m_unattached.begin();
    m_unattached.erase(m_unattached.begin());
    EV_ERROR(Log(), "Session %" PRIu64 ": closed before its attach request to admit a new connection; %zu "
             "connections wait to attach.", oldest, kMaxUnattached);
    // Its thread's pending read fails and the thread ends as any session does.
    auto it = m_sessionFds.find(oldest);
    if (it != m_sessionFds.end()) ::shutdown(it->second, SHUT_RDWR);
}

bool JxHost::Attach(uint64_t id, bool& full) {
    std::lock_guard<std::mutex> lock(m_mutex);
    full = false;
    if (m_unattached.erase(id) == 0) return false;  // closed to admit a newer connection
    if (m_attached.size() >= m_maxSessions) {
        full = true;
        return false;
    }
    m_attached.insert(id);
    return true;
}

void JxHost::Refuse(int fd, const char* why) {
    CJxNetwork session(fd);
    Refuse(session, why);
}

void JxHost::Refuse(CJxNetwork& session, const char* why) {
    jxsStatus status{2, EBUSY, 2};
    bool flag = false;
    // A fresh socket takes the few bytes at once; the accept loop never waits.
    CWzError e = session.AbortConnection(status, 0, flag);
    if (e.IsError()) EV_DEBUG(Log(), 2, "Abort of a refused connection (%s) not sent: %s", why, e.GetMessage().c_str());
}

void JxHost::Serve(uint64_t id, int fd) {
    {
        CJxNetwork session(fd);
        jxsExecuteRemoteDllType descriptor;
        std::string caller;
        CWzError e = session.ReadAttachRequest(descriptor, caller, AttachRequestTimeout());
        bool full = false;
        if (e.IsError()) {
            EV_ERROR(Log(), "Session %" PRIu64 ": no valid attach request: %s", id, e.GetMessage().c_str());
        } else if (!Attach(id, full)) {
            if (full) {
                EV_ERROR(Log(), "Session %" PRIu64 " of [%s] refused: the host already serves its limit of %u "
                         "sessions.", id, caller.c_str(), m_maxSessions);
                Refuse(session, "session limit");
            }
        } else {
            HostBinding binding;
            e = FindHostBinding(descriptor.libraryName, descriptor.entryName, binding);
            void* library = nullptr;
            HandlerEntry entry = nullptr;
            if (e.IsSuccess()) {
                // A plug-in stays loaded for the life of the process: the record
                // codecs it registered point into its code.
                library = ::dlopen(binding.libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
                if (library != nullptr) entry = reinterpret_cast<HandlerEntry>(::dlsym(library, binding.symbol.c_str()));
                if (entry == nullptr) {
                    const char* why = ::dlerror();
                    e = FXErrorUtil::ErrorErrNo(FXCODELOC, ENOENT, "Cannot load [%s] from [%s]: %s",
                                                binding.symbol.c_str(), binding.libraryPath.c_str(),
                                                why != nullptr ? why : "unknown error");
                }
            }
            if (e.IsError()) {
                EV_ERROR(Log(), "Session %" PRIu64 ": attach of [%s]/[%s] by [%s] refused: %s", id,
                         descriptor.libraryName, descriptor.entryName, caller.c_str(), e.GetMessage().c_str());
                // The refusal is logged; the session ends whether or not the caller hears it.
                (void)session.ReplyAttach(static_cast<uint32_t>(FXErrorUtil::GetErrNo(e)), e.GetMessage(),
                                          kAttachReplyTimeoutSeconds);
            } else if (session.ReplyAttach(0, "", kAttachReplyTimeoutSeconds).IsSuccess()) {
                EV_DEBUG(Log(), 2, "Session %" PRIu64 ": [%s] runs %s in %s.", id, caller.c_str(),
                         binding.symbol.c_str(), binding.libraryPath.c_str());
                entry(&session, 0);
            }
            if (library != nullptr) ::dlclose(library);
        }
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_sessionFds.find(id);
    if (it != m_sessionFds.end()) {
        ::close(it->second);
        m_sessionFds.erase(it);
    }
    m_unattached.erase(id);
    m_attached.erase(id);
    m_finished.push_back(id);
}

void JxHost::ReapFinished() {
    std::vector<std::thread> done;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (uint64_t id : m_finished) {
            auto it = m_sessions.find(id);
            if (it == m_sessions.end()) continue;
            done.push_back(std::move(it->second));
            m_sessions.erase(it);
        }
        m_finished.clear();
    }
    for (std::thread& t : done) t.join();
}

void JxHost::Stop() {
    if (m_acceptThread.joinable()) {
        char byte = 1;
        (void)!::write(m_stopPipe[1], &byte, 1);
        m_acceptThread.join();
    }
    std::map<uint64_t, std::thread> sessions;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
        for (auto& [id, fd] : m_sessionFds) ::shutdown(fd, SHUT_RDWR);
        sessions.swap(m_sessions);
    }
    for (auto& [id, thread] : sessions) thread.join();
    m_finished.clear();
    for (int* fd : {&m_listenFd, &m_stopPipe[0], &m_stopPipe[1]}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}
