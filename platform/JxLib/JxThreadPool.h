// JxThreadPool: a fixed number of worker threads running queued C-style
// tasks (void* (*)(void*) with one argument).
//
//   JxThreadPool pool;
//   pool.initThreadPool("name", 0xFFFFFFFF, 0, 4, 4);
//   pool.doWork(Entry, argument);
//   pool.waitForAllThreads(true, true, true, timeoutMs);
//
// The workers share their queue with the pool through a reference-counted
// state, so a wait that ran out of time can give up on a task that never
// returns: the pool object may then be destroyed, and the worker running
// that task ends on its own when (if ever) the task returns. What such a
// task uses must therefore outlive it; the pool frees nothing of it.
#pragma once

#include <memory>
#include <string>

class JxThreadPool {
public:
    using Entry = void* (*)(void*);

    JxThreadPool() = default;
    // Stops the idle workers; see above for a worker still in a task.
    ~JxThreadPool();
    JxThreadPool(const JxThreadPool&) = delete;
    JxThreadPool& operator=(const JxThreadPool&) = delete;

    // Starts `maxThreads` workers (`minThreads` is accepted and not used, as
    // are the second and third arguments). False when the pool runs already,
    // when no worker is asked for, or when the system refuses a thread.
    bool initThreadPool(const char* name, unsigned long, unsigned long, unsigned int minThreads,
                        unsigned int maxThreads);
    // Queues one task; false when the pool does not run.
    bool doWork(Entry entry, void* argument);
    // Waits until every queued task has returned, then stops the workers.
    // `timeoutMs` is in platform milliseconds (-1: no limit). False when the
    // time ran out first: the pool then stops taking tasks, drops those not
    // started, and leaves the running ones to end on their own.
    bool waitForAllThreads(bool, bool, bool, int timeoutMs);

private:
    struct State;
    // One worker's loop; it holds only the shared state, never the pool.
    static void Work(std::shared_ptr<State> state);

    std::shared_ptr<State> m_state;
    std::string m_name;
};
