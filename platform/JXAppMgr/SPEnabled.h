// SPEnabled and SP: the application manager's counted objects.
//
// SPEnabled is the counted base; SP<T> holds one reference. Counting is atomic,
// so a counted object may be shared between threads.
#pragma once

#include <atomic>

class SPEnabled {
public:
    SPEnabled() = default;
    SPEnabled(const SPEnabled&) : m_refs(0) {}
    SPEnabled& operator=(const SPEnabled&) { return *this; }
    virtual ~SPEnabled() = default;

    void AddRef() const { m_refs.fetch_add(1, std::memory_order_relaxed); }
    void Release() const {
        if (m_refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
    }
    long RefCount() const { return m_refs.load(); }

private:
    mutable std::atomic<long> m_refs{0};
};

// Untyped holder of one reference.
class SPBase {
public:
    SPBase() = default;
    explicit SPBase(SPEnabled* p) { assign(p); }
    SPBase(const SPBase& o) { assign(o.m_p); }
    SPBase& operator=(const SPBase& o) {
        assign(o.m_p);
        return *this;
    }
    ~SPBase() { assign(nullptr); }

protected:
    void assign(SPEnabled* p) {
        if (p == m_p) return;
        if (p != nullptr) p->AddRef();
        SPEnabled* old = m_p;
        m_p = p;
        if (old != nullptr) old->Release();
    }
    SPEnabled* m_p = nullptr;
};

template <typename T>
class SP : public SPBase {
public:
    SP() = default;
    SP(T* p) : SPBase(p) {}  // NOLINT: implicit by design, like the closed header
    SP& operator=(T* p) {
        assign(p);
        return *this;
    }
    T* get() const { return static_cast<T*>(m_p); }
    T* operator->() const { return get(); }
    T& operator*() const { return *get(); }
    explicit operator bool() const { return m_p != nullptr; }
};
