// CRC-32C (Castagnoli) of a byte range: the checksum of the engine's stream
// chunks, the simulated log records and the media pieces. Uses the CPU's
// crc32 instruction where there is one.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wz {

// Continues `crc` (0 to start) over `size` bytes.
uint32_t Crc32c(uint32_t crc, const void* data, size_t size);

}  // namespace wz
