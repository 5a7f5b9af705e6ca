// JXDate: a point in time in whole seconds since 1970 (UTC).
#pragma once

#include <ctime>

class JXDate {
public:
    JXDate() = default;
    explicit JXDate(time_t seconds) : m_time(seconds) {}

    time_t time() const { return m_time; }

private:
    time_t m_time = 0;
};
