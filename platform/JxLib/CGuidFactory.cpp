// CGuidFactory: version-4 GUIDs from the system's random source.
#include "JxLib/CGuidFactory.h"

#include <cstdint>
#include <cstdio>
#include <random>

std::string CGuidFactory::get_guid_nosalt(const std::string& /*salt*/) {
    std::random_device source;
    uint8_t b[16];
    for (int i = 0; i < 16; i += 4) {
        uint32_t r = source();
        for (int k = 0; k < 4; ++k) b[i + k] = static_cast<uint8_t>(r >> (8 * k));
    }
    b[6] = static_cast<uint8_t>((b[6] & 0x0F) | 0x40);
    b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80);
    char text[37];
    std::snprintf(text, sizeof text, "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", b[0],
                  b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return text;
}
