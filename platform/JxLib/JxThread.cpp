// JxThread over std::thread.
#include "JxLib/JxThread.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>

#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzClock.h"

JxThread::~JxThread() { Join(); }

CWzError JxThread::Start(Entry entry, void* argument) {
    if (entry == nullptr) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "No thread entry given.");
    if (m_thread.joinable()) return FXErrorUtil::ErrorErrNo(FXCODELOC, EBUSY, "The thread is already running.");
    auto ended = std::make_shared<Ended>();
    try {
        m_thread = std::thread([entry, argument, ended] {
            entry(argument);
            std::lock_guard<std::mutex> lock(ended->mutex);
            ended->ended = true;
            ended->cv.notify_all();
        });
        m_ended = std::move(ended);
    } catch (const std::system_error& e) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, e.code().value(), "Cannot start a thread: %s", e.what());
    }
    return CWzError::Success();
}

void JxThread::Join() {
    if (m_thread.joinable()) m_thread.join();
    m_ended.reset();
}

void JxThread::Detach() {
    if (m_thread.joinable()) m_thread.detach();
    m_ended.reset();
}

bool JxThread::JoinFor(uint64_t platformMs) {
    if (!m_thread.joinable()) return true;
    // Longer waits are cut to a month: the deadline must stay in the clock's range.
    constexpr uint64_t kLongestWaitMs = 30ull * 24 * 3600 * 1000;
    const int64_t realMs = wz::RealMs(static_cast<int64_t>(std::min(platformMs, kLongestWaitMs)));
    {
        std::unique_lock<std::mutex> lock(m_ended->mutex);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs);
        if (!m_ended->cv.wait_until(lock, deadline, [this] { return m_ended->ended; })) return false;
    }
    Join();
    return true;
}
