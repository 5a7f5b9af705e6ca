// auto_handle: owns one file descriptor (-1 = none) and closes it when
// replaced or destroyed.
#pragma once

class auto_handle {
public:
    auto_handle() = default;
    explicit auto_handle(int descriptor) : m_descriptor(descriptor) {}
    ~auto_handle() { reset(-1); }
    auto_handle(const auto_handle&) = delete;
    auto_handle& operator=(const auto_handle&) = delete;

    // Closes the held descriptor when it is valid (and not `descriptor`
    // itself), then holds `descriptor`.
    void reset(int descriptor = -1);
    int get() const { return m_descriptor; }
    bool is_valid() const { return m_descriptor >= 0; }

private:
    int m_descriptor = -1;
};
