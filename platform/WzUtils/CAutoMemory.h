// CAutoMemory: a buffer of `T` with the length of what is used of it.
//
// The buffer is either owned (allocated here, freed here) or lent by the
// caller, who keeps it alive and frees it. Ptr() is null while nothing of
// the buffer is used, so a reader never mistakes an empty buffer for data.
#pragma once

#include <cstddef>
#include <new>

template <typename T>
class CAutoMemory {
public:
    CAutoMemory() = default;
    // Frees the buffer only when it is owned (see Release).
    ~CAutoMemory() { Release(); }
    CAutoMemory(const CAutoMemory&) = delete;
    CAutoMemory& operator=(const CAutoMemory&) = delete;

    // Replaces the buffer by an owned one of `size` zeroed elements, none of
    // them used. False when memory is out (the object is then empty).
    bool Allocate(size_t size) {
        Release();
        if (size == 0) return true;
        m_buffer = new (std::nothrow) T[size]();
        if (m_buffer == nullptr) return false;
        m_size = size;
        m_owned = true;
        return true;
    }
    // Replaces the buffer by `size` elements at `buffer`, which the caller
    // keeps owning; `length` of them are used (at most `size`).
    void Attach(T* buffer, size_t size, size_t length) {
        Release();
        m_buffer = buffer;
        m_size = buffer == nullptr ? 0 : size;
        m_length = length < m_size ? length : m_size;
    }
    // Marks `length` elements as used; false (nothing changed) when the
    // buffer is smaller.
    bool SetLength(size_t length) {
        if (length > m_size) return false;
        m_length = length;
        return true;
    }

    T* Ptr() const { return m_length == 0 ? nullptr : m_buffer; }
    size_t Size() const { return m_size; }
    size_t Length() const { return m_length; }

    // Frees the buffer when it is owned (a lent one is only let go) and
    // zeroes the size and the used length.
    void Release() {
        if (m_owned) delete[] m_buffer;
        m_buffer = nullptr;
        m_size = 0;
        m_length = 0;
        m_owned = false;
    }

private:
    size_t m_size = 0;
    T* m_buffer = nullptr;
    size_t m_length = 0;
    bool m_owned = false;
};
