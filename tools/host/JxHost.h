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
// A connection that has not attached yet sits in a table of its own, with a
// deadline of its own (kAttachRequestTimeoutSeconds) for its attach request:
// connections that send nothing cannot hold the sessions' places. When that
// table is full, its oldest connection is closed to admit the newcomer.
//
// A session the host cannot serve (an attach beyond its session limit, or a
// connection the system refuses a thread for) is answered with the layer's
// abort, status {2, EBUSY, 2}, and closed; the host logs why and goes on
// serving the others.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "WzUtils/CWzError.h"

class CJxNetwork;

class JxHost {
public:
    // At most `maxSessions` attached sessions are served at once (at least one).
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

    // Seconds a new connection has, from its acceptance, to send its whole
    // attach request (never less than one real second on a scaled clock).
    static constexpr int kAttachRequestTimeoutSeconds = 10;
    // Seconds the host waits to hand over its answer to an attach request.
    static constexpr int kAttachReplyTimeoutSeconds = 240;
    static constexpr uint32_t kDefaultMaxSessions = 256;
    // Connections not yet attached that the host keeps at once.
    static constexpr size_t kMaxUnattached = 256;

private:
    void AcceptLoop();
    void Serve(uint64_t id, int fd);
    // Moves connection `id` from the unattached table to the attached
    // sessions; false when it was closed as the oldest unattached one or the
    // session limit is reached (`full` says which).
    bool Attach(uint64_t id, bool& full);
    // Closes the oldest unattached connection; its thread then ends.
    void CloseOldestUnattached();
    void ReapFinished();
    // Answers a connection the host will not serve with an abort and closes it.
    static void Refuse(int fd, const char* why);
    static void Refuse(CJxNetwork& session, const char* why);

    const uint32_t m_maxSessions;

    int m_listenFd = -1;
    int m_stopPipe[2] = {-1, -1};
    uint16_t m_port = 0;
    std::thread m_acceptThread;

    std::mutex m_mutex;
    bool m_stopping = false;
    uint64_t m_nextId = 0;
    std::map<uint64_t, std::thread> m_sessions;
    std::map<uint64_t, int> m_sessionFds;  // the host's own descriptor of each open connection
    std::set<uint64_t> m_unattached;       // connections yet to attach, oldest (lowest id) first
    std::set<uint64_t> m_attached;         // the sessions served, counted against the limit
    std::vector<uint64_t> m_finished;
};
