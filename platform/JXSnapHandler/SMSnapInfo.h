// SMSnapInfo: the snapshot of one volume: the source device it was taken of
// and the snapshot device that holds it (on this platform both are
// directories: the volume's path and the engine's copy in its store).
#pragma once

#include <cstdint>
#include <string>

class SMSnapInfo {
public:
    uint32_t getVolumeId() const { return m_volumeId; }
    void setVolumeId(uint32_t id) { m_volumeId = id; }
    const std::string& getSnapDevice() const { return m_snapDevice; }
    void setSnapDevice(const std::string& device) { m_snapDevice = device; }
    const std::string& getSnapSourceDevice() const { return m_sourceDevice; }
    void setSnapSourceDevice(const std::string& device) { m_sourceDevice = device; }

private:
    uint32_t m_volumeId = 0;
    std::string m_snapDevice;
    std::string m_sourceDevice;
};
