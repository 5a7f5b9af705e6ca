// auto_ptr_array: owns one array made with new[] and frees it when replaced
// or destroyed.
#pragma once

template <typename T>
class auto_ptr_array {
public:
    auto_ptr_array() = default;
    explicit auto_ptr_array(T* array) : m_array(array) {}
    ~auto_ptr_array() { reset(nullptr); }
    auto_ptr_array(const auto_ptr_array&) = delete;
    auto_ptr_array& operator=(const auto_ptr_array&) = delete;

    // Frees the held array unless it is `array` itself, then holds `array`.
    void reset(T* array = nullptr) {
        if (array != m_array) delete[] m_array;
        m_array = array;
    }
    T* get() const { return m_array; }

private:
    T* m_array = nullptr;
};
