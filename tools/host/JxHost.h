// JxHost: the communication service that serves handler plug-ins.
//
// It listens on a loopback port and serves each accepted session on a thread
// of its own: it reads the attach request, looks the descriptor up in the
// bindings (HostBindings.h), loads the library with dlopen, answers the
// attach and calls the entry `void entry(CJxNetwork*, unsigned long)` with
// the session. When the entry returns, the session is closed; the library
// stays loaded, since the record codecs it registered point into it. Stop() closes
// the listener, ends the open sessions (their pending receives fail) and
// joins every session thread.
//
// A connection the host cannot serve (beyond its session limit, or when the
// system refuses a thread for it) is answered with the layer's abort, status
// {2, EBUSY, 2}, and closed; the host logs why and goes on serving the others.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "WzUtils/CWzError.h"

class JxHost {
public:
    // At most `maxSessions` sessions are served at once (at least one).
    explicit JxHost(uint32_t maxSessions = kDefaultMaxSessions);
    ~JxHost();
    JxHost(const JxHost&) = delete;
    JxHost& operator=(const JxHost&) = delete;

    // Listens on 127.0.0.1:`port` (0 = any free port) and starts accepting.
    CWzError Start(uint16_t port);
    // The port listened on, once started.
    uint16_t Port() const { return m_port; }
    // Ends every session and the listener; waits for all session threads.
    // Safe to call more than once.
    void Stop();

    // Seconds a new session has to send its attach request.
    static constexpr int kAttachTimeoutSeconds = 240;
    static constexpr uint32_t kDefaultMaxSessions = 256;

private:
    void AcceptLoop();
    void Serve(uint64_t id, int fd);
    void ReapFinished();
    // Answers a connection the host will not serve with an abort and closes it.
    static void Refuse(int fd, const char* why);

    const uint32_t m_maxSessions;

    int m_listenFd = -1;
    int m_stopPipe[2] = {-1, -1};
    uint16_t m_port = 0;
    std::thread m_acceptThread;

    std::mutex m_mutex;
    bool m_stopping = false;
    uint64_t m_nextId = 0;
    std::map<uint64_t, std::thread> m_sessions;
    std::map<uint64_t, int> m_sessionFds;  // the host's own descriptor of each open session
    std::vector<uint64_t> m_finished;
};
