// jxsDatabuf_v2: the memory a record is encoded from or decoded into.
//
// The buffer never owns its memory: a caller lends a record with
// setExternalBuffer and keeps it alive for as long as the buffer is used.
#pragma once

#include <cstddef>

class jxsDatabuf_v2 {
public:
    jxsDatabuf_v2() = default;

    // Lends `length` bytes at `memory` (usually one wire record).
    void setExternalBuffer(void* memory, unsigned long length) {
        m_data = static_cast<char*>(memory);
        m_length = length;
    }

    // The lent memory (null when nothing was lent) and its length.
    char* getDataBuffer() const { return m_data; }
    unsigned long getDataLength() const { return m_length; }

private:
    char* m_data = nullptr;
    unsigned long m_length = 0;
};
