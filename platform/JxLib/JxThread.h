// JxThread: one thread running a C-style entry with one argument.
//
//   JxThread worker;
//   CWzError e = worker.Start(Entry, record);   // Entry: void* (*)(void*)
//   ...
//   worker.Join();
//
// A started thread must be joined before the object is destroyed; the
// destructor joins one that was not.
#pragma once

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
    bool IsRunning() const { return m_thread.joinable(); }

private:
    std::thread m_thread;
};
