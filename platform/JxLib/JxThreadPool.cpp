// JxThreadPool: detached std::threads over one shared queue.
#include "JxLib/JxThreadPool.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "WzUtils/WzClock.h"

struct JxThreadPool::State {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::pair<Entry, void*>> tasks;
    unsigned busy = 0;       // tasks running
    unsigned workers = 0;    // threads alive
    bool stopping = false;
};

void JxThreadPool::Work(std::shared_ptr<State> state) {
    std::unique_lock<std::mutex> lock(state->mutex);
    for (;;) {
        state->changed.wait(lock, [&] { return state->stopping || !state->tasks.empty(); });
        if (state->tasks.empty()) break;
        auto [entry, argument] = state->tasks.front();
        state->tasks.pop_front();
        ++state->busy;
        lock.unlock();
        (void)entry(argument);  // a task reports through its argument
        lock.lock();
        --state->busy;
        state->changed.notify_all();
    }
    --state->workers;
    state->changed.notify_all();
}

JxThreadPool::~JxThreadPool() {
    if (!m_state) return;
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->stopping = true;
    m_state->tasks.clear();
    m_state->changed.notify_all();
}

bool JxThreadPool::initThreadPool(const char* name, unsigned long, unsigned long, unsigned int,
                                  unsigned int maxThreads) {
    if (m_state || maxThreads == 0) return false;
    m_name = name != nullptr ? name : "";
    auto state = std::make_shared<State>();
    for (unsigned i = 0; i < maxThreads; ++i) {
        try {
            std::thread(Work, state).detach();
        } catch (const std::system_error&) {
            std::lock_guard<std::mutex> lock(state->mutex);
            state->stopping = true;
            state->changed.notify_all();
            return false;
        }
        std::lock_guard<std::mutex> lock(state->mutex);
        ++state->workers;
    }
    m_state = std::move(state);
    return true;
}

bool JxThreadPool::doWork(Entry entry, void* argument) {
    if (!m_state || entry == nullptr) return false;
    std::lock_guard<std::mutex> lock(m_state->mutex);
    if (m_state->stopping) return false;
    m_state->tasks.emplace_back(entry, argument);
    m_state->changed.notify_one();
    return true;
}

bool JxThreadPool::waitForAllThreads(bool, bool, bool, int timeoutMs) {
    if (!m_state) return true;
    State& s = *m_state;
    std::unique_lock<std::mutex> lock(s.mutex);
    auto done = [&] { return s.tasks.empty() && s.busy == 0; };
    const int64_t deadline = timeoutMs < 0 ? 0 : wz::ClockMs() + timeoutMs;
    while (!done()) {
        if (timeoutMs < 0) {
            s.changed.wait(lock);
            continue;
        }
        const int64_t left = deadline - wz::ClockMs();
        if (left <= 0) break;
        s.changed.wait_for(lock, std::chrono::milliseconds(wz::RealMs(left)));
    }
    const bool finished = done();
    s.stopping = true;
    s.tasks.clear();
    s.changed.notify_all();
    if (finished) {
        // Every worker is idle: let them leave before the caller frees what
        // the tasks used.
        s.changed.wait(lock, [&] { return s.workers == 0; });
    }
    return finished;
}
