// JXPlatformInfo: reads that name this machine and the central server.
#include <algorithm>
#include <cstring>

#include "JxLib/JXPlatformInfo.h"

namespace {

// Copies `text` into `buffer` of `size` bytes, cut and zero-terminated.
void CopyCut(const std::string& text, char* buffer, unsigned long size) {
    if (buffer == nullptr || size == 0) return;
    size_t n = std::min<size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

}  // namespace

unsigned long JXPlatformInfo::getJXPlatformType() {
    int64_t type = 0;
    if (getNumber("Base", "nPlatformType", &type) == 0 || type < 0) return 0;
    return static_cast<unsigned long>(type);
}

int JXPlatformInfo::getJxServerClientName(char* buffer, unsigned long size) {
    if (buffer == nullptr || size == 0) return JXPI_ERR_RANGE;
    buffer[0] = '\0';
    std::string name;
    if (getString("Base", "sJxServerClientName", name) == 0 || name.empty()) return JXPI_ERR_NOT_FOUND;
    CopyCut(name, buffer, size);
    return 0;
}

int JXPlatformInfo::findJxServerClientName(char* buffer, unsigned long size) {
    return getJxServerClientName(buffer, size);
}

unsigned long JXPI_Session::getAttachTimeOut(bool) {
    int64_t seconds = 0;
    if (JXPlatformInfo().getNumber("Session", "nAttachTimeout", &seconds) == 0 || seconds < 0) return 0;
    return static_cast<unsigned long>(seconds);
}
