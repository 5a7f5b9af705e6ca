// auto_handle: owning holder of a file descriptor.
#include "WzUtils/auto_handle.h"

#include <unistd.h>

void auto_handle::reset(int descriptor) {
    if (m_descriptor >= 0 && m_descriptor != descriptor) ::close(m_descriptor);
    m_descriptor = descriptor;
}
