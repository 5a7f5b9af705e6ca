// CTimeStamp: a point in time in the closed libraries' 100-nanosecond ticks.
// The difference of two stamps is the CTimeInterval between them.
#pragma once

#include <cstdint>

#include "WzUtils/CTimeInterval.h"

class CTimeStamp {
public:
    constexpr CTimeStamp() = default;
    constexpr explicit CTimeStamp(int64_t ticks) : m_ticks(ticks) {}

    int64_t GetTicks() const { return m_ticks; }

    // Computed modulo 2^64, so stamps far apart wrap instead of overflowing.
    CTimeInterval operator-(const CTimeStamp& earlier) const {
        return CTimeInterval(
            static_cast<int64_t>(static_cast<uint64_t>(m_ticks) - static_cast<uint64_t>(earlier.m_ticks)));
    }

private:
    int64_t m_ticks = 0;
};
