// CTimeStamp: a point in time as 100-nanosecond ticks since 1601-01-01.
//
// The difference of two time stamps is the interval between them.
#pragma once

#include <cstdint>

#include "WzUtils/CTimeInterval.h"

class CTimeStamp {
public:
    constexpr CTimeStamp() = default;
    constexpr explicit CTimeStamp(uint64_t ticks) : m_ticks(ticks) {}

    // The current wall-clock time.
    static CTimeStamp Now();

    uint64_t GetTicks() const { return m_ticks; }

    CTimeInterval operator-(const CTimeStamp& earlier) const {
        // Unsigned subtraction wraps; reading it back as signed gives the
        // (possibly negative) distance for any two stamps within 29,000 years.
        return CTimeInterval(static_cast<int64_t>(m_ticks - earlier.m_ticks));
    }

private:
    uint64_t m_ticks = 0;
};
