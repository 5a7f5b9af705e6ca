// JxThread: one thread running a C-style entry with one argument.
//
//   JxThread worker;
//   CWzError e = worker.Start(Entry, record);   // Entry: void* (*)(void*)
//   ...
//   worker.Join();            // or: while (!worker.JoinFor(1000)) { ... }
//
// A started thread must be joined (or let go with Detach) before the object
// is destroyed; the destructor joins one that was not.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "WzUtils/CWzError.h"

class JxThread {
public:
    using Entry = void* (*)(void*);

    JxThread() = default;
    ~JxThread();
    JxThread(const JxThread&) = delete;
    JxThread& operator=(const JxThread&) = delete;

    // Starts the thread; an error (and no thread) when the system refuses one
    // or a thread is already running in this object.
    CWzError Start(Entry entry, void* argument);
    // Waits for the thread to end; does nothing when none was started.
    void Join();
    // Waits at most `platformMs` platform milliseconds (the platform clock's
    // scale applies) for the thread to end; true, with the thread joined,
    // when it has ended (or none was started), false when it still runs.
    bool JoinFor(uint64_t platformMs);
    // Lets a running thread go on on its own: nothing waits for it any more,
    // the destructor leaves it alone, and what it uses must outlive it.
    void Detach();
    bool IsRunning() const { return m_thread.joinable(); }

private:
    // Set by the thread as its last act, so a timed wait can tell it ended.
    struct Ended {
        std::mutex mutex;
        std::condition_variable cv;
        bool ended = false;
    };
    std::shared_ptr<Ended> m_ended;
    std::thread m_thread;
};
