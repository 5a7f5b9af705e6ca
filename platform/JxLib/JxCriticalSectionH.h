// JxCriticalSectionH: the lock object behind JxCriticalSection.
//
// Recursive: the thread that holds it may enter again and must leave as many
// times as it entered.
#pragma once

#include <mutex>

class JxCriticalSectionH {
public:
    // Waits for the lock when `wait`, else only tries; true when held.
    bool enter(bool wait);
    // Releases one entry; only the holding thread may call it.
    void leave();

private:
    std::recursive_mutex m_mutex;
};
