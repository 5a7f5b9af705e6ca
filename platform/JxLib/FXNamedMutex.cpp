// FXNamedMutex: owner bookkeeping over JxNamedMutex.
#include "JxLib/FXNamedMutex.h"

#include "WzUtils/GetCurrentThreadId.h"

namespace {

uint32_t CurrentThread32() { return static_cast<uint32_t>(GetCurrentThreadId()); }

}  // namespace

FXNamedMutex::FXNamedMutex(const std::string& name) : m_mutex(name) {}

bool FXNamedMutex::Locked(bool obtained) {
    if (obtained) m_owner = CurrentThread32();
    return obtained;
}

bool FXNamedMutex::TryLock() { return Locked(m_mutex.lock(1)); }

bool FXNamedMutex::TryLock(CTimeInterval timeout) { return Locked(m_mutex.lock(timeout.AsMilliseconds())); }

bool FXNamedMutex::Lock() { return Locked(m_mutex.lock(JxNamedMutex::kInfinite)); }

void FXNamedMutex::Unlock() {
    // Only the holder's last unlock gives up ownership; an unlock from a
    // thread that does not hold the mutex changes nothing.
    if (!m_mutex.isHeldByCurrentThread()) {
        m_mutex.unlock();  // logs the misuse
        return;
    }
    if (m_mutex.getLockCnt() == 1) m_owner = 0;
    m_mutex.unlock();
}
