// The block queue of one virtual device.
#include "JxSQLVDIBase/VdiDevice.h"

#include <sys/mman.h>

#include <chrono>
#include <cstdlib>
#include <limits>
#include <new>

#include "WzUtils/WzClock.h"

namespace {

constexpr size_t kHugePage = 2 * 1024 * 1024;

// `bytes` of buffer memory; from a huge-page size on, aligned to huge pages
// and marked for them (rounded up to whole huge pages, less than one more).
std::shared_ptr<char[]> BufferMemory(size_t bytes) {
    if (bytes >= kHugePage && bytes <= std::numeric_limits<size_t>::max() - kHugePage) {
        const size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        if (void* p = std::aligned_alloc(kHugePage, rounded)) {
            (void)::madvise(p, rounded, MADV_HUGEPAGE);  // only a hint: small pages work too
            return std::shared_ptr<char[]>(static_cast<char*>(p), [](char* q) { std::free(q); });
        }
    }
    return std::shared_ptr<char[]>(new char[bytes]);
}

}  // namespace

VdiDevice::VdiDevice(size_t buffers, size_t blockSize) : m_blockSize(blockSize) {
    if (buffers == 0) buffers = 1;
    if (blockSize != 0 && buffers > std::numeric_limits<size_t>::max() / blockSize) throw std::bad_alloc();
    m_buffers = buffers;
    std::shared_ptr<char[]> memory = BufferMemory(buffers * blockSize);
    m_free.resize(buffers);
    for (size_t i = 0; i < buffers; ++i) {
        m_free[i].data = std::shared_ptr<char[]>(memory, memory.get() + i * blockSize);
        m_free[i].capacity = blockSize;
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
