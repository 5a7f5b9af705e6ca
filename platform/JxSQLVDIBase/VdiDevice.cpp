// The block queue of one virtual device.
#include "JxSQLVDIBase/VdiDevice.h"

#include <chrono>

#include "WzUtils/WzClock.h"

VdiDevice::VdiDevice(size_t buffers, size_t blockSize) : m_blockSize(blockSize) {
    if (buffers == 0) buffers = 1;
    m_buffers = buffers;
    m_free.resize(buffers);
    for (VdiBlock& b : m_free) {
        b.data.reset(new char[blockSize]);
        b.capacity = blockSize;
    }
}

VdiWait VdiDevice::Acquire(VdiBlock& empty, int64_t timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    bool ready = m_changed.wait_for(lock, std::chrono::milliseconds(wz::RealMs(timeoutMs)),
                                    [&] { return m_aborted || !m_free.empty(); });
    if (m_aborted) return VdiWait::Aborted;
    if (!ready) return VdiWait::TimedOut;
    empty = std::move(m_free.back());
    m_free.pop_back();
    empty.size = 0;
    return VdiWait::Ok;
}

VdiWait VdiDevice::Put(VdiBlock&& full) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_aborted) {
        m_free.push_back(std::move(full));
        return VdiWait::Aborted;
    }
    m_full.push_back(std::move(full));
    m_changed.notify_all();
    return VdiWait::Ok;
}

void VdiDevice::Close() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_closed = true;
    m_changed.notify_all();
}

VdiWait VdiDevice::Get(VdiBlock& full, int64_t timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    bool ready = m_changed.wait_for(lock, std::chrono::milliseconds(wz::RealMs(timeoutMs)),
                                    [&] { return m_aborted || !m_full.empty() || m_closed; });
    if (m_aborted) return VdiWait::Aborted;
    if (!ready) return VdiWait::TimedOut;
    if (m_full.empty()) return VdiWait::End;
    full = std::move(m_full.front());
    m_full.pop_front();
    return VdiWait::Ok;
}

void VdiDevice::Release(VdiBlock&& used) {
    std::lock_guard<std::mutex> lock(m_mutex);
    used.size = 0;
    m_free.push_back(std::move(used));
    m_changed.notify_all();
}

VdiWait VdiDevice::WaitDrained(int64_t timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    bool ready = m_changed.wait_for(lock, std::chrono::milliseconds(wz::RealMs(timeoutMs)),
                                    [&] { return m_aborted || m_free.size() == m_buffers; });
    if (m_aborted) return VdiWait::Aborted;
    return ready ? VdiWait::Ok : VdiWait::TimedOut;
}

void VdiDevice::Abort(const std::string& reason) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_aborted) {
        m_aborted = true;
        m_reason = reason;
    }
    m_changed.notify_all();
}

bool VdiDevice::IsAborted() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_aborted;
}

std::string VdiDevice::AbortReason() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_reason;
}
