// SMSnapShotEngineInfo: a snapshot engine that took volumes of a set, with
// the capability bits that say what it can do.
#pragma once

#include <cstdint>

// The engine can create test clone environments of its snapshots.
constexpr uint64_t kSnapEngineCanTestClone = 0x1000000;

class SMSnapShotEngineInfo {
public:
    uint64_t getSnapEngineId() const { return m_engineId; }
    void setSnapEngineId(uint64_t id) { m_engineId = id; }
    uint64_t getCapabilities() const { return m_capabilities; }
    void setCapabilities(uint64_t bits) { m_capabilities = bits; }
    bool hasCapability(uint64_t bits) const { return (m_capabilities & bits) == bits; }

private:
    uint64_t m_engineId = 0;
    uint64_t m_capabilities = 0;
};
