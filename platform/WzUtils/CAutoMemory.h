// CAutoMemory: a buffer with a size, a used length and an ownership flag.
//
// The buffer is either allocated here (owned, freed by Release and by the
// destructor) or lent by the caller with Attach (never freed here). Ptr() is
// null while the used length is 0, so "no data" and "empty data" read alike.
#pragma once

#include <cstddef>
#include <new>

template <typename T>
class CAutoMemory {
public:
    CAutoMemory() = default;
    ~CAutoMemory() {
        if (m_owned) Release();
    }
    CAutoMemory(const CAutoMemory&) = delete;
    CAutoMemory& operator=(const CAutoMemory&) = delete;

    // Replaces the buffer by an owned, zero-filled one of `size` elements and
    // length 0; false (and no buffer) when the allocation fails.
    bool Allocate(size_t size) {
        Release();
        m_buffer = new (std::nothrow) T[size]();
        if (m_buffer == nullptr) return false;
        m_size = size;
        m_owned = true;
        return true;
    }

    // Lends a caller's buffer of `size` elements, `length` of them in use.
    // Never freed here.
    void Attach(T* buffer, size_t size, size_t length) {
        Release();
        m_buffer = buffer;
        m_size = size;
        m_length = length <= size ? length : size;
        m_owned = false;
    }

    // Frees an owned buffer (a lent one is only dropped) and zeroes size and length.
    void Release() {
        if (m_owned) delete[] m_buffer;
        m_buffer = nullptr;
        m_owned = false;
        m_size = 0;
        m_length = 0;
    }

    // The data, or null while the used length is 0.
    T* Ptr() const { return m_length == 0 ? nullptr : m_buffer; }
    // The whole buffer, whatever the used length (null when there is none).
    T* Buffer() const { return m_buffer; }
    size_t Size() const { return m_size; }
    size_t Length() const { return m_length; }
    bool IsOwned() const { return m_owned; }

    // Sets the used length; false (unchanged) when it exceeds the size.
    bool SetLength(size_t length) {
        if (length > m_size) return false;
        m_length = length;
        return true;
    }

private:
    size_t m_size = 0;
    T* m_buffer = nullptr;
    size_t m_length = 0;
    bool m_owned = false;
};
