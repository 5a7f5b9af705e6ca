// ChangeRefTime: the reference time at which subclient properties are looked
// up, with the flag word that says which changes it covers.
#pragma once

#include <ctime>

class ChangeRefTime {
public:
    explicit ChangeRefTime(int flags = 0) : m_flags(flags) {}

    int flags() const { return m_flags; }
    // 0 means "now".
    time_t time() const { return m_time; }

private:
    int m_flags;
    time_t m_time = 0;
};
